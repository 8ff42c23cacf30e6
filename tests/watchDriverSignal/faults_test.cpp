// Bad input, table limits, callbacks that re-enter, and the failures of
// threads, waits and the bridge: none may crash, leak or call freed memory.
#include "watch_fixture.h"

#ifndef _WIN32
#include <win32_test_control.h>
#endif

namespace {

using Test = WatchDriverSignalTest;

#ifndef _WIN32
// Makes the camera's watcher, blocked in its wait, take one image and post
// it; then holds it before it waits again. So a test knows exactly what it
// has done and can line up what it will find when it waits.
void holdWatcherAfterOneImage(int32_t handle) {
  AndorSimCameraState camera{};
  andorSimGetCamera(handle, &camera);
  ASSERT_EQ(win32WaitForWaiterOn(camera.event, 5000), 1);
  win32HoldWaitsOn(camera.event);
  andorSimProduceImages(handle, 1);
}

// Holds the watcher after one image, in its next wait, and gives that wait's
// list: the stop event, then the data event.
void holdWatcherInItsNextWait(int32_t handle, HANDLE waitList[2]) {
  holdWatcherAfterOneImage(handle);
  HANDLE handles[MAXIMUM_WAIT_OBJECTS];
  DWORD count = 0;
  ASSERT_EQ(win32WaitForHeldWait(5000, handles, &count), 1);
  ASSERT_EQ(count, 2u);
  waitList[0] = handles[0];
  waitList[1] = handles[1];
}
#endif

TEST_F(Test, BadArgumentsAreRefusedAndChangeNothing) {
  CallbackCalls calls;
  struct Case {
    std::vector<mexhost::Value> inputs;
    const char *message;
  };
  const Case cases[] = {
      {{}, "watchDriverSignal: the first argument must be a camera object with a cameraHandle property."},
      {{session.object("AndorCamera", {{"expectedM", session.number(4)}}), recorder(calls)},
       "watchDriverSignal: the first argument must be a camera object with a numeric scalar cameraHandle "
       "property."},
      {{session.number(3), recorder(calls)},
       "watchDriverSignal: the first argument must be a camera object with a numeric scalar cameraHandle "
       "property."},
      {{session.object("AndorCamera", {{"cameraHandle", session.text("3")}})},
       "watchDriverSignal: the first argument must be a camera object with a numeric scalar cameraHandle "
       "property."},
      {{camera(3), session.text("onEvent")},
       "watchDriverSignal: the second argument must be a function handle, or empty to clear."},
      {{camera(3), session.number(1)},
       "watchDriverSignal: the second argument must be a function handle, or empty to clear."},
  };
  for (const Case &c : cases) {
    mexhost::CallResult result = watch(c.inputs);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorMessage, c.message);
  }
  EXPECT_TRUE(keptByLibrary().empty()) << "nothing was registered or made";
  EXPECT_TRUE(callLog().empty());
}

TEST_F(Test, AHundredAndFirstCameraIsRefused) {
  CallbackCalls calls;
  mexhost::Value callback = recorder(calls);
  for (int handle = 1000; handle < 1100; ++handle) mustWatch({camera(handle), callback});
  const mexhost::MemoryCount full = keptByLibrary();
  mexhost::CallResult result = watch({camera(2000), callback});
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.errorMessage, "watchDriverSignal: callbacks are registered for 100 cameras already; clear "
                                 "the library to register others.");
  EXPECT_EQ(keptByLibrary().arrays, full.arrays);
  mustWatch({camera(2000)});           // clearing an unknown camera is still fine
  mustWatch({camera(1050), callback}); // and so is re-registering a known one
}

TEST_F(Test, ACallbackMayClearItsOwnCamera) {
  int calls = 0;
  mexhost::Value cameraObject = camera(3);
  mustWatch({cameraObject, reentering(calls, {cameraObject})});
  andorSimProduceImages(3, 1);
  ASSERT_TRUE(session.runUntil([&] { return calls == 1; }, std::chrono::seconds(5)));
  andorSimProduceImages(3, 1);
  session.pumpMessages();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(driverEvent(3), nullptr);
}

