// Frames still queued on the driver keep the library and their buffers;
// nothing else does, and failures along the way strand nothing.
#include "submit_fixture.h"

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
  EXPECT_TRUE(report.leaked.empty()) << "arrays " << report.leaked.arrays << ", blocks " << report.leaked.blocks;

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

#ifndef _WIN32

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
