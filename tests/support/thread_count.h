// The threads running in this process, counted on every build: by the
// stand-in on POSIX, through a Toolhelp snapshot on Windows. Wine runs
// service threads of its own in the process, so a test compares a count
// with one taken before, never with a fixed number.
#ifndef CAMERA_TESTS_SUPPORT_THREAD_COUNT_H
#define CAMERA_TESTS_SUPPORT_THREAD_COUNT_H

#include <windows.h>
#if defined(_WIN32)
#include <tlhelp32.h>

#include <gtest/gtest.h>
#else
#include "win32_test_control.h"
#endif

#include <cstddef>
#include <vector>

namespace threadcount {

#if defined(_WIN32)
// Handles of the process's other threads that have not ended. A thread that
// ended may stay in the snapshot while a handle of it is open; its own
// handle, signalled, tells.
inline std::vector<HANDLE> openOthers() {
  std::vector<HANDLE> handles;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return handles;
  THREADENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != GetCurrentProcessId() || entry.th32ThreadID == GetCurrentThreadId())
      continue;
    HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, entry.th32ThreadID);
    if (thread == nullptr) continue; // gone since the snapshot
    if (WaitForSingleObject(thread, 0) == WAIT_OBJECT_0)
      CloseHandle(thread);
    else
      handles.push_back(thread);
  }
  CloseHandle(snapshot);
  return handles;
}

inline void closeAll(const std::vector<HANDLE> &handles) {
  for (HANDLE handle : handles) CloseHandle(handle);
}

// On Windows GoogleTest starts a thread of its own, which lasts as long as
// the thread it watches, the first time a thread reports a result (a skip,
// a failure): for the counting thread that happens here, before any count.
inline void startTestFrameworkThread() {
  static const bool started = [] {
    SUCCEED();
    return true;
  }();
  (void)started;
}
#endif

inline size_t running() {
#if defined(_WIN32)
  startTestFrameworkThread();
  std::vector<HANDLE> others = openOthers();
  closeAll(others);
  return others.size() + 1;
#else
  return win32RunningThreadCount();
#endif
}

// Waits, at most timeoutMs, for the count to come down to `threads`: threads
// that were asked to end may still be on their way out. Returns the count.
inline size_t settle(size_t threads, unsigned timeoutMs = 5000) {
#if defined(_WIN32)
  const DWORD start = GetTickCount();
  for (;;) {
    std::vector<HANDLE> others = openOthers();
    const DWORD spent = GetTickCount() - start;
    if (others.size() + 1 <= threads || spent >= timeoutMs) {
      closeAll(others);
      return others.size() + 1;
    }
    // Until any of them ends; beyond the most one wait takes, the first ones.
    const DWORD count = others.size() < MAXIMUM_WAIT_OBJECTS ? DWORD(others.size()) : MAXIMUM_WAIT_OBJECTS;
    const DWORD result = WaitForMultipleObjects(count, others.data(), FALSE, timeoutMs - spent);
    closeAll(others);
    if (result == WAIT_TIMEOUT || result == WAIT_FAILED) return running();
  }
#else
  win32WaitForRunningThreads(threads, timeoutMs);
  return running();
#endif
}

} // namespace threadcount

#endif