TEST_F(Test, ACallbackMayRegisterAnotherForItsOwnCamera) {
  int firstCalls = 0;
  CallbackCalls second;
  mexhost::Value cameraObject = camera(3);
  mustWatch({cameraObject, reentering(firstCalls, {cameraObject, recorder(second)})});
  andorSimProduceImages(3, 1);
  ASSERT_TRUE(session.runUntil([&] { return firstCalls == 1; }, std::chrono::seconds(5)));
  andorSimProduceImages(3, 1);
  ASSERT_TRUE(waitForCalls(second, 1));
  EXPECT_EQ(firstCalls, 1);
}

TEST_F(Test, ACallbackThatClearsTheLibraryEndsEveryRegistrationAndTheHostGoesOn) {
  enum class Clear { library, all, libraryThenError };
  for (Clear how : {Clear::library, Clear::all, Clear::libraryThenError}) {
    SCOPED_TRACE(static_cast<int>(how));
#ifndef _WIN32
    const size_t threadsBefore = win32RunningThreadCount();
    const size_t hooksBefore = win32HookCount();
#endif
    session.clearCommandWindow();
    int calls = 0;
    mexhost::ClearReport report;
    mexhost::Value clearing = session.functionHandle([&](const std::vector<const mxArray *> &, int) {
      ++calls;
      if (how == Clear::all) {
        for (const mexhost::ClearReport &each : session.clearAll())
          if (each.library == "watchDriverSignal") report = each;
      } else {
        report = session.clear("watchDriverSignal");
      }
      if (how == Clear::libraryThenError) mexhost::raiseError("Library gone");
      return std::vector<mexhost::Value>{};
    });
    CallbackCalls other;
    mustWatch({camera(3), clearing});
    mustWatch({camera(101), recorder(other)});
    andorSimProduceImages(3, 1);
    ASSERT_TRUE(waitForQueuedMessage());
#ifndef _WIN32
    // Camera 101's event waits behind it.
    holdWatcherAfterOneImage(101);
    ASSERT_EQ(win32WaitForHeldWait(5000, nullptr, nullptr), 1);
    win32ReleaseHeldWaits();
#endif
    session.pumpMessages();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(report.cleared) << report.reason;
    EXPECT_TRUE(report.exitRoutineRan);
    EXPECT_TRUE(report.leaked.empty())
        << "arrays " << report.leaked.arrays << ", blocks " << report.leaked.blocks;
    EXPECT_EQ(other.count, 0);
    EXPECT_EQ(session.commandWindow(), how == Clear::libraryThenError
                                           ? "ERROR in event callback of AndorCamera object: Library gone\n"
                                           : "");
    EXPECT_EQ(driverEvent(3), nullptr);
    EXPECT_EQ(driverEvent(101), nullptr);
    andorSimProduceImages(3, 1);
    andorSimProduceImages(101, 1);
    EXPECT_EQ(session.pumpMessages(), 0u) << "nothing is left to post";
#ifndef _WIN32
    EXPECT_EQ(win32RunningThreadCount(), threadsBefore);
    EXPECT_EQ(win32HookCount(), hooksBefore);
#endif

    // Loaded again, it starts with no record.
    CallbackCalls again;
    mustWatch({camera(3, "again"), recorder(again)});
    andorSimProduceImages(3, 1);
    ASSERT_TRUE(waitForCalls(again, 1));
    EXPECT_EQ(again.tags, std::vector<std::string>{"again"});
    ASSERT_TRUE(session.clear("watchDriverSignal").cleared);
  }
}

#ifndef _WIN32

