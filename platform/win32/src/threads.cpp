// Threads: CreateThread on std::thread, thread objects signalled at exit.
#include "state.h"

#include <thread>

namespace win32 {
void adoptCurrentThread(std::shared_ptr<ThreadState> thread);
}

using namespace win32;

extern "C" {

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                           DWORD creationFlags, LPDWORD threadId) {
  if (!start) {
    fail(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Lock held(state().mutex);
  if (injectedFailure(held, "CreateThread")) return nullptr;
  std::shared_ptr<ThreadState> thread = registerThread(held);
  thread->suspended = (creationFlags & CREATE_SUSPENDED) != 0;
  HANDLE handle = insertHandle(held, thread->object);
  try {
    std::thread([thread, start, parameter] {
      {
        Lock held(state().mutex);
        thread->resumed.wait(held, [&] { return !thread->suspended; });
      }
      adoptCurrentThread(thread);
      DWORD exitCode = start(parameter);
      Lock held(state().mutex);
      endThread(held, *thread, exitCode);
      --state().runningCreatedThreads;
      state().threadEnded.notify_all();
      adoptCurrentThread(nullptr);
    }).detach();
  } catch (const std::system_error &) {
    eraseHandle(held, reinterpret_cast<std::uintptr_t>(handle));
    state().threads.erase(thread->id);
    fail(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  ++state().runningCreatedThreads;
  if (threadId) *threadId = thread->id;
  return handle;
}

DWORD WINAPI ResumeThread(HANDLE handle) {
  Lock held(state().mutex);
  auto object = std::dynamic_pointer_cast<ThreadObject>(lookupHandle(held, handle));
  if (!object) {
    fail(ERROR_INVALID_HANDLE);
    return static_cast<DWORD>(-1);
  }
  auto found = state().threads.find(object->id);
  if (found == state().threads.end() || !found->second->suspended) return 0;
  found->second->suspended = false;
  found->second->resumed.notify_all();
  return 1;
}

BOOL WINAPI GetExitCodeThread(HANDLE handle, LPDWORD exitCode) {
  Lock held(state().mutex);
  auto object = std::dynamic_pointer_cast<ThreadObject>(lookupHandle(held, handle));
  if (!object || !exitCode) {
    fail(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  *exitCode = object->exitCode;
  return TRUE;
}

void WINAPI Sleep(DWORD milliseconds) {
  if (milliseconds == 0)
    std::this_thread::yield();
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

DWORD WINAPI GetTickCount(void) {
  auto since = Clock::now().time_since_epoch();
  return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

} // extern "C"
