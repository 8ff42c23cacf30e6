// Small helpers shared by the Win32 tests.
#ifndef CAMERA_TESTS_WIN32_SUPPORT_H
#define CAMERA_TESTS_WIN32_SUPPORT_H

#include <windows.h>

#include <functional>

namespace win32test {

// True when running on Wine rather than Windows or the stand-in; a test that
// checks documented Windows behaviour where Wine departs from it says so.
inline bool runningOnWine() {
#ifdef _WIN32
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
  return false;
#endif
}

inline bool onStandIn() {
#ifdef _WIN32
  return false;
#else
  return true;
#endif
}

inline DWORD WINAPI runFunction(LPVOID parameter) {
  (*static_cast<std::function<void()> *>(parameter))();
  return 0;
}

// Runs a function on a new Win32 thread and returns its handle; the function
// object must outlive the thread.
inline HANDLE startThread(std::function<void()> *body, DWORD *threadId = nullptr) {
  return CreateThread(nullptr, 0, runFunction, body, 0, threadId);
}

// Makes sure the calling thread has a message queue.
inline void makeQueue() {
  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
}

// Empties the calling thread's queue.
inline void drainQueue() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}

} // namespace win32test

#endif