TEST_F(Test, SignalsThatArriveBeforeTheWatcherWaitsAgainMakeOneCall) {
  CallbackCalls calls;
  mustWatch({camera(3), recorder(calls)});
  holdWatcherAfterOneImage(3); // the watcher posts, then is held before its next wait
  ASSERT_EQ(win32WaitForHeldWait(5000, nullptr, nullptr), 1);
  andorSimProduceImages(3, 3);
  win32ReleaseHeldWaits();
  // Blocked in its wait again: it has gone round once more.
  ASSERT_EQ(win32WaitForWaiterOn(driverEvent(3), 5000), 1);
  session.pumpMessages();
  EXPECT_EQ(calls.count, 2) << "one for the first image, one for the three";
}

TEST_F(Test, AStopThatComesWithDataPostsNothing) {
  CallbackCalls calls;
  const size_t threadsBefore = win32RunningThreadCount();
  mustWatch({camera(3), recorder(calls)});
  HANDLE waitList[2];
  ASSERT_NO_FATAL_FAILURE(holdWatcherInItsNextWait(3, waitList));
  session.pumpMessages(); // the call for the image before the stop
  andorSimProduceImages(3, 1);
  SetEvent(waitList[0]); // the stop event, entry 0
  win32ReleaseHeldWaits();
  ASSERT_EQ(win32WaitForRunningThreads(threadsBefore, 5000), 1) << "the watcher ended";
  session.pumpMessages();
  EXPECT_EQ(calls.count, 1) << "nothing for the image that came with the stop";
  // The record's watcher has ended by itself; clearing it is still safe.
  win32ClearMessageBoxes();
  mustWatch({camera(3)});
  EXPECT_EQ(win32MessageBoxCount(), 0u);
}

TEST_F(Test, AFailedWaitEndsTheWatcherInsteadOfSpinning) {
  const size_t threadsBefore = win32RunningThreadCount();
  CallbackCalls calls;
  win32FailNextCalls("WaitForMultipleObjects", ERROR_INVALID_HANDLE, 1);
  mustWatch({camera(3), recorder(calls)});
  EXPECT_EQ(win32WaitForRunningThreads(threadsBefore, 5000), 1);
  win32ClearFailures();
  mustWatch({camera(3)});
  CallbackCalls again;
  mustWatch({camera(3), recorder(again)}); // a fresh watcher works
  andorSimProduceImages(3, 1);
  EXPECT_TRUE(waitForCalls(again, 1));
}

TEST_F(Test, WithoutAnAsyncMexObjectTheCameraIsWatchedButNothingIsPosted) {
  CallbackCalls calls;
  win32FailNextCalls("SetWindowsHookExA", ERROR_NOT_ENOUGH_MEMORY, 1);
  mustWatch({camera(3), recorder(calls)});
  win32ClearFailures();
  EXPECT_EQ(session.commandWindow().rfind("Failed to initialize AsyncMex object (@", 0), 0u)
      << session.commandWindow();
  EXPECT_EQ(session.commandWindow().substr(session.commandWindow().size() - 5), "): -3") << "no line end";
  andorSimProduceImages(3, 2);
  mustWatch({camera(3), recorder(calls)}); // re-registering keeps the record without an object
  andorSimProduceImages(3, 1);
  mustWatch({camera(3)});
  session.pumpMessages();
  EXPECT_EQ(calls.count, 0);
}

TEST_F(Test, AWatcherThatOutlivesItsStopIsNotCutShortByReuse) {
  CallbackCalls first, second;
  const size_t threadsBefore = win32RunningThreadCount();
  mustWatch({camera(3), recorder(first)});
  holdWatcherAfterOneImage(3);
  ASSERT_EQ(win32WaitForHeldWait(5000, nullptr, nullptr), 1);
  session.pumpMessages();
  win32ClearMessageBoxes();
  // The held watcher cannot end within the 2000 ms the clear waits.
  mustWatch({camera(3)});
  ASSERT_EQ(win32MessageBoxCount(), 1u);
  char text[128];
  win32MessageBoxText(0, text, sizeof text);
  EXPECT_STREQ(text, "Failed to process shutdown an asynhchronous event handling thread.");
  mustWatch({camera(3), recorder(second)});
  win32ReleaseHeldWaits(); // the old watcher ends now, on its own memory
  ASSERT_EQ(win32WaitForRunningThreads(threadsBefore + 1, 5000), 1);
  andorSimProduceImages(3, 1);
  ASSERT_TRUE(waitForCalls(second, 1));
  session.pumpMessages();
  EXPECT_EQ(first.count, 1) << "only its image from before the clear";
  mustWatch({camera(3)}); // frees what the old watcher left
}

