// The bridge through two copies of a probe MEX library in one session:
// binding, one dispatch per post, hook chaining, release with events queued.
#include "AsyncMex.h"
#include "matlab_session.h"

#include <windows.h>
#ifndef _WIN32
#include <win32_test_control.h>
#endif

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using mexhost::CallResult;
using mexhost::Session;

std::vector<UINT> chainSeen;
LRESULT CALLBACK olderHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && wParam == PM_REMOVE) chainSeen.push_back(reinterpret_cast<MSG *>(lParam)->message);
  return CallNextHookEx(nullptr, code, wParam, lParam) + 5;
}

std::vector<std::pair<UINT, LRESULT>> passedBack;
LRESULT CALLBACK newerHook(int code, WPARAM wParam, LPARAM lParam) {
  LRESULT result = CallNextHookEx(nullptr, code, wParam, lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE)
    passedBack.emplace_back(reinterpret_cast<MSG *>(lParam)->message, result);
  return result;
}

// The hook of a bridge in another library, as the bridge is specified: it
// runs the routine of whatever object an event names.
UINT asyncMexEvent = 0;
int objectsWithoutRoutine = 0;
LRESULT CALLBACK trustingHook(int code, WPARAM wParam, LPARAM lParam) {
  const MSG *msg = reinterpret_cast<const MSG *>(lParam);
  if (code != HC_ACTION || wParam != PM_REMOVE || msg->message != asyncMexEvent)
    return CallNextHookEx(nullptr, code, wParam, lParam);
  const AsyncMexObject *object = reinterpret_cast<const AsyncMexObject *>(msg->wParam);
  if (object == nullptr || object->dispatchRoutine == nullptr) {
    ++objectsWithoutRoutine; // where that bridge would call through null
    return 0;
  }
  object->dispatchRoutine(static_cast<uint32_t>(msg->lParam), object->dispatchContext);
  return 0;
}

class Bridge : public ::testing::Test {
protected:
  Session session;

#ifndef _WIN32
  // As on Windows: a thread handle used after it was closed reaches another object.
  void SetUp() override { win32ReuseHandleValues(1); }
#endif

  CallResult probe(const std::string &library, const std::string &command, std::vector<double> numbers = {},
                   int nlhs = 0) {
    std::vector<mexhost::Value> inputs{session.text(command)};
    for (double n : numbers) inputs.push_back(session.number(n));
    CallResult result = session.call(library, inputs, nlhs);
    EXPECT_TRUE(result.ok) << library << " " << command << ": " << result.errorMessage;
    return result;
  }

  std::vector<std::string> dispatches() {
    std::vector<std::string> lines;
    for (const std::string &line : session.printed())
      if (line.find(" dispatch ") != std::string::npos) lines.push_back(line);
    return lines;
  }

  void TearDown() override {
    mexhost::SessionReport report = session.close();
    EXPECT_TRUE(report.leaked.empty())
        << "arrays " << report.leaked.arrays << ", blocks " << report.leaked.blocks;
#ifndef _WIN32
    win32ReuseHandleValues(0);
#endif
  }
};

TEST_F(Bridge, ObjectsOfOneLibraryShareOneHook) {
  CallResult result = probe("asyncMexProbeA", "init", {2}, 1);
  ASSERT_EQ(result.outputs.size(), 1u);
  const double *out = mxGetPr(result.outputs[0].get());
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 0);
  EXPECT_EQ(out[2], 1) << "both objects hold the same hook";
#ifndef _WIN32
  EXPECT_EQ(win32HookCount(), 1u);
#endif
}

TEST_F(Bridge, EachPostIsDispatchedOnceWhenRemovedNotWhenPeeked) {
  probe("asyncMexProbeA", "init", {1});
  probe("asyncMexProbeA", "post", {0, 7, 3});
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_TRUE(dispatches().empty()) << "a peek runs no routine";
  EXPECT_EQ(session.pumpMessages(), 3u);
  const std::vector<std::string> expected(3, "asyncMexProbeA dispatch 0 7\n");
  EXPECT_EQ(dispatches(), expected);
}

TEST_F(Bridge, OtherMessagesGoOnDownTheChainWithTheirResultAndOursStop) {
  HHOOK older = SetWindowsHookExA(WH_GETMESSAGE, olderHook, nullptr, GetCurrentThreadId());
  chainSeen.clear();
  passedBack.clear();
  probe("asyncMexProbeA", "init", {1});
  HHOOK newer = SetWindowsHookExA(WH_GETMESSAGE, newerHook, nullptr, GetCurrentThreadId());
  probe("asyncMexProbeA", "post", {0, 1, 1});
  ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_USER + 9, 0, 0));
  session.pumpMessages();
  UnhookWindowsHookEx(newer);
  UnhookWindowsHookEx(older);
  EXPECT_EQ(chainSeen, std::vector<UINT>{WM_USER + 9});
  EXPECT_EQ(dispatches().size(), 1u);
  // The bridge's hook hands back what the older hook returned, 5.
  const std::vector<std::pair<UINT, LRESULT>> expected = {{RegisterWindowMessageA("AsyncMex_Event"), 0},
                                                          {WM_USER + 9, 5}};
  EXPECT_EQ(passedBack, expected);
}

