// System message texts and the headless message box.
#include "win32_test_support.h"

#ifndef _WIN32
#include <win32_test_control.h>
#endif

#include <gtest/gtest.h>

#include <string>

using namespace win32test;

namespace {

const DWORD systemTextFlags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;

// Windows' own wording; Wine words some texts differently.
std::string expectedText(const char *windows, const char *wine) { return runningOnWine() ? wine : windows; }

TEST(FormatMessage, AllocatesTheSystemTextOfAnError) {
  char *text = nullptr;
  DWORD length = FormatMessageA(systemTextFlags, nullptr, ERROR_INVALID_HANDLE, 0,
                                reinterpret_cast<LPSTR>(&text), 1024, nullptr);
  ASSERT_NE(length, 0u);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::string(text, length), expectedText("The handle is invalid.\r\n", "Invalid handle.\r\n"));
  EXPECT_EQ(LocalFree(text), nullptr);

  length = FormatMessageA(systemTextFlags, nullptr, ERROR_INVALID_THREAD_ID, 0,
                          reinterpret_cast<LPSTR>(&text), 1024, nullptr);
  ASSERT_NE(length, 0u);
  EXPECT_EQ(std::string(text, length),
            expectedText("Invalid thread identifier.\r\n", "Invalid thread ID.\r\n"));
  LocalFree(text);
}

TEST(FormatMessage, FailsForAnErrorWithoutText) {
  char *text = nullptr;
  SetLastError(0);
  DWORD length =
      FormatMessageA(systemTextFlags, nullptr, 0x2000FFFFu, 0, reinterpret_cast<LPSTR>(&text), 1024, nullptr);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
}

#ifndef _WIN32
TEST(MessageBox, IsRecordedAndReturnsOkAtOnce) {
  win32ClearMessageBoxes();
  struct Seen {
    std::string text;
    bool isNull;
  } seen{"", true};
  win32SetMessageBoxHandler(
      [](const char *text, const char *caption, void *context) {
        static_cast<Seen *>(context)->text = text;
        static_cast<Seen *>(context)->isNull = caption[0] == '\0';
      },
      &seen);
  EXPECT_EQ(MessageBoxA(nullptr, "Something went wrong.", nullptr, MB_OK), IDOK);
  win32SetMessageBoxHandler(nullptr, nullptr);
  ASSERT_EQ(win32MessageBoxCount(), 1u);
  char buffer[64];
  EXPECT_EQ(win32MessageBoxText(0, buffer, sizeof buffer), 21);
  EXPECT_STREQ(buffer, "Something went wrong.");
  EXPECT_EQ(win32MessageBoxText(1, buffer, sizeof buffer), -1);
  EXPECT_EQ(seen.text, "Something went wrong.");
  EXPECT_TRUE(seen.isNull);
  win32ClearMessageBoxes();
}
#endif

} // namespace

#ifndef _WIN32
namespace {

TEST(StandInControls, InjectedFailuresLookLikeWindowsFailures) {
  win32FailNextCalls("CreateEventA", ERROR_NOT_ENOUGH_MEMORY, 1);
  SetLastError(0);
  EXPECT_EQ(CreateEventA(nullptr, FALSE, FALSE, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  EXPECT_NE(event, nullptr) << "only the next call fails";

  win32FailNextCalls("WaitForMultipleObjects", ERROR_INVALID_HANDLE, -1);
  EXPECT_EQ(WaitForMultipleObjects(1, &event, FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(WaitForMultipleObjects(1, &event, FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT) << "each form fails on its own name";
  win32FailNextCalls("WaitForSingleObject", ERROR_INVALID_HANDLE, 1);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
  win32ClearFailures();
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForMultipleObjects(1, &event, FALSE, 0), WAIT_TIMEOUT);
  CloseHandle(event);
}

TEST(StandInControls, AHeldWaitFindsEverythingSignalledMeanwhile) {
  HANDLE events[2] = {CreateEventA(nullptr, FALSE, FALSE, nullptr),
                      CreateEventA(nullptr, FALSE, FALSE, nullptr)};
  DWORD result = WAIT_FAILED;
  std::function<void()> body = [&] { result = WaitForMultipleObjects(2, events, FALSE, INFINITE); };
  win32HoldWaitsOn(events[1]);
  HANDLE thread = startThread(&body);
  HANDLE seen[MAXIMUM_WAIT_OBJECTS];
  DWORD count = 0;
  ASSERT_EQ(win32WaitForHeldWait(5000, seen, &count), 1);
  ASSERT_EQ(count, 2u);
  EXPECT_EQ(seen[0], events[0]);
  SetEvent(events[1]);
  SetEvent(events[0]);
  win32ReleaseHeldWaits();
  ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(result, WAIT_OBJECT_0) << "the lowest of the entries signalled together";
  EXPECT_EQ(WaitForSingleObject(events[1], 0), WAIT_OBJECT_0);
  for (HANDLE h : {events[0], events[1], thread}) CloseHandle(h);
}

} // namespace
#endif