TEST_F(Test, ClearingTheLibraryWaitsForAWatcherThatOutlivesItsStop) {
  CallbackCalls calls;
  mustWatch({camera(3), recorder(calls)});
  holdWatcherAfterOneImage(3);
  ASSERT_EQ(win32WaitForHeldWait(5000, nullptr, nullptr), 1);
  // The box stands for a user who closes it; the watcher then gets going.
  win32SetMessageBoxHandler([](const char *, const char *, void *) { win32ReleaseHeldWaits(); }, nullptr);
  mexhost::ClearReport report = session.clear("watchDriverSignal");
  win32SetMessageBoxHandler(nullptr, nullptr);
  EXPECT_TRUE(report.cleared);
  EXPECT_TRUE(report.leaked.empty());
  EXPECT_EQ(win32RunningThreadCount(), 0u);
}

TEST_F(Test, AWatcherThatEndedByItselfLeavesItsEventsToTheClear) {
  // Had the watcher closed its events as it ended, camera 101, registered
  // next, would get their values, and clearing camera 3 would stop it.
  CallbackCalls three, other;
  const size_t threadsBefore = win32RunningThreadCount();
  mustWatch({camera(101), recorder(other)});
  mustWatch({camera(101)});
  win32FailNextCalls("WaitForMultipleObjects", ERROR_INVALID_HANDLE, 1);
  mustWatch({camera(3), recorder(three)});
  ASSERT_EQ(win32WaitForRunningThreads(threadsBefore, 5000), 1) << "camera 3's watcher ended by itself";
  win32ClearFailures();
  mustWatch({camera(101), recorder(other)});
  mustWatch({camera(3)});
  andorSimProduceImages(101, 1);
  EXPECT_TRUE(waitForCalls(other, 1)) << "camera 101 is still watched";
}

TEST_F(Test, AnAbandonedWaitShowsItsBoxAndTheWatcherEndsGivingBackTheEvent) {
  for (DWORD entry : {0u, 1u}) { // the stop event, the data event
    SCOPED_TRACE(entry);
    CallbackCalls calls;
    const size_t threadsBefore = win32RunningThreadCount();
    mustWatch({camera(3), recorder(calls)});
    HANDLE waitList[2];
    ASSERT_NO_FATAL_FAILURE(holdWatcherInItsNextWait(3, waitList));
    session.pumpMessages(); // the call for the image before
    win32ClearMessageBoxes();
    ASSERT_TRUE(win32AbandonObject(waitList[entry]));
    win32ReleaseHeldWaits();
    ASSERT_EQ(win32WaitForRunningThreads(threadsBefore, 5000), 1) << "the watcher ended";
    ASSERT_EQ(win32MessageBoxCount(), 1u);
    char text[128];
    win32MessageBoxText(0, text, sizeof text);
    EXPECT_STREQ(text,
                 "Asynchronous event handling thread detected an abnormal state and is being terminated.");
    EXPECT_EQ(driverEvent(3), nullptr) << "the watcher took its event back from the driver";
    andorSimProduceImages(3, 1);
    session.pumpMessages();
    EXPECT_EQ(calls.count, 1) << "nothing after the image before";
    mustWatch({camera(3)});
    EXPECT_EQ(win32MessageBoxCount(), 1u) << "the clear found the watcher ended";
  }
}

#endif

} // namespace
