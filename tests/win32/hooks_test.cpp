// WH_GETMESSAGE hooks: who is called, in which order, with which flag.
#include "win32_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace win32test;

namespace {

struct Call {
  char hook;
  WPARAM removal;
  UINT message;
  bool operator==(const Call &other) const {
    return hook == other.hook && removal == other.removal && message == other.message;
  }
};

std::vector<Call> calls;
bool bStopsChain = false;
HHOOK selfRemoving = nullptr;

void record(char hook, WPARAM wParam, LPARAM lParam) {
  calls.push_back({hook, wParam, reinterpret_cast<const MSG *>(lParam)->message});
}

LRESULT CALLBACK hookA(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) record('A', wParam, lParam);
  return CallNextHookEx(nullptr, code, wParam, lParam) + 1;
}

LRESULT CALLBACK hookB(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) record('B', wParam, lParam);
  if (bStopsChain) return 100;
  return CallNextHookEx(nullptr, code, wParam, lParam) + 10;
}

LRESULT CALLBACK hookC(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) record('C', wParam, lParam);
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK removesItself(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) record('R', wParam, lParam);
  UnhookWindowsHookEx(selfRemoving);
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

class Hooks : public ::testing::Test {
protected:
  void SetUp() override {
    makeQueue();
    drainQueue();
    calls.clear();
    bStopsChain = false;
  }
  HHOOK install(HOOKPROC proc) {
    HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, proc, nullptr, GetCurrentThreadId());
    EXPECT_NE(hook, nullptr);
    installed.push_back(hook);
    return hook;
  }
  void TearDown() override {
    for (HHOOK hook : installed) UnhookWindowsHookEx(hook);
    drainQueue();
  }
  std::vector<HHOOK> installed;
};

TEST_F(Hooks, LastInstalledRunsFirstAndCallNextPassesOn) {
  install(hookA);
  install(hookB);
  install(hookC);
  ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_USER + 1, 0, 0));
  MSG msg{};
  ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
  const std::vector<Call> expected = {
      {'C', PM_REMOVE, WM_USER + 1}, {'B', PM_REMOVE, WM_USER + 1}, {'A', PM_REMOVE, WM_USER + 1}};
  EXPECT_EQ(calls, expected);
}

TEST_F(Hooks, AHookThatReturnsWithoutCallingNextEndsTheChain) {
  install(hookA);
  install(hookB);
  install(hookC);
  bStopsChain = true;
  ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_USER + 2, 0, 0));
  MSG msg{};
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  const std::vector<Call> expected = {{'C', PM_REMOVE, WM_USER + 2}, {'B', PM_REMOVE, WM_USER + 2}};
  EXPECT_EQ(calls, expected);
}

TEST_F(Hooks, APeekedMessageIsSeenOnceWithEachFlag) {
  install(hookC);
  ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_USER + 3, 0, 0));
  MSG msg{};
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  const std::vector<Call> expected = {{'C', PM_NOREMOVE, WM_USER + 3}, {'C', PM_REMOVE, WM_USER + 3}};
  EXPECT_EQ(calls, expected);
}

TEST_F(Hooks, SeesMessagesPostedFromAnotherThread) {
  install(hookC);
  const DWORD self = GetCurrentThreadId();
  std::function<void()> body = [&] {
    PostThreadMessageA(self, WM_USER + 4, 0, 0);
    PostThreadMessageA(self, WM_QUIT, 0, 0);
  };
  HANDLE thread = startThread(&body);
  MSG msg{};
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
  }
  WaitForSingleObject(thread, 5000);
  CloseHandle(thread);
  const std::vector<Call> expected = {{'C', PM_REMOVE, WM_USER + 4}, {'C', PM_REMOVE, WM_QUIT}};
  EXPECT_EQ(calls, expected);
}

TEST_F(Hooks, UnhookedHooksAreSkippedAndTheirHandlesBecomeInvalid) {
  install(hookA);
  HHOOK b = install(hookB);
  ASSERT_TRUE(UnhookWindowsHookEx(b));
  SetLastError(0);
  EXPECT_FALSE(UnhookWindowsHookEx(b));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HOOK_HANDLE));
  selfRemoving = install(removesItself);
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_USER + 5, 0, 0));
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  }
  const std::vector<Call> expected = {
      {'R', PM_REMOVE, WM_USER + 5}, {'A', PM_REMOVE, WM_USER + 5}, {'A', PM_REMOVE, WM_USER + 5}};
  EXPECT_EQ(calls, expected);
}

TEST_F(Hooks, HookCanBeInstalledOnlyForAThreadOfTheProcess) {
  SetLastError(0);
  EXPECT_EQ(SetWindowsHookExA(WH_GETMESSAGE, hookA, nullptr, 0), nullptr) << "a global hook needs a module";
  EXPECT_NE(GetLastError(), 0u);
}

} // namespace
