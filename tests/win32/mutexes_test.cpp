// Mutexes: names shared across the process, ownership by a thread (counted,
// released only by the owner), abandonment when the owner ends, and names
// freed with the last handle. The camera libraries rely on all of it for the
// one lock they share through a name.
#include "win32_test_support.h"

#ifndef _WIN32
#include <win32_test_control.h>
#endif

#include <gtest/gtest.h>

#include <string>

using namespace win32test;

namespace {

// Names are the session's on Windows, so they carry the process id: two test
// runs under one Wine prefix never share a mutex.
std::string freshName(const char *what) {
  static int made = 0;
  return std::string("camera-win32-test-") + what + "-" + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(++made);
}

// Waits for a test thread; the thread's body lives on the caller's stack, so
// this never returns while it runs.
void join(HANDLE thread) {
  if (WaitForSingleObject(thread, 10000) != WAIT_OBJECT_0) {
    ADD_FAILURE() << "a test thread is still running after 10 s";
    WaitForSingleObject(thread, INFINITE);
  }
  CloseHandle(thread);
}

bool takes(DWORD result) { return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED; }

// What a wait by another thread returns; it gives back what it takes.
DWORD waitOnAnotherThread(HANDLE mutex, DWORD milliseconds) {
  DWORD result = WAIT_FAILED;
  std::function<void()> body = [&] {
    result = WaitForSingleObject(mutex, milliseconds);
    if (takes(result)) ReleaseMutex(mutex);
  };
  join(startThread(&body));
  return result;
}

// Runs body on a new thread that ends without releasing what it took.
void onAThreadThatEnds(std::function<void()> body) { join(startThread(&body)); }

TEST(Mutexes, AreMadeUnnamedOrNamedAndEachNameOnce) {
  SetLastError(1234);
  HANDLE unnamed = CreateMutexA(nullptr, FALSE, nullptr);
  ASSERT_NE(unnamed, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  HANDLE another = CreateMutexA(nullptr, FALSE, nullptr);
  EXPECT_NE(another, unnamed);
  ASSERT_EQ(WaitForSingleObject(unnamed, 0), WAIT_OBJECT_0);
  EXPECT_EQ(waitOnAnotherThread(another, 0), WAIT_OBJECT_0) << "unnamed mutexes are separate objects";
  ASSERT_TRUE(ReleaseMutex(unnamed));

  const std::string name = freshName("named");
  SetLastError(1234);
  HANDLE first = CreateMutexA(nullptr, FALSE, name.c_str());
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS)) << "a new name";
  HANDLE second = CreateMutexA(nullptr, TRUE, name.c_str());
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_NE(second, first) << "each call returns a handle of its own";
  SetLastError(0);
  EXPECT_FALSE(ReleaseMutex(second)) << "opening an existing mutex ignores the initial owner";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));

  // One object behind both handles: whoever owns it through one, owns it.
  ASSERT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
  EXPECT_EQ(waitOnAnotherThread(second, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(ReleaseMutex(second));
  EXPECT_EQ(waitOnAnotherThread(second, 0), WAIT_OBJECT_0);

  // Names are compared as they are written.
  std::string upper = name;
  for (char &c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  HANDLE otherCase = CreateMutexA(nullptr, TRUE, upper.c_str());
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(waitOnAnotherThread(first, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ReleaseMutex(otherCase));

  for (HANDLE h : {unnamed, another, first, second, otherCase}) EXPECT_TRUE(CloseHandle(h));
}

TEST(Mutexes, AnOwnerMadeAtCreationBlocksOthersUntilItReleases) {
  HANDLE mutex = CreateMutexA(nullptr, TRUE, freshName("owned").c_str());
  ASSERT_NE(mutex, nullptr);
  HANDLE waiting = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE got = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE letGo = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DWORD whileOwned = WAIT_FAILED, afterRelease = WAIT_FAILED;
  BOOL releasedByIt = FALSE;
  std::function<void()> body = [&] {
    whileOwned = WaitForSingleObject(mutex, 50);
    SetEvent(waiting);
    afterRelease = WaitForSingleObject(mutex, 10000);
    SetEvent(got);
    WaitForSingleObject(letGo, 10000);
    releasedByIt = ReleaseMutex(mutex);
  };
  HANDLE thread = startThread(&body);
  ASSERT_EQ(WaitForSingleObject(waiting, 10000), WAIT_OBJECT_0);
#ifndef _WIN32
  EXPECT_EQ(win32WaitForWaiterOn(mutex, 10000), 1) << "the thread is blocked, not merely late";
#endif
  EXPECT_TRUE(ReleaseMutex(mutex));
  ASSERT_EQ(WaitForSingleObject(got, 10000), WAIT_OBJECT_0);
  // The waiter owns it now; the former owner can neither take nor release it.
  EXPECT_EQ(WaitForSingleObject(mutex, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  SetLastError(0);
  EXPECT_FALSE(ReleaseMutex(mutex));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
  SetEvent(letGo);
  EXPECT_EQ(WaitForSingleObject(mutex, 10000), WAIT_OBJECT_0);
  join(thread);
  EXPECT_EQ(whileOwned, static_cast<DWORD>(WAIT_TIMEOUT)) << "a wait on an owned mutex times out";
  EXPECT_EQ(afterRelease, WAIT_OBJECT_0);
  EXPECT_TRUE(releasedByIt);
  EXPECT_TRUE(ReleaseMutex(mutex));
  for (HANDLE h : {mutex, waiting, got, letGo}) CloseHandle(h);
}

TEST(Mutexes, OwnershipIsCountedAndOnlyTheOwnerReleases) {
  HANDLE mutex = CreateMutexA(nullptr, TRUE, nullptr);
  ASSERT_NE(mutex, nullptr);
  EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0) << "the owner may wait again";
  HANDLE list[] = {mutex};
  EXPECT_EQ(WaitForMultipleObjects(1, list, FALSE, 0), WAIT_OBJECT_0);
  // Owned three times: it stays owned until the third release.
  for (int release = 1; release <= 2; ++release) {
    ASSERT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(waitOnAnotherThread(mutex, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "after release " << release;
  }
  BOOL releasedByOther = TRUE;
  DWORD otherError = 0;
  std::function<void()> other = [&] {
    releasedByOther = ReleaseMutex(mutex);
    otherError = GetLastError();
  };
  join(startThread(&other));
  EXPECT_FALSE(releasedByOther) << "a thread that does not own it cannot release it";
  EXPECT_EQ(otherError, static_cast<DWORD>(ERROR_NOT_OWNER));
  ASSERT_TRUE(ReleaseMutex(mutex));
  EXPECT_EQ(waitOnAnotherThread(mutex, 0), WAIT_OBJECT_0) << "free after the third release";

  SetLastError(0);
  EXPECT_FALSE(ReleaseMutex(mutex)) << "one release more than waits";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));

  HANDLE event = CreateEventA(nullptr, FALSE, TRUE, nullptr);
  SetLastError(0);
  EXPECT_FALSE(ReleaseMutex(event)) << "an event is no mutex";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  CloseHandle(event);
  CloseHandle(mutex);
}

TEST(Mutexes, AnOwnerThatEndsLeavesItAbandonedToTheNextWait) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, freshName("abandoned").c_str());
  ASSERT_NE(mutex, nullptr);
  onAThreadThatEnds([&] {
    WaitForSingleObject(mutex, 0);
    WaitForSingleObject(mutex, 0); // owned twice, released never
  });
  EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_ABANDONED);
  // The waiter owns it now, once, whatever the count of the one that ended.
  EXPECT_EQ(waitOnAnotherThread(mutex, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(ReleaseMutex(mutex));
  SetLastError(0);
  EXPECT_FALSE(ReleaseMutex(mutex));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
  EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0) << "the abandonment is reported once";
  EXPECT_TRUE(ReleaseMutex(mutex));

  // A thread already blocked when the owner ends gets it abandoned, and
  // leaves it abandoned in turn when it ends holding it.
  HANDLE owned = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE letGo = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::function<void()> owner = [&] {
    WaitForSingleObject(mutex, 0);
    SetEvent(owned);
    WaitForSingleObject(letGo, 10000);
  };
  HANDLE ownerThread = startThread(&owner);
  ASSERT_EQ(WaitForSingleObject(owned, 10000), WAIT_OBJECT_0);
  DWORD blockedGot = WAIT_FAILED;
  std::function<void()> blocked = [&] { blockedGot = WaitForSingleObject(mutex, 10000); };
  HANDLE blockedThread = startThread(&blocked);
#ifndef _WIN32
  EXPECT_EQ(win32WaitForWaiterOn(mutex, 10000), 1);
#endif
  SetEvent(letGo);
  join(ownerThread);
  join(blockedThread);
  EXPECT_EQ(blockedGot, WAIT_ABANDONED);
  EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_ABANDONED);
  EXPECT_TRUE(ReleaseMutex(mutex));
  for (HANDLE h : {mutex, owned, letGo}) CloseHandle(h);
}

TEST(Mutexes, WaitsOnSeveralObjectsReportAnAbandonedMutexByItsIndex) {
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
  HANDLE list[] = {event, mutex};
  onAThreadThatEnds([&] { WaitForSingleObject(mutex, 0); });
  EXPECT_EQ(WaitForMultipleObjects(2, list, FALSE, 0), WAIT_ABANDONED_0 + 1);
  EXPECT_TRUE(ReleaseMutex(mutex)) << "the wait made this thread the owner";

  // A lower signalled entry wins, and the abandonment waits for its turn.
  onAThreadThatEnds([&] { WaitForSingleObject(mutex, 0); });
  SetEvent(event);
  EXPECT_EQ(WaitForMultipleObjects(2, list, FALSE, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForMultipleObjects(2, list, FALSE, 0), WAIT_ABANDONED_0 + 1);
  EXPECT_TRUE(ReleaseMutex(mutex));

  // Waiting for all: every entry is taken, and the result says one was an
  // abandoned mutex (Windows does not say which index it then reports).
  onAThreadThatEnds([&] { WaitForSingleObject(mutex, 0); });
  SetEvent(event);
  DWORD all = WaitForMultipleObjects(2, list, TRUE, 0);
  EXPECT_GE(all, WAIT_ABANDONED_0);
  EXPECT_LT(all, WAIT_ABANDONED_0 + 2);
  EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(ReleaseMutex(mutex));

  // A message wait reports it the same way. Its thread has no queue, so
  // nothing but the mutex can end the wait.
  onAThreadThatEnds([&] { WaitForSingleObject(mutex, 0); });
  DWORD messageWait = WAIT_FAILED;
  onAThreadThatEnds([&] {
    messageWait = MsgWaitForMultipleObjects(2, list, FALSE, 10000, QS_ALLINPUT);
    if (messageWait == WAIT_OBJECT_0 + 1 || messageWait == WAIT_ABANDONED_0 + 1) ReleaseMutex(mutex);
  });
  EXPECT_EQ(messageWait, WAIT_ABANDONED_0 + 1);
  EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ReleaseMutex(mutex));
  CloseHandle(event);
  CloseHandle(mutex);
}

TEST(Mutexes, ANameIsFreeAgainOnceItsLastHandleIsClosed) {
  const std::string name = freshName("reused");
  HANDLE first = CreateMutexA(nullptr, FALSE, name.c_str());
  HANDLE second = CreateMutexA(nullptr, FALSE, name.c_str());
  ASSERT_NE(second, nullptr);
  ASSERT_TRUE(CloseHandle(first));
  SetLastError(0);
  HANDLE third = CreateMutexA(nullptr, FALSE, name.c_str());
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << "a handle is still open";
  ASSERT_TRUE(CloseHandle(second));
  ASSERT_TRUE(CloseHandle(third));

  // Closed while owned, the mutex is gone all the same: the name makes a new
  // one, free and unowned.
  HANDLE owned = CreateMutexA(nullptr, TRUE, name.c_str());
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_TRUE(CloseHandle(owned));
  SetLastError(1234);
  HANDLE fresh = CreateMutexA(nullptr, FALSE, name.c_str());
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(waitOnAnotherThread(fresh, 0), WAIT_OBJECT_0);
  SetLastError(0);
  EXPECT_FALSE(ReleaseMutex(fresh)) << "this thread owns nothing of the old one";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
  CloseHandle(fresh);
}

#ifndef _WIN32
TEST(StandInControls, AnAbandonedMutexIsNoLongerItsOwners) {
  HANDLE mutex = CreateMutexA(nullptr, TRUE, nullptr);
  ASSERT_TRUE(win32AbandonObject(mutex));
  SetLastError(0);
  EXPECT_FALSE(ReleaseMutex(mutex));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
  EXPECT_EQ(waitOnAnotherThread(mutex, 0), WAIT_ABANDONED);
  EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ReleaseMutex(mutex));
  CloseHandle(mutex);

  win32FailNextCalls("CreateMutexA", ERROR_NOT_ENOUGH_MEMORY, 1);
  SetLastError(0);
  EXPECT_EQ(CreateMutexA(nullptr, FALSE, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
}
#endif

} // namespace
