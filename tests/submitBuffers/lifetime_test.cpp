// Frames still queued on the driver keep the library and their buffers;
// nothing else does, and failures along the way strand nothing.
#include "submit_fixture.h"

#include <algorithm>

#ifndef _WIN32
#include <win32_test_control.h>
#endif

namespace {

using Test = SubmitBuffersTest;

TEST_F(Test, TheLibraryCannotBeClearedWhileFramesAreOut) {
  FrameCalls calls;
  mustSubmit({camera(200), recorder(calls), session.number(2)});
  mexhost::ClearReport report = session.clear("submitBuffers");
  EXPECT_FALSE(report.cleared);
  EXPECT_EQ(report.reason, "locked");
  produce(200, 1, 1);
  ASSERT_TRUE(waitForCalls(calls, 1));
  EXPECT_EQ(session.clear("submitBuffers").reason, "locked") << "one frame is still out";
  produce(200, 1, 2);
  ASSERT_TRUE(waitForCalls(calls, 2));
  report = session.clear("submitBuffers");
  EXPECT_TRUE(report.cleared) << report.reason;
  EXPECT_TRUE(report.exitRoutineRan);
  EXPECT_TRUE(report.leaked.empty()) << "arrays " << report.leaked.arrays << ", blocks "
                                     << report.leaked.blocks;

  // Loaded again, it starts afresh.
  FrameCalls again;
  session.clearCommandWindow();
  mustSubmit({camera(200, "again"), recorder(again), session.number(1)});
  EXPECT_EQ(printedCount("Detected new camera! Handle: 200\n"), 1u);
  produce(200, 1, 3);
  ASSERT_TRUE(waitForCalls(again, 1));
  EXPECT_EQ(again.tags, std::vector<std::string>{"again"});
}

TEST_F(Test, AFrameTheDriverRefusesIsNotWaitedFor) {
  FrameCalls calls;
  qcamSimInjectStatus("qcamQueueBuffer", QCAM_SIM_INVALID_VALUE, QCAM_SIM_ONCE);
  mustSubmit({camera(200), recorder(calls), session.number(2)});
  EXPECT_EQ(printedStarting("Queued a frame (address: "), 2u);
  EXPECT_EQ(logLines().size(), 2u) << "both frames are reported queued all the same";
  produce(200, 1, 1);
  ASSERT_TRUE(waitForCalls(calls, 1));
  EXPECT_TRUE(session.clear("submitBuffers").cleared);
}

TEST_F(Test, ALogThatCannotBeOpenedStopsNeitherTheCallNorTheCompletion) {
  std::filesystem::create_directory(callLogPath()); // a folder cannot be opened for appending
  FrameCalls calls;
  mustSubmit({camera(200), recorder(calls), session.number(1)});
  produce(200, 1, 1);
  EXPECT_TRUE(waitForCalls(calls, 1));
  EXPECT_TRUE(std::filesystem::is_directory(callLogPath()));
}

// The usual stream: a first call queues a few frames and each callback
// queues the next one. Every frame must come back in its own matrix, and
// what the library keeps must not grow with the frames that went by, nor
// hold on to the frames of the first call that are already back.
TEST_F(Test, AStreamThatRequeuesFromItsCallbackKeepsOnlyTheFramesOut) {
  const int frames = 1000, framesOut = 4;
  const mexhost::Value cameraObject = camera(200);
  const mexhost::Value one = session.number(1);
  std::vector<uint16_t> stamps;
  int requeues = frames - framesOut;
  mexhost::Value requeueing;
  requeueing = session.functionHandle([&](const std::vector<const mxArray *> &args, int) {
    stamps.push_back(static_cast<const uint16_t *>(mxGetData(mxGetField(args[1], 0, "frameData")))[0]);
    if (requeues-- > 0) {
      mexhost::CallResult result = session.call("submitBuffers", {cameraObject, requeueing, one}, 0);
      EXPECT_TRUE(result.ok) << result.errorMessage;
    }
    return std::vector<mexhost::Value>{};
  });
  mustSubmit({cameraObject, requeueing, session.number(framesOut)});
  mexhost::MemoryCount afterTen, most;
  for (int i = 1; i <= frames; ++i) {
    produce(200, 1, static_cast<uint64_t>(i));
    ASSERT_TRUE(
        session.runUntil([&] { return stamps.size() >= static_cast<size_t>(i); }, std::chrono::seconds(5)))
        << "frame " << i;
    const mexhost::MemoryCount kept = keptByLibrary();
    if (i == 10) afterTen = kept;
    if (i <= frames - framesOut) {
      most.arrays = std::max(most.arrays, kept.arrays);
      most.blocks = std::max(most.blocks, kept.blocks);
      most.bytes = std::max(most.bytes, kept.bytes);
    }
  }
  EXPECT_LE(most.arrays, afterTen.arrays);
  EXPECT_LE(most.blocks, afterTen.blocks);
  const size_t frameBytes = 8 * 6 * 2; // the first call's set is a few bytes larger, never a frame
  EXPECT_LT(most.bytes, afterTen.bytes + frameBytes);
  ASSERT_EQ(stamps.size(), static_cast<size_t>(frames));
  for (int i = 0; i < frames; ++i) ASSERT_EQ(stamps[i], i + 1) << "frame " << i;
  mexhost::ClearReport report = session.clear("submitBuffers");
  EXPECT_TRUE(report.cleared) << report.reason;
}

// mexLock and mexUnlock belong to calls of the library. A frame dispatched
// while a call is still queueing (MATLAB's command window may take messages
// while it prints) must not let the library go before the call's last
// frame is out.
TEST_F(Test, AFrameDispatchedWhileTheCallQueuesLeavesTheLibraryHeld) {
  FrameCalls calls;
  bool pumped = false;
  session.setPrintHook([&](const std::string &text) {
    if (pumped || text.rfind("Queued a frame (address: ", 0) != 0) return;
    pumped = true;
    qcamSimProduceImages(200, 1);
    ASSERT_EQ(qcamSimWaitForCompletions(1, 5000), 1);
    session.pumpMessages(); // the first frame's dispatch, inside the call
  });
  mustSubmit({camera(200), recorder(calls), session.number(2)});
  session.setPrintHook(nullptr);
  ASSERT_EQ(calls.count, 1);
  EXPECT_EQ(session.clear("submitBuffers").reason, "locked") << "the second frame is out";
  produce(200, 1, 2);
  ASSERT_TRUE(waitForCalls(calls, 2));
  EXPECT_EQ(calls.firstPixels, (std::vector<uint16_t>{1, 2}));
  EXPECT_TRUE(session.clear("submitBuffers").cleared);
}

// Nothing may change before the new frames exist: a call that runs out of
// memory leaves the record, its callback and what the library keeps as
// they were.
TEST_F(Test, ACallThatCannotMakeItsFramesChangesNothing) {
  FrameCalls first, second;
  const auto failingCall = [&] {
    session.setAllocationLimit(64 * 1024);
    const mexhost::CallResult result = submit({camera(200), recorder(second), session.number(100000)});
    session.setAllocationLimit(0);
    EXPECT_FALSE(result.ok);
  };
  const auto expectKept = [&](const mexhost::MemoryCount &expected) {
    const mexhost::MemoryCount kept = keptByLibrary();
    EXPECT_EQ(kept.arrays, expected.arrays);
    EXPECT_EQ(kept.blocks, expected.blocks);
    EXPECT_EQ(kept.bytes, expected.bytes);
  };
  // With every frame back...
  mustSubmit({camera(200), recorder(first), session.number(1)});
  produce(200, 1, 1);
  ASSERT_TRUE(waitForCalls(first, 1));
  const mexhost::MemoryCount idle = keptByLibrary();
  failingCall();
  expectKept(idle);
  // ...and with frames out, which still reach the callback they were queued for.
  mustSubmit({camera(200), recorder(first), session.number(2)});
  const mexhost::MemoryCount queued = keptByLibrary();
  failingCall();
  expectKept(queued);
  produce(200, 2, 3);
  ASSERT_TRUE(waitForCalls(first, 3));
  EXPECT_EQ(first.firstPixels, (std::vector<uint16_t>{1, 2, 3}));
  EXPECT_EQ(second.count, 0);
  EXPECT_TRUE(session.clear("submitBuffers").cleared);
}

// A clear forced while frames are out (as when MATLAB exits) cannot take
// them back from the driver, so their frames stay allocated; sets whose
// frames are all back are freed.
TEST_F(Test, AForcedClearKeepsOnlyTheFramesStillOut) {
  FrameCalls calls;
  mustSubmit({camera(200), recorder(calls), session.number(2)});
  produce(200, 2, 2);
  ASSERT_TRUE(waitForCalls(calls, 2));
  mustSubmit({camera(201), recorder(calls), session.number(3)});
  const mexhost::SessionReport report = session.close();
  EXPECT_EQ(report.leaked.arrays, 3u) << "the struct of each of the three frames out, and nothing else";
  EXPECT_LT(report.leaked.bytes, 4096u);
}

#ifndef _WIN32

TEST_F(Test, AFrameWhosePostIsRefusedCountsAsBack) {
  FrameCalls calls;
  mustSubmit({camera(200), recorder(calls), session.number(1)});
  produce(200, 1, 1);
  ASSERT_TRUE(waitForCalls(calls, 1));
  const mexhost::MemoryCount idle = keptByLibrary();
  mustSubmit({camera(200), recorder(calls), session.number(3)});
  win32FailNextCalls("PostThreadMessage", ERROR_NOT_ENOUGH_QUOTA, 1);
  produce(200, 1, 2); // its callback is lost, and only that
  produce(200, 2, 4);
  ASSERT_TRUE(waitForCalls(calls, 3));
  EXPECT_EQ(calls.firstPixels, (std::vector<uint16_t>{1, 3, 4}));
  const mexhost::MemoryCount after = keptByLibrary();
  EXPECT_EQ(after.arrays, idle.arrays) << "the set is freed";
  EXPECT_EQ(after.bytes, idle.bytes);
  const mexhost::ClearReport report = session.clear("submitBuffers");
  EXPECT_TRUE(report.cleared) << report.reason;
}

TEST_F(Test, ARefusedPostOfTheLastFrameOutLetsTheLibraryGoAtTheNextCall) {
  FrameCalls calls;
  mustSubmit({camera(200), recorder(calls), session.number(1)});
  win32FailNextCalls("PostThreadMessage", ERROR_NOT_ENOUGH_QUOTA, 1);
  produce(200, 1, 1);
  session.pumpMessages();
  EXPECT_EQ(calls.count, 0);
  // Nothing runs on MATLAB's thread to learn of it until the library is called.
  mustSubmit({camera(200), recorder(calls), session.number(0)});
  EXPECT_TRUE(session.clear("submitBuffers").cleared);
}

TEST_F(Test, WithoutAnAsyncMexObjectFramesAreLoggedButReachNoCallback) {
  FrameCalls calls;
  win32FailNextCalls("SetWindowsHookExA", ERROR_NOT_ENOUGH_MEMORY, 1);
  mustSubmit({camera(200), recorder(calls), session.number(2)});
  win32ClearFailures();
  const std::string &window = session.commandWindow();
  const size_t failure = window.find("Failed to initialize AsyncMex object (@");
  ASSERT_NE(failure, std::string::npos) << window;
  EXPECT_NE(window.find("): -3Frame Size -- ", failure), std::string::npos) << "no line end";
  EXPECT_EQ(countCalls("qcamQueueBuffer(200, ptr, ptr, 1, 0, 1)"), 1u) << "queued without a user pointer";
  produce(200, 2, 2);
  EXPECT_EQ(logLines().size(), 4u);
  session.pumpMessages();
  EXPECT_EQ(calls.count, 0);

  // Only a call of the library can find that those frames are back; this
  // one also binds the camera afresh.
  mustSubmit({camera(200), recorder(calls), session.number(1)});
  EXPECT_EQ(countCalls("qcamQueueBuffer(200, ptr, ptr, 1, ptr, 0)"), 1u);
  produce(200, 1, 3);
  ASSERT_TRUE(waitForCalls(calls, 1));
  mexhost::ClearReport report = session.clear("submitBuffers");
  EXPECT_TRUE(report.cleared) << report.reason;
  EXPECT_TRUE(report.leaked.empty());
}

TEST_F(Test, ClearingWaitsForNoThreadAndLeavesNoHook) {
  FrameCalls calls;
  const size_t hooksBefore = win32HookCount();
  mustSubmit({camera(200), recorder(calls), session.number(1)});
  mustSubmit({camera(201), recorder(calls), session.number(1)});
  produce(200, 1, 1);
  produce(201, 1, 2);
  ASSERT_TRUE(waitForCalls(calls, 2));
  EXPECT_TRUE(session.clear("submitBuffers").cleared);
  EXPECT_EQ(win32HookCount(), hooksBefore);
}

#endif

} // namespace