// An event carries its object's address in wParam; a bridge that passed it
// through 32 bits anywhere would dispatch through another address. The
// object lies at the top of what the system gives: above 4 GB in a 64-bit
// process (where Wine's heap blocks often lie below, so the other tests
// would not tell), above 2 GB in a 32-bit one, large-address-aware as
// 32-bit MATLAB is.
TEST_F(Bridge, AnObjectAtTheHighestAddressesIsDispatchedWhole) {
  CallResult result = probe("asyncMexProbeA", "highObject", {}, 1);
  ASSERT_EQ(result.outputs.size(), 1u);
  const double *out = mxGetPr(result.outputs[0].get());
  ASSERT_EQ(out[0], 0) << "bound";
  const bool high = sizeof(void *) == 8 ? out[1] != 0 : out[2] >= 2147483648.0;
#ifdef _WIN32
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  if (!high && sizeof(void *) == 4 && ntdll != nullptr &&
      GetProcAddress(ntdll, "wine_get_version") != nullptr)
    GTEST_SKIP() << "32-bit Wine departs from Windows here: it gave this large-address-aware program no "
                    "address above 2 GB";
#endif
  ASSERT_TRUE(high) << "the object lies at " << out[1] << " * 2^32 + " << out[2];
  probe("asyncMexProbeA", "post", {0, 9, 2});
  EXPECT_EQ(session.pumpMessages(), 2u);
  EXPECT_EQ(dispatches(), std::vector<std::string>(2, "asyncMexProbeA dispatch 0 9\n"));
}

TEST_F(Bridge, AnObjectWithoutATargetThreadIsNeverPosted) {
  probe("asyncMexProbeA", "init", {1});
  probe("asyncMexProbeA", "zeroThread", {0});
  probe("asyncMexProbeA", "post", {0, 1, 2});
  EXPECT_EQ(session.pumpMessages(), 0u);
  EXPECT_TRUE(dispatches().empty());
}

TEST_F(Bridge, TwoLibrariesEachDispatchTheirOwnPostsExactlyOnce) {
  for (const char *first : {"asyncMexProbeA", "asyncMexProbeB"}) {
    const std::string second = std::string(first) == "asyncMexProbeA" ? "asyncMexProbeB" : "asyncMexProbeA";
    session.clearCommandWindow();
    probe(first, "init", {1});
    probe(second, "init", {1});
    probe(first, "post", {0, 1, 2});
    probe(second, "post", {0, 2, 2});
    probe(first, "post", {0, 3, 1});
    session.pumpMessages();
    const std::vector<std::string> expected = {
        std::string(first) + " dispatch 0 1\n", std::string(first) + " dispatch 0 1\n",
        second + " dispatch 0 2\n", second + " dispatch 0 2\n", std::string(first) + " dispatch 0 3\n"};
    EXPECT_EQ(dispatches(), expected) << first << " loaded first";
    session.clearAll();
  }
}

TEST_F(Bridge, EventsQueuedWhenALibraryGoesNeverReachItsFreedObjects) {
  probe("asyncMexProbeA", "init", {1});
  probe("asyncMexProbeB", "init", {1});
  probe("asyncMexProbeA", "post", {0, 4, 3});
  probe("asyncMexProbeB", "post", {0, 5, 1});
  ASSERT_TRUE(session.clear("asyncMexProbeA").cleared);
  session.clearCommandWindow();
  // B's hook is still installed: had A's events stayed queued, it would run
  // routines of freed objects of an unloaded library.
  session.pumpMessages();
  for (const std::string &line : dispatches())
    EXPECT_EQ(line.rfind("asyncMexProbeA", 0), std::string::npos) << line;
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Bridge, ALibraryGoesWhileAnotherKeepsPosting) {
  probe("asyncMexProbeA", "init", {1});
  probe("asyncMexProbeB", "init", {1});
  probe("asyncMexProbeA", "post", {0, 4, 3});
  probe("asyncMexProbeB", "flood", {0});
  // The clear takes what was queued before it, not B's endless stream.
  EXPECT_TRUE(session.clear("asyncMexProbeA").cleared);
  probe("asyncMexProbeB", "stopFlood");
  session.clearCommandWindow();
  session.pumpMessages();
  for (const std::string &line : dispatches())
    EXPECT_EQ(line.rfind("asyncMexProbeA dispatch 0 4", 0), std::string::npos);
}

