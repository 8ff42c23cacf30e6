// Orders of events that race, each repeated so that the scheduler tries many
// of them: clearing while a driver signals, closing while frames come,
// destroying right after a close that gave up waiting while the image that
// frees the thread arrives, a callback clearing its own registration while
// more signals come, clearing a library whose frames are still being
// completed, and two bridge libraries cleared in both orders while both
// drivers deliver. No test decides an order by sleeping: producers run on
// their own threads until told to stop.
#include "andor_sim_control.h"
#include "imaqkit_engine.h"
#include "imaqkit_test_control.h"
#include "matlab_session.h"
#include "process_counts.h"
#include "qcam_sim_control.h"
#include "scratch_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr auto patience = std::chrono::seconds(10);
constexpr uint32_t patienceMs = 10000;

// Calls produce() over and over on a thread of its own until destroyed.
class Producer {
public:
  explicit Producer(std::function<void()> produce)
      : thread_([this, produce] {
          while (!stop_.load()) produce();
        }) {}
  ~Producer() {
    stop_.store(true);
    thread_.join();
  }

private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class Interleavings : public ::testing::Test {
protected:
  void SetUp() override {
    scratch_.enter("interleavings");
    andorSimReset();
    qcamSimReset();
    ASSERT_EQ(andorSimAddCamera(3, 8, 4), ANDOR_STATUS_SUCCESS);
    ASSERT_EQ(qcamSimAddCamera(200, "QSIM0200", 8, 6, 16), 0);
    before_ = ProcessCounts::now();
  }

  void TearDown() override {
    andorSimReset();
    qcamSimReset();
    EXPECT_EQ(ProcessCounts::settled(before_.threads), before_);
    scratch_.leave();
  }

  static void startCamera(int32_t handle) {
    selectCamera(handle);
    ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
  }

  static mexhost::Value counter(mexhost::Session &session, std::function<void()> onCall) {
    return session.functionHandle([onCall](const std::vector<const mxArray *> &, int) {
      onCall();
      return std::vector<mexhost::Value>{};
    });
  }

  void addMexPath(mexhost::Session &session) const { scratch_.addLibraryPath(session); }

  ScratchFolder scratch_;
  ProcessCounts before_;
};

TEST_F(Interleavings, ClearWhileTheDriverSignals) {
  startCamera(3);
  for (int round = 0; round < 30; ++round) {
    mexhost::Session session;
    addMexPath(session);
    int calls = 0;
    mexhost::Value object = session.object("AndorCamera", {{"cameraHandle", session.number(3)}});
    ASSERT_TRUE(session.call("watchDriverSignal", {object, counter(session, [&] { ++calls; })}, 0).ok);
    {
      Producer producer([] { andorSimProduceImages(3, 1); });
      ASSERT_TRUE(session.runUntil([&] { return calls >= 2; }, patience));
      // Either the registration or the whole library goes while signals come.
      if (round % 2 == 0) {
        ASSERT_TRUE(session.call("watchDriverSignal", {object}, 0).ok);
      }
      ASSERT_TRUE(session.clear("watchDriverSignal").cleared);
    }
    const int after = calls;
    session.pumpMessages();
    EXPECT_EQ(calls, after) << "a callback ran after its library was cleared";
    EXPECT_TRUE(session.close().leaked.empty());
  }
}

TEST_F(Interleavings, ACallbackClearsItsOwnRegistrationWhileSignalsCome) {
  startCamera(3);
  for (int round = 0; round < 30; ++round) {
    mexhost::Session session;
    addMexPath(session);
    int calls = 0;
    mexhost::Value object = session.object("AndorCamera", {{"cameraHandle", session.number(3)}});
    mexhost::Value selfClearing = counter(session, [&] {
      if (++calls == 1) {
        EXPECT_TRUE(session.call("watchDriverSignal", {object}, 0).ok);
      }
    });
    ASSERT_TRUE(session.call("watchDriverSignal", {object, selfClearing}, 0).ok);
    {
      Producer producer([] { andorSimProduceImages(3, 1); });
      ASSERT_TRUE(session.runUntil([&] { return calls >= 1; }, patience));
    }
    session.pumpMessages();
    EXPECT_EQ(calls, 1) << "the callback ran again after clearing itself";
    ASSERT_TRUE(session.clear("watchDriverSignal").cleared);
    EXPECT_TRUE(session.close().leaked.empty());
  }
}

TEST_F(Interleavings, ALibraryClearedWhileItsFramesAreBeingCompleted) {
  for (int round = 0; round < 30; ++round) {
    mexhost::Session session;
    addMexPath(session);
    int calls = 0;
    mexhost::Value object = session.object("QCamCamera", {{"cameraHandle", session.int32(200)}});
    ASSERT_TRUE(
        session.call("submitBuffers", {object, counter(session, [&] { ++calls; }), session.number(4)}, 0).ok);
    {
      Producer producer([] { qcamSimProduceImages(200, 1); });
      // Frames out keep the library: a clear is refused until the last is back.
      ASSERT_TRUE(session.runUntil([&] { return session.clear("submitBuffers").cleared; }, patience));
    }
    EXPECT_EQ(calls, 4) << "every queued frame reached MATLAB before the library went";
    EXPECT_EQ(qcamSimQueuedFrames(200), 0);
    EXPECT_TRUE(session.close().leaked.empty());
  }
  QCamSimCounters counters{};
  qcamSimGetCounters(200, &counters);
  EXPECT_EQ(counters.completed, 30u * 4u);
}

TEST_F(Interleavings, TwoBridgeLibrariesClearedInBothOrdersWhileBothDriversDeliver) {
  startCamera(3);
  for (int round = 0; round < 20; ++round) {
    mexhost::Session session;
    addMexPath(session);
    int events = 0, frames = 0;
    mexhost::Value andor = session.object("AndorCamera", {{"cameraHandle", session.number(3)}});
    mexhost::Value qcam = session.object("QCamCamera", {{"cameraHandle", session.int32(200)}});
    ASSERT_TRUE(session.call("watchDriverSignal", {andor, counter(session, [&] { ++events; })}, 0).ok);
    ASSERT_TRUE(
        session.call("submitBuffers", {qcam, counter(session, [&] { ++frames; }), session.number(3)}, 0).ok);
    {
      Producer signals([] { andorSimProduceImages(3, 1); });
      Producer images([] { qcamSimProduceImages(200, 1); });
      ASSERT_TRUE(session.runUntil([&] { return events >= 1 && frames >= 3; }, patience))
          << events << " " << frames;
      const char *first = round % 2 ? "submitBuffers" : "watchDriverSignal";
      const char *second = round % 2 ? "watchDriverSignal" : "submitBuffers";
      ASSERT_TRUE(session.runUntil([&] { return session.clear(first).cleared; }, patience)) << first;
      ASSERT_TRUE(session.runUntil([&] { return session.clear(second).cleared; }, patience)) << second;
    }
    session.pumpMessages();
    EXPECT_EQ(frames, 3);
    EXPECT_TRUE(session.close().leaked.empty());
  }
}

TEST_F(Interleavings, CloseWhileAcquiring) {
  ASSERT_EQ(andorSimAddCamera(100, 16, 8), ANDOR_STATUS_SUCCESS);
  andorSimSetFramePeriod(100, 0.0005);
  andorSimSetFreeRunning(1);
  const long blocks = imaqkit::test::liveBlocks();
  imaqkit::AdaptorLibrary library(CORVID_FILE);
  ASSERT_EQ(library.enumerate().size(), 2u);
  for (int round = 0; round < 20; ++round) {
    std::unique_ptr<imaqkit::VideoInput> vid = library.createVideoInput(1);
    vid->set("FramesPerTrigger", INFINITY);
    vid->open();
    vid->start();
    ASSERT_TRUE(vid->waitForFrames(size_t(1 + round % 4), patience));
    if (round % 2) vid->stop();
    vid->close();
  }
  EXPECT_EQ(imaqkit::test::liveBlocks(), blocks);
}

TEST_F(Interleavings, DestroyRightAfterACloseThatGaveUpWhileTheImageArrives) {
  ASSERT_EQ(andorSimAddCamera(100, 16, 8), ANDOR_STATUS_SUCCESS);
  for (int round = 0; round < 3; ++round) {
    auto library = std::make_unique<imaqkit::AdaptorLibrary>(CORVID_FILE);
    ASSERT_EQ(library->enumerate().size(), 2u);
    std::unique_ptr<imaqkit::VideoInput> vid = library->createVideoInput(1);
    vid->set("FramesPerTrigger", 2);
    vid->open();
    vid->start();
    ASSERT_EQ(andorSimWaitForWaiters(1, patienceMs), 1);
    vid->close(); // gives up waiting for the thread, which still waits for an image
    std::atomic<bool> produced{false};
    std::thread image([&] {
      // The image that lets the thread go races the destruction below.
      andorSimProduceImages(100, 1);
      produced.store(true);
    });
    vid.reset();
    library.reset();
    image.join();
    EXPECT_TRUE(produced.load());
  }
}

} // namespace
