// MATLAB's memory rules: what a call makes dies with it unless kept, and
// what a library keeps or leaves behind is accounted for.
#include <thread>

#include "testmex_fixture.h"

using mexhost::CallResult;
using mexhost::ClearReport;
using mexhost::Value;

TEST_F(TestMex, PersistentArraysAndBlocksOutliveTheCall) {
  ok("keep", {session.numbers(mxDOUBLE_CLASS, 1, 3, {4, 5, 6})});
  mexhost::LibraryMemory kept = memoryOf("testmex");
  EXPECT_EQ(kept.persistent.arrays, 1u);
  EXPECT_EQ(kept.persistent.blocks, 1u);
  EXPECT_EQ(kept.persistent.bytes, 3 * sizeof(double) + 16);
  EXPECT_TRUE(kept.leaked.empty());

  Value copy = value("kept");
  EXPECT_EQ(mxGetPr(copy.get())[2], 6.0);

  ok("drop");
  EXPECT_TRUE(memoryOf("testmex").persistent.empty());
  EXPECT_TRUE(session.clear("testmex").leaked.empty());
}

TEST_F(TestMex, ArraysNotMadePersistentAreFreedWhenTheCallEnds) {
  ok("keepForgotten", {session.number(42)});
  // Nothing survived the call, although the library still points at it.
  EXPECT_TRUE(session.memory().empty());
#if defined(CAMERA_WITH_ASAN)
  EXPECT_DEATH(run(1, "readForgotten"), "heap-use-after-free");
#endif
}

TEST_F(TestMex, AnErrorFreesWhatTheCallMade) {
  CallResult failed = run(1, "errorAfterAlloc");
  EXPECT_FALSE(failed.ok);
  EXPECT_EQ(failed.errorMessage, "failed after allocating");
  EXPECT_TRUE(session.memory().empty());
  EXPECT_TRUE(session.close().host.empty());
}

TEST_F(TestMex, LeftoversAreReportedAsLeakedWhenTheLibraryIsCleared) {
  ok("leak");
  mexhost::LibraryMemory held = memoryOf("testmex");
  EXPECT_EQ(held.persistent.arrays, 1u);
  EXPECT_EQ(held.persistent.blocks, 1u);

  ClearReport first = session.clear("testmex");
  EXPECT_EQ(first.leaked.arrays, 1u);
  EXPECT_EQ(first.leaked.blocks, 1u);
  EXPECT_EQ(first.leaked.bytes, 16u);

  // A second load that cleans up after itself is not blamed for the first.
  ok("keep", {session.number(1)});
  ok("drop");
  EXPECT_TRUE(session.clear("testmex").leaked.empty());

  mexhost::SessionReport report = session.close();
  EXPECT_EQ(report.leaked.arrays, 1u);
  EXPECT_EQ(report.leaked.blocks, 1u);
  ASSERT_EQ(report.libraries.size(), 1u);
  EXPECT_EQ(report.libraries[0].library, "testmex");
  EXPECT_FALSE(report.libraries[0].loaded);
}

TEST_F(TestMex, SessionEndTellsLibraryLeaksFromValuesTheHostHolds) {
  Value held = session.text("mine");
  ok("keep", {session.number(1)}); // no exit routine: left behind at the end
  mexhost::SessionReport report = session.close();
  EXPECT_EQ(report.leaked.arrays, 1u);
  EXPECT_EQ(report.leaked.blocks, 1u);
  EXPECT_EQ(report.host.arrays, 1u);
  EXPECT_EQ(report.host.blocks, 0u);
  // Values that outlive their session are inert.
  EXPECT_FALSE(held);
  EXPECT_EQ(held.text(), "");
}

TEST_F(TestMex, ReturningAPersistentArrayHandsItToTheCaller) {
  ok("keep", {session.number(11)});
  Value returned = value("returnKept");
  EXPECT_EQ(returned.scalar(), 11.0);
  // The caller owns it now; the library's own pointer no longer counts.
  EXPECT_EQ(memoryOf("testmex").persistent.arrays, 0u);
  EXPECT_EQ(memoryOf("testmex").persistent.blocks, 1u);
}

#if !defined(_WIN32)
// Misuse that would crash MATLAB stops the process with a message naming
// the call, rather than corrupting memory quietly.
using TestMexDeathTest = TestMex;

TEST_F(TestMexDeathTest, ReadingACellPastItsEndStopsTheProcess) {
  ::testing::FLAGS_gtest_death_test_style = "threadsafe";
  Value cell = value("frames", {session.number(1), session.number(1), session.number(2)});
  Value frames = session.copy(mxGetField(cell.get(), 0, "frames"));
  EXPECT_EQ(value("cell", {frames, session.number(1)}).classId(), mxUINT16_CLASS);
  EXPECT_DEATH(run(1, "cell", {frames, session.number(2)}),
               "mxGetCell: index 2 is outside the array's 2 elements");
}

TEST_F(TestMexDeathTest, UsingTheApiOffTheMainThreadStopsTheProcess) {
  ::testing::FLAGS_gtest_death_test_style = "threadsafe";
  EXPECT_DEATH(
      {
        std::thread worker([] { mexPrintf("from a worker\n"); });
        worker.join();
      },
      "mexPrintf called on a thread other than MATLAB's main thread");
}
#endif
