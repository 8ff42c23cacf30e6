// An acquisition thread that outlives closeCamera: a close while the thread
// waits for an image that does not come returns after its bound, and the
// object is not freed under the thread, whatever happens next.
#include "corvid_fixture.h"

#include "corvidAdaptor.h"

using std::string;
using std::vector;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

class CorvidLifetime : public Corvid {
protected:
  // An acquisition whose thread waits in the driver for an image.
  std::unique_ptr<imaqkit::VideoInput> waitingAcquisition() {
    auto vid = open(0);
    vid->set("FramesPerTrigger", 2);
    vid->start();
    EXPECT_EQ(andorSimWaitForWaiters(1, patienceMs), 1);
    return vid;
  }

  // Closes, and checks that the toolbox's thread was held about 1000 ms and
  // that the thread still waits.
  static void closeWhileWaiting(imaqkit::VideoInput &vid) {
    const Clock::time_point start = Clock::now();
    vid.close();
    const double held = secondsSince(start);
    EXPECT_GE(held, 0.9);
    EXPECT_LT(held, 5.0);
    EXPECT_EQ(andorSimWaitForWaiters(1, 0), 1) << "the thread outlived the close";
    EXPECT_NE(static_cast<corvidAdaptor *>(vid.adaptor())->threadHandle, nullptr)
        << "its handle is kept for whoever must wait for it";
  }
};

TEST_F(CorvidLifetime, DestroyingTheObjectAfterAClosePastItsBoundWaitsForTheThread) {
  auto vid = waitingAcquisition();
  closeWhileWaiting(*vid);
  trace_.clear();
  vid.reset(); // frees the object and its manager once the thread is gone
  EXPECT_EQ(andorSimWaitForWaiters(1, 0), 0);
  vector<string> log = trace_.lines();
  // Released from its wait, the thread finishes its image and its run.
  EXPECT_EQ(driverOnly(log),
            (vector<string>{"selectCamera(100)", "abortAcquisition()", "selectCamera(100)",
                            "getNewImageRange(ptr, ptr)", "getImages16(0, 0, ptr, 3072, ptr, ptr)",
                            "selectCamera(100)", "driverSetting219(1, 0, 0, 0, 0)", "abortAcquisition()"}));
  EXPECT_EQ(count(log, "kit countFrame"), 1);
  EXPECT_EQ(count(log, "kit acquisitionContinues=false"), 1);
}

TEST_F(CorvidLifetime, AnImageAfterTheCloseLetsTheThreadEndByItself) {
  auto vid = waitingAcquisition();
  closeWhileWaiting(*vid);
  trace_.clear();
  ASSERT_EQ(andorSimProduceImages(wide, 1), 1);
  vid.reset();
  vector<string> camera = driverOnly(trace_.lines());
  EXPECT_EQ(count(camera, "getImages16(1, 1, ptr, 3072, ptr, ptr)"), 1);
  EXPECT_EQ(count(camera, "abortAcquisition()"), 1) << "whether it ended before or during the wait";
}

TEST_F(CorvidLifetime, OpeningAgainRetiresTheThreadLeftBehind) {
  auto vid = waitingAcquisition();
  ThreadWatch left(*static_cast<corvidAdaptor *>(vid->adaptor()));
  closeWhileWaiting(*vid);
  vid->open();
  EXPECT_TRUE(left.ended(0)) << "the thread left behind ended before the fresh one started";
  EXPECT_EQ(threadcount::running(), threads_ + 1) << "only the fresh thread runs";
  vid->set("FramesPerTrigger", 1);
  vid->start();
  shoot(wide);
  ASSERT_TRUE(vid->waitForFrames(1, patience));
  EXPECT_EQ(vid->getFrames()[0].pixel(0, 0), 1u);
}

// A driver whose abort does not release the wait: the toolbox's thread is
// held for a bounded time only, and the thread, should the driver let it go
// later, finds the object's memory and manager still there and frees them.
TEST_F(CorvidLifetime, DestroyingAnObjectWhoseThreadTheDriverHoldsReturnsAfterItsBound) {
  auto vid = waitingAcquisition();
  auto *adaptor = static_cast<corvidAdaptor *>(vid->adaptor());
  ThreadWatch thread(*adaptor);
  ASSERT_EQ(andorSimInjectStatus("abortAcquisition", ANDOR_SIM_NO_CAMERA, ANDOR_SIM_ALWAYS), 1);
  const Clock::time_point start = Clock::now();
  vid.reset();
  const double held = secondsSince(start);
  EXPECT_GE(held, (2 * CORVID_CLOSE_WAIT_MS + CORVID_RELEASE_WAIT_MS) / 1000.0 - 0.1);
  EXPECT_LT(held, (2 * CORVID_CLOSE_WAIT_MS + CORVID_RELEASE_WAIT_MS) / 1000.0 + 4);
  EXPECT_EQ(warningTexts("corvid:threadStuck"),
            (vector<string>{"The acquisition thread of camera 100 did not end within " +
                            std::to_string(CORVID_RELEASE_WAIT_MS) + " ms of abortAcquisition."}));
  EXPECT_EQ(warningTexts("corvid:threadLost").size(), 1u);
  EXPECT_FALSE(thread.ended(0));
  EXPECT_EQ(imaqkit::test::liveManagers(), 1) << "the thread's manager is kept";

  trace_.clear();
  andorSimClearInjectedStatuses();
  ASSERT_EQ(andorSimProduceImages(wide, 1), 1);
  ASSERT_TRUE(thread.ended(patienceMs));
  EXPECT_EQ(imaqkit::test::liveManagers(), 0) << "freed by the thread as it ended";
  EXPECT_EQ(imaqkit::test::liveBlocks(), blocks_);
  vector<string> camera = driverOnly(trace_.lines());
  EXPECT_EQ(count(camera, "getImages16(1, 1, ptr, 3072, ptr, ptr)"), 1);
  EXPECT_EQ(count(camera, "abortAcquisition()"), 1);
}
