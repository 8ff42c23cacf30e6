// Handle table and the thread registry.
#include "state.h"

namespace win32 {

namespace {
const std::uintptr_t currentProcessPseudo = static_cast<std::uintptr_t>(-1);
const std::uintptr_t currentThreadPseudo = static_cast<std::uintptr_t>(-2);

// Ends the stand-in's record of a thread that the stand-in did not create
// (the main thread, std::thread), when that thread ends.
struct ForeignThreadExit {
  std::shared_ptr<ThreadState> thread;
  ~ForeignThreadExit() {
    if (!thread) return;
    Lock held(state().mutex);
    endThread(held, *thread, 0);
  }
};

thread_local std::shared_ptr<ThreadState> current;
thread_local ForeignThreadExit foreignExit;
} // namespace

State &state() {
  static State *const instance = new State;
  return *instance;
}

void Object::signal() {
  signalled = true;
  for (Waiter *waiter : waiters) waiter->wake.notify_one();
}

std::shared_ptr<ThreadState> registerThread(Lock &) {
  State &s = state();
  auto thread = std::make_shared<ThreadState>();
  thread->id = s.nextThreadId;
  s.nextThreadId += 4;
  thread->object->id = thread->id;
  s.threads[thread->id] = thread;
  return thread;
}

std::shared_ptr<ThreadState> currentThread(Lock &held) {
  if (!current) {
    current = registerThread(held);
    foreignExit.thread = current;
  }
  return current;
}

void adoptCurrentThread(std::shared_ptr<ThreadState> thread) { current = std::move(thread); }

void endThread(Lock &, ThreadState &thread, DWORD exitCode) {
  State &s = state();
  if (thread.ended) return;
  thread.ended = true;
  thread.queue.clear();
  thread.hasQueue = false;
  for (auto &hook : thread.hooks) {
    hook->removed = true;
    s.hooksById.erase(reinterpret_cast<std::uintptr_t>(hook->id));
  }
  thread.hooks.clear();
  // A mutex its owner never released is abandoned, so a waiter is not
  // blocked for ever and learns that what it guards may be inconsistent.
  std::vector<std::weak_ptr<MutexObject>> owned;
  owned.swap(thread.owned);
  for (const auto &entry : owned)
    if (std::shared_ptr<MutexObject> mutex = entry.lock())
      if (mutex->ownerId == thread.id) mutex->disown(true);
  thread.object->exitCode = exitCode;
  thread.object->signal();
  s.threads.erase(thread.id);
}

HANDLE insertHandle(Lock &, std::shared_ptr<Object> object) {
  State &s = state();
  // Values grow and are never reused, so a handle used after CloseHandle is
  // caught as invalid; or, as Windows does, the value closed last names the
  // next object, so a use after close reaches that object.
  std::uintptr_t value;
  if (s.reuseHandles && !s.closedHandles.empty()) {
    value = s.closedHandles.back();
    s.closedHandles.pop_back();
  } else {
    value = static_cast<std::uintptr_t>(s.nextHandle);
    s.nextHandle += 4;
  }
  s.handles.emplace(value, std::move(object));
  return reinterpret_cast<HANDLE>(value);
}

bool eraseHandle(Lock &, std::uintptr_t value) {
  State &s = state();
  if (s.handles.erase(value) == 0) {
    fail(ERROR_INVALID_HANDLE);
    return false;
  }
  if (s.reuseHandles) s.closedHandles.push_back(value);
  return true;
}

std::shared_ptr<Object> lookupHandle(Lock &held, HANDLE handle) {
  auto value = reinterpret_cast<std::uintptr_t>(handle);
  if (value == currentThreadPseudo) return currentThread(held)->object;
  auto found = state().handles.find(value);
  if (found == state().handles.end()) {
    fail(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return found->second;
}

} // namespace win32

using namespace win32;

extern "C" {

HANDLE WINAPI GetCurrentProcess(void) { return reinterpret_cast<HANDLE>(currentProcessPseudo); }

HANDLE WINAPI GetCurrentThread(void) { return reinterpret_cast<HANDLE>(currentThreadPseudo); }

DWORD WINAPI GetCurrentThreadId(void) {
  Lock held(state().mutex);
  return currentThread(held)->id;
}

DWORD WINAPI GetCurrentProcessId(void) { return 0x100; }

BOOL WINAPI DuplicateHandle(HANDLE sourceProcess, HANDLE source, HANDLE targetProcess, LPHANDLE target, DWORD,
                            BOOL, DWORD options) {
  if (reinterpret_cast<std::uintptr_t>(sourceProcess) != currentProcessPseudo ||
      reinterpret_cast<std::uintptr_t>(targetProcess) != currentProcessPseudo) {
    fail(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Lock held(state().mutex);
  if (injectedFailure(held, "DuplicateHandle")) return FALSE;
  std::shared_ptr<Object> object = lookupHandle(held, source);
  if (!object) return FALSE;
  if (target) *target = insertHandle(held, object);
  if ((options & DUPLICATE_CLOSE_SOURCE) != 0) eraseHandle(held, reinterpret_cast<std::uintptr_t>(source));
  return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE object) {
  auto value = reinterpret_cast<std::uintptr_t>(object);
  if (value == currentProcessPseudo || value == currentThreadPseudo) return TRUE;
  Lock held(state().mutex);
  return eraseHandle(held, value) ? TRUE : FALSE;
}

} // extern "C"
