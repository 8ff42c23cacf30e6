// Test controls: the message-box record and counts of what is still alive.
#include "state.h"

#include <win32_test_control.h>

#include <cstring>

using namespace win32;

extern "C" {

size_t win32MessageBoxCount(void) {
  Lock held(state().mutex);
  return state().messageBoxes.size();
}

long win32MessageBoxText(size_t index, char *buffer, size_t size) {
  Lock held(state().mutex);
  if (index >= state().messageBoxes.size()) return -1;
  const std::string &text = state().messageBoxes[index].text;
  if (buffer && size > 0) {
    size_t copied = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(buffer, text.data(), copied);
    buffer[copied] = '\0';
  }
  return static_cast<long>(text.size());
}

void win32ClearMessageBoxes(void) {
  Lock held(state().mutex);
  state().messageBoxes.clear();
}

void win32SetMessageBoxHandler(Win32MessageBoxHandler handler, void *context) {
  Lock held(state().mutex);
  state().messageBoxHandler = handler;
  state().messageBoxContext = context;
}

size_t win32OpenHandleCount(void) {
  Lock held(state().mutex);
  return state().handles.size();
}

size_t win32RunningThreadCount(void) {
  Lock held(state().mutex);
  return state().runningCreatedThreads;
}

int win32WaitForRunningThreads(size_t count, DWORD timeoutMs) {
  Lock held(state().mutex);
  return state().threadEnded.wait_for(held, std::chrono::milliseconds(timeoutMs),
                                      [count] { return state().runningCreatedThreads <= count; })
             ? 1
             : 0;
}

size_t win32HookCount(void) {
  Lock held(state().mutex);
  return state().hooksById.size();
}

void win32ReuseHandleValues(int reuse) {
  Lock held(state().mutex);
  state().reuseHandles = reuse != 0;
  state().closedHandles.clear();
}

BOOL win32AbandonObject(HANDLE handle) {
  Lock held(state().mutex);
  std::shared_ptr<Object> object = lookupHandle(held, handle);
  if (!object) return FALSE;
  if (auto mutex = std::dynamic_pointer_cast<MutexObject>(object)) {
    abandonMutex(held, *mutex); // its owner loses it, as if it had ended
    return TRUE;
  }
  object->abandoned = true;
  object->signal();
  return TRUE;
}

long win32QueueLength(DWORD threadId) {
  Lock held(state().mutex);
  auto found = state().threads.find(threadId);
  if (found == state().threads.end() || !found->second->hasQueue) return -1;
  return static_cast<long>(found->second->queue.size());
}

} // extern "C"

namespace win32 {

bool injectedFailure(Lock &, const char *function) {
  auto &failures = state().failures;
  if (failures.empty()) return false;
  auto found = failures.find(function);
  if (found == failures.end() || found->second.remaining == 0) return false;
  if (found->second.remaining > 0) --found->second.remaining;
  fail(found->second.error);
  return true;
}

void holdIfAsked(Lock &held, const std::vector<std::shared_ptr<Object>> &objects, const HANDLE *handles,
                 DWORD count) {
  State &s = state();
  if (!s.holdOn) return;
  bool listed = false;
  for (const auto &object : objects) listed = listed || object == s.holdOn;
  if (!listed) return;
  s.heldHandles.assign(handles, handles + count);
  ++s.heldThreads;
  const uint64_t generation = s.holdGeneration;
  s.holdChanged.notify_all();
  s.holdChanged.wait(held, [&] { return s.holdGeneration != generation; });
}

} // namespace win32

extern "C" {

void win32FailNextCalls(const char *function, DWORD error, int times) {
  Lock held(state().mutex);
  state().failures[function] = State::Failure{error, times};
}

void win32ClearFailures(void) {
  Lock held(state().mutex);
  state().failures.clear();
}

void win32HoldWaitsOn(HANDLE handle) {
  Lock held(state().mutex);
  State &s = state();
  s.holdOn = lookupHandle(held, handle);
  s.heldThreads = 0;
  s.heldHandles.clear();
}

int win32WaitForHeldWait(DWORD timeoutMs, HANDLE *handles, DWORD *count) {
  Lock held(state().mutex);
  State &s = state();
  if (!s.holdChanged.wait_for(held, std::chrono::milliseconds(timeoutMs), [&] { return s.heldThreads > 0; }))
    return 0;
  size_t n = s.heldHandles.size() < MAXIMUM_WAIT_OBJECTS ? s.heldHandles.size() : MAXIMUM_WAIT_OBJECTS;
  if (handles)
    for (size_t i = 0; i < n; ++i) handles[i] = s.heldHandles[i];
  if (count) *count = static_cast<DWORD>(n);
  return 1;
}

int win32WaitForWaiterOn(HANDLE handle, DWORD timeoutMs) {
  Lock held(state().mutex);
  std::shared_ptr<Object> object = lookupHandle(held, handle);
  if (!object) return 0;
  return state().holdChanged.wait_for(held, std::chrono::milliseconds(timeoutMs),
                                      [&] { return !object->waiters.empty(); })
             ? 1
             : 0;
}

void win32ReleaseHeldWaits(void) {
  Lock held(state().mutex);
  state().holdOn.reset();
  ++state().holdGeneration;
  state().holdChanged.notify_all();
}

} // extern "C"
