// Events and waits: auto-reset consumption, lowest signalled entry, handles.
#include "win32_test_support.h"

#ifndef _WIN32
#include <win32_test_control.h>
#endif

#include <gtest/gtest.h>

#include <atomic>

using namespace win32test;

namespace {

TEST(Events, AutoResetIsConsumedByExactlyOneWait) {
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  SetEvent(event);
  SetEvent(event); // a second signal before a wait adds nothing
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);

  // Two blocked threads, one signal: one wakes; the next signal wakes the other.
  std::atomic<int> woken{0};
  HANDLE done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  std::function<void()> waiter = [&] {
    WaitForSingleObject(event, INFINITE);
    ++woken;
    SetEvent(done);
  };
  HANDLE first = startThread(&waiter);
  HANDLE second = startThread(&waiter);
  SetEvent(event);
  ASSERT_EQ(WaitForSingleObject(done, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(woken.load(), 1);
  SetEvent(event);
  HANDLE both[] = {first, second};
  ASSERT_EQ(WaitForMultipleObjects(2, both, TRUE, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(woken.load(), 2);
  for (HANDLE h : {event, done, first, second}) CloseHandle(h);
}

TEST(Events, ManualResetReleasesEveryWaitUntilReset) {
  HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  ResetEvent(event);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  CloseHandle(event);
}

TEST(WaitForMultiple, ReportsTheLowestSignalledEntryAndConsumesOnlyIt) {
  HANDLE events[3];
  for (HANDLE &e : events) e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  SetEvent(events[2]);
  SetEvent(events[1]);
  EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 2);
  EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_TIMEOUT);

  SetEvent(events[0]);
  SetEvent(events[1]);
  EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(events[1], 0), WAIT_OBJECT_0) << "entry 1 kept its signal";
  for (HANDLE e : events) CloseHandle(e);
}

TEST(WaitForMultiple, WakesWhenAnotherThreadSignals) {
  HANDLE events[2] = {CreateEventA(nullptr, FALSE, FALSE, nullptr),
                      CreateEventA(nullptr, FALSE, FALSE, nullptr)};
  std::function<void()> body = [&] { SetEvent(events[1]); };
  HANDLE thread = startThread(&body);
  EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 5000), WAIT_OBJECT_0 + 1);
  WaitForSingleObject(thread, 5000);
  for (HANDLE h : {events[0], events[1], thread}) CloseHandle(h);
}

TEST(Handles, AClosedHandleIsInvalid) {
  // Made first: Windows may give a handle made after a close the closed value.
  HANDLE open = CreateEventA(nullptr, FALSE, TRUE, nullptr);
  HANDLE event = CreateEventA(nullptr, FALSE, TRUE, nullptr);
  ASSERT_TRUE(CloseHandle(event));
  SetLastError(0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  SetLastError(0);
  EXPECT_FALSE(SetEvent(event));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(CloseHandle(event));
  HANDLE list[2] = {open, event};
  EXPECT_EQ(WaitForMultipleObjects(2, list, FALSE, 0), WAIT_FAILED)
      << "one invalid entry fails the whole wait";
  CloseHandle(open);
}

TEST(Handles, ValuesAreNotReusedSoonOnTheStandIn) {
  if (!onStandIn()) GTEST_SKIP() << "Windows reuses handle values at once; only the stand-in promises this";
  HANDLE closed = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  CloseHandle(closed);
  for (int i = 0; i < 100; ++i) {
    HANDLE fresh = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    EXPECT_NE(fresh, closed);
    CloseHandle(fresh);
  }
}

TEST(Handles, WithReuseAClosedValueNamesTheNextObjectAsOnWindows) {
#ifndef _WIN32
  win32ReuseHandleValues(1);
#endif
  HANDLE closed = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  ASSERT_TRUE(CloseHandle(closed));
  HANDLE next = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  EXPECT_EQ(next, closed);
  // So a use after close is no error: it reaches the other object.
  EXPECT_TRUE(SetEvent(closed));
  EXPECT_EQ(WaitForSingleObject(next, 0), WAIT_OBJECT_0);
  CloseHandle(next);
#ifndef _WIN32
  win32ReuseHandleValues(0);
#endif
}

#ifndef _WIN32
TEST(WaitForMultiple, AnAbandonedEntryIsReportedWithItsIndexOnce) {
  HANDLE events[2] = {CreateEventA(nullptr, FALSE, FALSE, nullptr),
                      CreateEventA(nullptr, FALSE, FALSE, nullptr)};
  ASSERT_TRUE(win32AbandonObject(events[1]));
  EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 0), WAIT_ABANDONED_0 + 1);
  EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 0), WAIT_TIMEOUT) << "the wait took the signal";
  SetEvent(events[1]);
  EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 0), WAIT_OBJECT_0 + 1) << "and the abandonment";
  for (HANDLE e : events) CloseHandle(e);
}
#endif

} // namespace
