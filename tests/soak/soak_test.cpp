// Each library loaded, used, cleared and unloaded a thousand times. The
// process must end each soak with the threads, handles and hooks it began
// with (after a first cycle, which may make what lives as long as the
// process), the host must find nothing kept or leaked by any library, and
// no message may reach an object already freed (AddressSanitizer watches).
// Every frame made is delivered: the counts are compared at the end.
#include "andor_sim_control.h"
#include "imaqkit_engine.h"
#include "imaqkit_test_control.h"
#include "matlab_session.h"
#include "process_counts.h"
#include "qcam_sim_control.h"
#include "scratch_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr auto patience = std::chrono::seconds(10);

int cycles() {
  const char *text = std::getenv("SOAK_CYCLES");
  const int count = text != nullptr ? std::atoi(text) : 0;
  return count > 0 ? count : 1000;
}

class Soak : public ::testing::Test {
protected:
  void SetUp() override {
    scratch_.enter("soak");
    andorSimReset();
    qcamSimReset();
  }

  void TearDown() override {
    andorSimReset();
    qcamSimReset();
    scratch_.leave();
  }

  // Runs cycle() the given number of times; the first is a warm-up that
  // the process counts start after.
  template <typename Cycle> void soak(const char *library, mexhost::Session *session, Cycle cycle) {
    cycle(0);
    const ProcessCounts before = ProcessCounts::settled(ProcessCounts::now().threads);
    const int total = cycles();
    for (int i = 1; i < total && !HasFatalFailure(); ++i) cycle(i);
    const ProcessCounts after = ProcessCounts::settled(before.threads);
    EXPECT_EQ(after, before) << library << " grew over " << total << " cycles";
    size_t leakedArrays = 0, leakedBlocks = 0, keptBlocks = 0;
    if (session != nullptr) {
      for (const mexhost::LibraryMemory &memory : session->memory()) {
        leakedArrays += memory.leaked.arrays;
        leakedBlocks += memory.leaked.blocks;
        keptBlocks += memory.loaded ? memory.persistent.blocks + memory.persistent.arrays : 0;
      }
      EXPECT_EQ(leakedArrays + leakedBlocks, 0u) << library << " left memory behind at a clear";
      EXPECT_EQ(keptBlocks, 0u) << library << " still loaded";
    }
    std::printf("soak %s: %d cycles; handles %zu -> %zu, threads %zu -> %zu, hooks %zu -> %zu; "
                "leaked arrays %zu, blocks %zu\n",
                library, total, before.handles, after.handles, before.threads, after.threads, before.hooks,
                after.hooks, leakedArrays, leakedBlocks);
  }

  ScratchFolder scratch_;
};

TEST_F(Soak, WatchDriverSignalRegistersSignalsAndClears) {
  ASSERT_EQ(andorSimAddCamera(3, 8, 4), ANDOR_STATUS_SUCCESS);
  selectCamera(3);
  ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
  mexhost::Session session;
  scratch_.addLibraryPath(session);
  int calls = 0;
  mexhost::Value object = session.object("AndorCamera", {{"cameraHandle", session.number(3)}});
  mexhost::Value callback = session.functionHandle([&calls](const std::vector<const mxArray *> &, int) {
    ++calls;
    return std::vector<mexhost::Value>{};
  });
  soak("watchDriverSignal", &session, [&](int i) {
    ASSERT_TRUE(session.call("watchDriverSignal", {object, callback}, 0).ok);
    ASSERT_EQ(andorSimProduceImages(3, 1), 1);
    ASSERT_TRUE(session.runUntil([&] { return calls > i; }, patience)) << "cycle " << i;
    ASSERT_TRUE(session.call("watchDriverSignal", {object}, 0).ok);
    ASSERT_TRUE(session.clear("watchDriverSignal").cleared);
  });
  EXPECT_EQ(calls, cycles()) << "one callback per signal, none lost";
  EXPECT_TRUE(session.close().leaked.empty());
}

