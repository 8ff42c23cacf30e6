// Events and the wait functions.
#include "state.h"

#include <algorithm>

namespace win32 {

namespace {
bool anyReady(const std::vector<std::shared_ptr<Object>> &objects, const ThreadState &thread, size_t &index) {
  for (size_t i = 0; i < objects.size(); ++i) {
    if (objects[i]->readyFor(thread)) {
      index = i;
      return true;
    }
  }
  return false;
}

bool allReady(const std::vector<std::shared_ptr<Object>> &objects, const ThreadState &thread) {
  return std::all_of(objects.begin(), objects.end(),
                     [&](const std::shared_ptr<Object> &o) { return o->readyFor(thread); });
}

// The first abandoned entry of those a wait takes, which it then clears: an
// abandonment is reported once.
bool takeAbandoned(const std::vector<std::shared_ptr<Object>> &objects, size_t first, size_t last,
                   size_t &index) {
  bool found = false;
  for (size_t i = first; i <= last; ++i) {
    if (!objects[i]->abandoned) continue;
    objects[i]->abandoned = false;
    if (!found) index = i;
    found = true;
  }
  return found;
}

bool queueReady(const ThreadState *thread, bool anyInput) {
  if (!thread) return false;
  return anyInput ? (!thread->queue.empty() || thread->quitRequested) : thread->newInput;
}

template <typename List> void removeWaiter(List &list, Waiter *waiter) {
  list.erase(std::remove(list.begin(), list.end(), waiter), list.end());
}
} // namespace

DWORD waitFor(Lock &held, const std::vector<std::shared_ptr<Object>> &objects, bool waitAll,
              DWORD milliseconds, ThreadState *queueOf, bool anyInput) {
  const bool forever = milliseconds == INFINITE;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : milliseconds);
  Waiter waiter;
  for (const auto &object : objects) object->waiters.push_back(&waiter);
  if (queueOf) queueOf->queueWaiters.push_back(&waiter);
  state().holdChanged.notify_all(); // for tests that wait for a blocked waiter
  // Who waits matters: a mutex is ready for its owner, and a satisfied wait
  // makes the waiter its owner.
  ThreadState &self = *currentThread(held);
  DWORD result = WAIT_TIMEOUT;
  for (;;) {
    size_t index = 0;
    if (waitAll ? (!objects.empty() && allReady(objects, self)) : anyReady(objects, self, index)) {
      // Only what satisfied the wait is consumed: the lowest signalled entry,
      // or, for wait-all, every entry at once.
      if (waitAll)
        for (const auto &object : objects) object->consume(self);
      else
        objects[index]->consume(self);
      result = WAIT_OBJECT_0 + static_cast<DWORD>(index);
      size_t abandonedIndex = 0;
      if (takeAbandoned(objects, waitAll ? 0 : index, waitAll ? objects.size() - 1 : index, abandonedIndex))
        result = WAIT_ABANDONED_0 + static_cast<DWORD>(abandonedIndex);
      break;
    }
    if (queueReady(queueOf, anyInput)) {
      result = WAIT_OBJECT_0 + static_cast<DWORD>(objects.size());
      break;
    }
    if (forever) {
      waiter.wake.wait(held);
    } else {
      if (Clock::now() >= deadline) break;
      waiter.wake.wait_until(held, deadline);
    }
  }
  for (const auto &object : objects) removeWaiter(object->waiters, &waiter);
  if (queueOf) removeWaiter(queueOf->queueWaiters, &waiter);
  return result;
}

} // namespace win32

using namespace win32;

namespace {
std::shared_ptr<EventObject> lookupEvent(Lock &held, HANDLE handle) {
  auto event = std::dynamic_pointer_cast<EventObject>(lookupHandle(held, handle));
  if (!event) fail(ERROR_INVALID_HANDLE);
  return event;
}

// Resolves a wait list; null entries make the whole wait fail.
bool resolve(Lock &held, DWORD count, const HANDLE *handles, std::vector<std::shared_ptr<Object>> &objects) {
  if (count > MAXIMUM_WAIT_OBJECTS || (count > 0 && !handles)) {
    fail(ERROR_INVALID_PARAMETER);
    return false;
  }
  objects.reserve(count);
  for (DWORD i = 0; i < count; ++i) {
    std::shared_ptr<Object> object = lookupHandle(held, handles[i]);
    if (!object) return false;
    objects.push_back(std::move(object));
  }
  return true;
}
} // namespace

extern "C" {

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR name) {
  if (name) {
    // Named events are shared between processes; nothing here needs them.
    fail(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto event = std::make_shared<EventObject>();
  event->autoReset = !manualReset;
  event->signalled = initialState != FALSE;
  Lock held(state().mutex);
  if (injectedFailure(held, "CreateEventA")) return nullptr;
  return insertHandle(held, std::move(event));
}

BOOL WINAPI SetEvent(HANDLE handle) {
  Lock held(state().mutex);
  auto event = lookupEvent(held, handle);
  if (!event) return FALSE;
  event->signal();
  return TRUE;
}

BOOL WINAPI ResetEvent(HANDLE handle) {
  Lock held(state().mutex);
  auto event = lookupEvent(held, handle);
  if (!event) return FALSE;
  event->signalled = false;
  return TRUE;
}

namespace {
// Each form fails on its own name: a test can fail a watcher's wait on
// several objects without failing every lock taken beside it.
DWORD waitForObjects(const char *api, DWORD count, const HANDLE *handles, BOOL waitAll, DWORD milliseconds) {
  if (count == 0) {
    fail(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  Lock held(state().mutex);
  if (injectedFailure(held, api)) return WAIT_FAILED;
  std::vector<std::shared_ptr<Object>> objects;
  if (!resolve(held, count, handles, objects)) return WAIT_FAILED;
  holdIfAsked(held, objects, handles, count);
  return waitFor(held, objects, waitAll != FALSE, milliseconds, nullptr, false);
}
} // namespace

DWORD WINAPI WaitForMultipleObjects(DWORD count, const HANDLE *handles, BOOL waitAll, DWORD milliseconds) {
  return waitForObjects("WaitForMultipleObjects", count, handles, waitAll, milliseconds);
}

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  return waitForObjects("WaitForSingleObject", 1, &handle, FALSE, milliseconds);
}

DWORD WINAPI MsgWaitForMultipleObjectsEx(DWORD count, const HANDLE *handles, DWORD milliseconds,
                                         DWORD wakeMask, DWORD flags) {
  Lock held(state().mutex);
  std::vector<std::shared_ptr<Object>> objects;
  if (!resolve(held, count, handles, objects)) return WAIT_FAILED;
  std::shared_ptr<ThreadState> thread = currentThread(held);
  // Only posted messages exist here, so any mask that includes them wakes.
  ThreadState *queue = (wakeMask & (QS_POSTMESSAGE | QS_ALLPOSTMESSAGE)) != 0 ? thread.get() : nullptr;
  return waitFor(held, objects, false, milliseconds, queue, (flags & MWMO_INPUTAVAILABLE) != 0);
}

DWORD WINAPI MsgWaitForMultipleObjects(DWORD count, const HANDLE *handles, BOOL waitAll, DWORD milliseconds,
                                       DWORD wakeMask) {
  if (waitAll) {
    // Waiting for all objects and input together is not needed here.
    fail(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  return MsgWaitForMultipleObjectsEx(count, handles, milliseconds, wakeMask, 0);
}

} // extern "C"
