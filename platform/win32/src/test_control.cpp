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

size_t win32HookCount(void) {
  Lock held(state().mutex);
  return state().hooksById.size();
}

long win32QueueLength(DWORD threadId) {
  Lock held(state().mutex);
  auto found = state().threads.find(threadId);
  if (found == state().threads.end() || !found->second->hasQueue) return -1;
  return static_cast<long>(found->second->queue.size());
}

} // extern "C"