TEST_F(Soak, SubmitBuffersQueuesCompletesAndClears) {
  ASSERT_EQ(qcamSimAddCamera(200, "QSIM0200", 8, 6, 16), 0);
  mexhost::Session session;
  scratch_.addLibraryPath(session);
  int calls = 0;
  mexhost::Value object = session.object("QCamCamera", {{"cameraHandle", session.int32(200)}});
  mexhost::Value callback = session.functionHandle([&calls](const std::vector<const mxArray *> &, int) {
    ++calls;
    return std::vector<mexhost::Value>{};
  });
  soak("submitBuffers", &session, [&](int i) {
    ASSERT_TRUE(session.call("submitBuffers", {object, callback, session.number(2)}, 0).ok);
    ASSERT_EQ(qcamSimProduceImages(200, 2), 2);
    ASSERT_TRUE(session.runUntil([&] { return calls >= 2 * (i + 1); }, patience)) << "cycle " << i;
    // Completion routines may still be returning on the driver's thread.
    ASSERT_EQ(qcamSimWaitForCompletions(uint64_t(2 * (i + 1)), 5000), 1);
    ASSERT_TRUE(session.clear("submitBuffers").cleared) << "cycle " << i;
  });
  EXPECT_EQ(calls, 2 * cycles()) << "one callback per frame, none lost";
  QCamSimCounters counters{};
  qcamSimGetCounters(200, &counters);
  EXPECT_EQ(counters.lost, 0u);
  EXPECT_EQ(counters.failed, 0u);
  EXPECT_TRUE(session.close().leaked.empty());
}

TEST_F(Soak, TakeEarliestReadsAndClears) {
  ASSERT_EQ(andorSimAddCamera(5, 8, 4), ANDOR_STATUS_SUCCESS);
  selectCamera(5);
  ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
  mexhost::Session session;
  scratch_.addLibraryPath(session);
  mexhost::Value object =
      session.object("AndorCamera", {{"expectedM", session.number(4)}, {"expectedN", session.number(8)}});
  soak("takeEarliest", &session, [&](int i) {
    ASSERT_EQ(andorSimProduceImages(5, 1), 1);
    mexhost::CallResult result = session.call("takeEarliest", {object, session.number(i % 2 ? 32 : 16)}, 1);
    ASSERT_TRUE(result.ok) << result.errorMessage;
    ASSERT_EQ(result.outputs.at(0).scalar(), i + 1) << "the image stamped with its number";
    ASSERT_TRUE(session.clear("takeEarliest").cleared);
  });
  AndorSimCameraState state{};
  andorSimGetCamera(5, &state);
  EXPECT_EQ(state.counters.read, uint64_t(cycles()));
  EXPECT_EQ(state.counters.lost, 0u);
  EXPECT_TRUE(session.close().leaked.empty());
}

TEST_F(Soak, SnapPictureGrabsAndClears) {
  ASSERT_EQ(qcamSimAddCamera(201, "QSIM0201", 8, 6, 8), 0);
  mexhost::Session session;
  scratch_.addLibraryPath(session);
  mexhost::Value object = session.object("QCamCamera", {{"cameraHandle", session.int32(201)}});
  soak("snapPicture", &session, [&](int) {
    mexhost::CallResult result = session.call("snapPicture", {object}, 1);
    ASSERT_TRUE(result.ok) << result.errorMessage;
    ASSERT_EQ(result.outputs.at(0).elements(), 48u);
    ASSERT_TRUE(session.clear("snapPicture").cleared);
  });
  QCamSimCounters counters{};
  qcamSimGetCounters(201, &counters);
  EXPECT_EQ(counters.grabbed, uint64_t(cycles()));
  EXPECT_TRUE(session.close().leaked.empty());
}

TEST_F(Soak, CorvidLoadsAcquiresAndUnloads) {
  ASSERT_EQ(andorSimAddCamera(100, 16, 8), ANDOR_STATUS_SUCCESS);
  andorSimSetFramePeriod(100, 0.0005);
  andorSimSetFreeRunning(1);
  const long blocks = imaqkit::test::liveBlocks();
  size_t frames = 0;
  soak("corvid", nullptr, [&](int i) {
    imaqkit::AdaptorLibrary library(CORVID_FILE);
    ASSERT_EQ(library.enumerate().size(), 1u);
    std::unique_ptr<imaqkit::VideoInput> vid = library.createVideoInput(0);
    vid->set("FramesPerTrigger", 2);
    vid->open();
    vid->start();
    ASSERT_TRUE(vid->waitUntilStopped(patience)) << "cycle " << i;
    frames += vid->getFrames().size();
    vid->close();
  });
  EXPECT_EQ(frames, 2u * size_t(cycles())) << "every frame asked for was delivered";
  EXPECT_EQ(imaqkit::test::liveBlocks(), blocks);
  EXPECT_EQ(imaqkit::test::liveManagers(), 0);
}

} // namespace
