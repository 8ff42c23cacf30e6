// The main thread's message loop as MATLAB's idle loop runs it: every
// message is taken with removal so WH_GETMESSAGE hooks see it, and a hook's
// dispatch may call MATLAB, which may call a MEX function again.
#include <windows.h>

#include <chrono>
#include <thread>
#include <vector>

#include "testmex_fixture.h"

using mexhost::Value;
using namespace std::chrono_literals;

namespace {

struct Seen {
  UINT message;
  WPARAM removal;
  WPARAM wParam;
  LPARAM lParam;
};

std::vector<Seen> seen;
std::function<void(const MSG &)> onEvent; // run for each removed test event
UINT eventMessage = 0;

LRESULT CALLBACK recordingHook(int code, WPARAM removal, LPARAM lParam) {
  if (code == HC_ACTION) {
    const MSG *msg = reinterpret_cast<const MSG *>(lParam);
    seen.push_back({msg->message, removal, msg->wParam, msg->lParam});
    if (removal == PM_REMOVE && msg->message == eventMessage && onEvent) onEvent(*msg);
  }
  return CallNextHookEx(nullptr, code, removal, lParam);
}

class MessageLoop : public TestMex {
protected:
  HHOOK hook = nullptr;

  void SetUp() override {
    seen.clear();
    onEvent = nullptr;
    eventMessage = RegisterWindowMessageA("mexhost_test_event");
    ASSERT_NE(eventMessage, 0u);
    hook = SetWindowsHookExA(WH_GETMESSAGE, recordingHook, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
  }

  void TearDown() override {
    UnhookWindowsHookEx(hook);
    onEvent = nullptr;
  }
};

} // namespace

TEST_F(MessageLoop, HookSeesEveryMessageFromOtherThreadsInOrder) {
  const int count = 200;
  DWORD target = static_cast<DWORD>(session.mainThreadId());
  std::thread producer([&] {
    for (int i = 0; i < count; ++i)
      PostThreadMessageA(target, i % 2 ? WM_USER + 1 : eventMessage, static_cast<WPARAM>(i), i);
  });
  EXPECT_TRUE(session.runUntil([&] { return seen.size() == static_cast<size_t>(count); }, 10s));
  producer.join();
  ASSERT_EQ(seen.size(), static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    EXPECT_EQ(seen[i].message, i % 2 ? static_cast<UINT>(WM_USER + 1) : eventMessage);
    EXPECT_EQ(seen[i].removal, static_cast<WPARAM>(PM_REMOVE));
    EXPECT_EQ(seen[i].wParam, static_cast<WPARAM>(i));
    EXPECT_EQ(seen[i].lParam, static_cast<LPARAM>(i));
  }
  EXPECT_EQ(session.pumpMessages(), 0u);
}

TEST_F(MessageLoop, PumpDrainsTheQueueAndRunUntilStopsAtTheCondition) {
  DWORD self = GetCurrentThreadId();
  for (int i = 0; i < 5; ++i) PostThreadMessageA(self, WM_USER + 2, i, 0);
  EXPECT_TRUE(session.runUntil([&] { return seen.size() == 2; }, 1s));
  EXPECT_EQ(seen.size(), 2u); // the rest wait for the next loop
  EXPECT_EQ(session.pumpMessages(), 3u);
  EXPECT_EQ(seen.size(), 5u);
  EXPECT_EQ(seen.back().wParam, 4u);
}

TEST_F(MessageLoop, RunUntilGivesUpAfterTheTimeout) {
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(session.runUntil([] { return false; }, 100ms));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
  EXPECT_TRUE(seen.empty());
}

TEST_F(MessageLoop, RunUntilWakesForAMessagePostedWhileItWaits) {
  DWORD target = static_cast<DWORD>(session.mainThreadId());
  HANDLE go = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  std::thread producer([&] {
    WaitForSingleObject(go, INFINITE);
    PostThreadMessageA(target, eventMessage, 7, 0);
  });
  bool signalled = false;
  bool done = session.runUntil(
      [&] {
        if (!signalled) {
          signalled = true;
          SetEvent(go); // post only once the loop is about to block
        }
        return !seen.empty();
      },
      10s);
  producer.join();
  CloseHandle(go);
  EXPECT_TRUE(done);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].wParam, 7u);
}

// The shape of a driver event: a thread posts, the hook dispatches on the
// main thread into MATLAB, and the MATLAB callback calls a MEX function.
TEST_F(MessageLoop, DispatchFromTheLoopCallsMatlabWhichCallsAMexFunctionAgain) {
  std::vector<double> counts;
  Value callback = session.functionHandle([&](const std::vector<const mxArray *> &args, int) {
    EXPECT_EQ(mxGetScalar(args[0]), 5.0);
    mexhost::CallResult inner = session.call("testmex", {session.text("count")}, 1);
    EXPECT_TRUE(inner.ok) << inner.errorMessage;
    counts.push_back(inner.outputs.empty() ? -1 : inner.outputs[0].scalar());
    if (counts.size() == 2) mexhost::raiseError("second event fails");
    return std::vector<Value>{};
  });
  onEvent = [&](const MSG &msg) {
    mexhost::CallResult outer = session.call(
        "testmex", {session.text("feval"), callback, session.number(static_cast<double>(msg.wParam))});
    EXPECT_TRUE(outer.ok) << outer.errorMessage;
  };
  DWORD target = static_cast<DWORD>(session.mainThreadId());
  std::thread producer([&] {
    for (int i = 0; i < 3; ++i) PostThreadMessageA(target, eventMessage, 5, 0);
  });
  EXPECT_TRUE(session.runUntil([&] { return counts.size() == 3; }, 10s));
  producer.join();
  // feval, count; feval, count (error printed); feval, count.
  EXPECT_EQ(counts, (std::vector<double>{2, 4, 6}));
  EXPECT_EQ(session.commandWindow(), "ERROR in callback: second event fails\n");
}

// A MATLAB function that runs a modal loop (a message box, drawnow) lets
// dispatches run inside the MEX call that called it.
TEST_F(MessageLoop, DispatchesRunInsideAModalLoopOfACallback) {
  int dispatched = 0;
  onEvent = [&](const MSG &) { ++dispatched; };
  Value modal = session.functionHandle([&](auto &, int) {
    PostThreadMessageA(GetCurrentThreadId(), eventMessage, 0, 0);
    session.pumpMessages();
    EXPECT_EQ(dispatched, 1);
    return std::vector<Value>{};
  });
  ok("feval", {modal});
  EXPECT_EQ(dispatched, 1);
}
