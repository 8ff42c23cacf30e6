// Threads: handles signalled at exit, duplicated current-thread handles,
// last error kept per thread.
#include "win32_test_support.h"

#include <gtest/gtest.h>

using namespace win32test;

namespace {

DWORD WINAPI waitThenExit(LPVOID parameter) {
  WaitForSingleObject(static_cast<HANDLE>(parameter), INFINITE);
  return 42;
}

TEST(Threads, HandleIsSignalledWhenTheThreadEnds) {
  HANDLE release = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, waitThenExit, release, 0, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(id, 0u);
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
  SetEvent(release);
  ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0) << "an ended thread stays signalled";
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 42u);
  CloseHandle(thread);
  CloseHandle(release);
}

TEST(Threads, DuplicatedPseudoHandleNamesTheThreadForOthers) {
  HANDLE duplicated = nullptr;
  HANDLE release = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  HANDLE ready = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  DWORD seenId = 0;
  std::function<void()> body = [&] {
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &duplicated, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    seenId = GetCurrentThreadId();
    SetEvent(ready);
    WaitForSingleObject(release, INFINITE);
  };
  DWORD id = 0;
  HANDLE thread = startThread(&body, &id);
  ASSERT_EQ(WaitForSingleObject(ready, 5000), WAIT_OBJECT_0);
  ASSERT_NE(duplicated, nullptr);
  EXPECT_NE(duplicated, GetCurrentThread());
  EXPECT_EQ(seenId, id);
  EXPECT_EQ(WaitForSingleObject(duplicated, 0), WAIT_TIMEOUT);
  SetEvent(release);
  EXPECT_EQ(WaitForSingleObject(duplicated, 5000), WAIT_OBJECT_0);
  EXPECT_TRUE(CloseHandle(duplicated));
  for (HANDLE h : {thread, release, ready}) CloseHandle(h);
}

TEST(Threads, LastErrorIsKeptPerThread) {
  SetLastError(1234);
  DWORD seenByOther = 0;
  std::function<void()> body = [&] {
    SetLastError(ERROR_INVALID_HANDLE);
    seenByOther = GetLastError();
  };
  HANDLE thread = startThread(&body);
  WaitForSingleObject(thread, 5000);
  CloseHandle(thread);
  EXPECT_EQ(seenByOther, static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(GetLastError(), 1234u);
}

} // namespace
