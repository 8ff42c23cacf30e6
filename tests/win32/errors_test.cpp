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
std::string expectedText(const char *windows, const char *wine) {
  return runningOnWine() ? wine : windows;
}

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
  DWORD length = FormatMessageA(systemTextFlags, nullptr, 0x2000FFFFu, 0,
                                reinterpret_cast<LPSTR>(&text), 1024, nullptr);
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