TEST_F(Bridge, ABridgeThatTrustsEveryObjectSurvivesALibraryGoing) {
  probe("asyncMexProbeA", "init", {1});
  asyncMexEvent = RegisterWindowMessageA("AsyncMex_Event");
  objectsWithoutRoutine = 0;
  HHOOK trusting = SetWindowsHookExA(WH_GETMESSAGE, trustingHook, nullptr, GetCurrentThreadId());
  probe("asyncMexProbeA", "post", {0, 4, 2});
  // The clear takes the events queued, up to a marker of its own: all reach
  // the trusting hook first.
  EXPECT_TRUE(session.clear("asyncMexProbeA").cleared);
  UnhookWindowsHookEx(trusting);
  EXPECT_EQ(objectsWithoutRoutine, 0);
  EXPECT_EQ(dispatches().size(), 2u) << "the events queued ran before the library went";
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Bridge, AHookOutlivesAClearOfItsLibraryByTheRoutineOfAnother) {
  probe("asyncMexProbeA", "init", {1});
  probe("asyncMexProbeB", "init", {1}); // installed last, B's hook takes A's events
  int cleared = 0;
  mexhost::Value clearB = session.functionHandle([&](const std::vector<const mxArray *> &, int) {
    cleared += session.clear("asyncMexProbeB").cleared ? 1 : 0;
    return std::vector<mexhost::Value>{};
  });
  ASSERT_TRUE(session.call("asyncMexProbeA", {session.text("onDispatch"), clearB}, 0).ok);
  probe("asyncMexProbeA", "post", {0, 6, 1});
  EXPECT_EQ(session.pumpMessages(), 1u);
  EXPECT_EQ(cleared, 1);
  // B's next load starts as a fresh one: it hooks the thread again.
  CallResult result = probe("asyncMexProbeB", "init", {1}, 1);
  ASSERT_EQ(result.outputs.size(), 1u);
  EXPECT_EQ(mxGetPr(result.outputs[0].get())[0], 0);
  session.clearCommandWindow();
  probe("asyncMexProbeB", "post", {0, 7, 1});
  session.pumpMessages();
  EXPECT_EQ(dispatches(), std::vector<std::string>{"asyncMexProbeB dispatch 0 7\n"});
}

TEST_F(Bridge, FormattingFailurePrintsBothErrorNumbers) {
  probe("asyncMexProbeA", "printError", {166, 0x2000FFFF});
  const std::string &window = session.commandWindow();
  const std::string expectedStart = "printWindowsErrorMessage() - Failed to format message for error: " +
                                    std::to_string(static_cast<int>(0x2000FFFF)) + "\n" +
                                    std::string(29, ' ') + "FormatMessage Error: ";
  EXPECT_EQ(window.rfind(expectedStart, 0), 0u) << window;
}

TEST_F(Bridge, WindowsErrorIsPrintedWithLocationAndSystemText) {
  probe("asyncMexProbeA", "printError", {182, ERROR_INVALID_HANDLE});
  const std::string &window = session.commandWindow();
  EXPECT_EQ(window.rfind("AsyncMex (@ 182) - Windows Error: 6\n" + std::string(26, ' '), 0), 0u) << window;
  EXPECT_NE(window.find("andle"), std::string::npos) << window;
}

#ifndef _WIN32
TEST_F(Bridge, FailedBindingsReportTheStepThatFailed) {
  struct Case {
    const char *function;
    double status;
    const char *printed; // start of what the bridge prints, or "" for nothing
  };
  const Case cases[] = {
      {"DuplicateHandle", -1, "AsyncMex (@ 166) - Windows Error: 8\n"},
      {"RegisterWindowMessageA", -2, "AsyncMex (@ 182) - Windows Error: 8\n"},
      {"SetWindowsHookExA", -3, ""},
  };
  for (const Case &c : cases) {
    session.clearCommandWindow();
    win32FailNextCalls(c.function, ERROR_NOT_ENOUGH_MEMORY, 1);
    CallResult result = probe("asyncMexProbeA", "init", {1}, 1);
    win32ClearFailures();
    EXPECT_EQ(mxGetPr(result.outputs[0].get())[0], c.status) << c.function;
    EXPECT_EQ(session.commandWindow().rfind(c.printed, 0), 0u)
        << c.function << ": " << session.commandWindow();
    if (c.printed[0] == '\0') {
      EXPECT_EQ(session.commandWindow(), "") << c.function;
    }
  }
  // The library tries again: the next binding registers and hooks.
  CallResult result = probe("asyncMexProbeA", "init", {1}, 1);
  EXPECT_EQ(mxGetPr(result.outputs[0].get())[0], 0);
  EXPECT_EQ(win32HookCount(), 1u);
}
#endif

} // namespace
