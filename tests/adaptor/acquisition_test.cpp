// Runs of the acquisition thread: the exact calls of a run, frames and
// their stamps, images the toolbox does not want, runs that end at once,
// successive runs, and runs whose image buffer cannot be had.
#include "call_sequence.h"
#include "corvid_fixture.h"

#include <cmath>
#include <future>

using std::string;
using std::vector;

namespace {

// Each sequence that acts on the current camera selects it first.
const vector<string> oneImage = {"selectCamera(100)",
                                 "waitForAcquisition()",
                                 "selectCamera(100)",
                                 "getNewImageRange(ptr, ptr)",
                                 "getImages16(1, 1, ptr, 3072, ptr, ptr)",
                                 "kit frameWanted=true",
                                 "kit currentEngine",
                                 "kit makeFrame",
                                 "kit putImage",
                                 "kit putTime",
                                 "kit currentEngine",
                                 "kit deliverFrame",
                                 "kit countFrame"};
const vector<string> runEnd = {"kit acquisitionContinues=false", "selectCamera(100)",
                               "driverSetting219(1, 0, 0, 0, 0)", "abortAcquisition()"};

} // namespace

TEST_F(Corvid, ARunMakesItsCallsInExactlyThisOrder) {
  auto vid = open(0);
  vid->set("FramesPerTrigger", 1);
  vid->open();
  trace_.clear();
  const double before = getCurrentTime();
  vid->start();
  shoot(wide);
  ASSERT_TRUE(vid->waitForFrames(1, patience));
  vid->close(); // the thread has ended: its calls are all in

  // The frame is in once delivered: the close that follows asks from the
  // toolbox's thread while the run finishes.
  const auto delivered = std::find(oneImage.begin(), oneImage.end(), "kit deliverFrame") + 1;
  CallSequence expected;
  expected.then(runSetUp(64, 48, "0.01"))
      .then({"kit acquisitionContinues=true"})
      .then(vector<string>(oneImage.begin(), delivered))
      .maybeFromHere("kit deviceIsOpen=true")
      .then(vector<string>(delivered, oneImage.end()))
      .then(runEnd);
  EXPECT_TRUE(expected.matches(from(trace_.lines(), "driverSetting123(4)"), true));

  vector<imaqkit::Frame> frames = vid->getFrames();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].format, 285278212);
  EXPECT_EQ(frames[0].width, 64);
  EXPECT_EQ(frames[0].height, 48);
  EXPECT_EQ(frames[0].pixel(0, 0) | (frames[0].pixel(1, 0) << 16), 1u) << "image 1's stamp";
  EXPECT_GE(frames[0].time, before);
  EXPECT_LE(frames[0].time, getCurrentTime());
}

TEST_F(Corvid, FramesFollowTheImagesOldestFirstWithRisingStamps) {
  auto vid = open(1);
  vid->set("FramesPerTrigger", 4);
  vid->start();
  for (size_t i = 1; i <= 4; ++i) {
    shoot(narrow);
    ASSERT_TRUE(vid->waitForCall("countFrame", i, patience));
  }
  ASSERT_TRUE(vid->waitForFrames(4, patience));
  vector<imaqkit::Frame> frames = vid->getFrames();
  ASSERT_EQ(frames.size(), 4u);
  for (uint32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(frames[i].pixel(0, 0), i + 1);
    EXPECT_EQ(frames[i].bytes.size(), 32u * 16u * 2u);
    if (i > 0) {
      EXPECT_GT(frames[i].time, frames[i - 1].time);
    }
  }
  AndorSimCameraState state{};
  andorSimGetCamera(narrow, &state);
  EXPECT_EQ(state.counters.read, 4u);
}

TEST_F(Corvid, OnlyTheFirstOfSeveralNewImagesIsRead) {
  auto vid = open(0);
  vid->set("FramesPerTrigger", 2);
  vid->start();
  ASSERT_EQ(andorSimWaitForWaiters(1, patienceMs), 1);
  ASSERT_EQ(andorSimProduceImages(wide, 3), 3);
  ASSERT_TRUE(vid->waitForCall("countFrame", 1, patience));
  shoot(wide);
  ASSERT_TRUE(vid->waitForFrames(2, patience));
  vector<imaqkit::Frame> frames = vid->getFrames();
  EXPECT_EQ(frames[0].pixel(0, 0), 1u);
  EXPECT_EQ(frames[1].pixel(0, 0), 2u) << "the next wake-up reads the next unread image";
}

TEST_F(Corvid, AnImageNobodyWantsIsReadAndCountedButMakesNoFrame) {
  auto vid = open(0);
  vid->set("FramesPerTrigger", 5);
  vid->answerFrameWanted(false);
  vid->start();
  for (size_t i = 1; i <= 3; ++i) {
    shoot(wide);
    ASSERT_TRUE(vid->waitForCall("countFrame", i, patience));
  }
  vid->stop();
  vid->close();
  vector<string> run = from(trace_.lines(), "startAcquisition()");
  EXPECT_EQ(count(run, "kit frameWanted=false"), 3);
  EXPECT_EQ(count(run, "kit countFrame"), 3);
  EXPECT_EQ(countPrefix(run, "getImages16"), 3);
  EXPECT_EQ(count(run, "kit makeFrame"), 0);
  EXPECT_EQ(count(run, "kit deliverFrame"), 0);
  EXPECT_EQ(vid->framesAvailable(), 0u);
}

TEST_F(Corvid, TheFrameGrabIntervalSkipsImages) {
  auto vid = open(0);
  vid->set("FramesPerTrigger", 2);
  vid->set("FrameGrabInterval", 2);
  vid->start();
  for (size_t i = 1; i <= 3; ++i) {
    shoot(wide);
    ASSERT_TRUE(vid->waitForCall("countFrame", i, patience));
  }
  ASSERT_TRUE(vid->waitForFrames(2, patience));
  vector<imaqkit::Frame> frames = vid->getFrames();
  EXPECT_EQ(frames[0].pixel(0, 0), 1u);
  EXPECT_EQ(frames[1].pixel(0, 0), 3u);
}

TEST_F(Corvid, ARunOverAtItsFirstTestStartsAndStopsTheCameraAndReadsNothing) {
  auto vid = open(0);
  vid->answerAcquisitionContinues(false);
  vid->open();
  trace_.clear();
  vid->start();
  ASSERT_TRUE(vid->waitForCall("acquisitionContinues=false", 1, patience));
  vid->answerAcquisitionContinues(std::nullopt);
  vid->stop();
  vid->close();
  // The trace takes a kit call up after its answer: the close's question
  // from the toolbox's thread can overtake the run's last one.
  CallSequence expected;
  expected.then(runSetUp(64, 48, "0.01")).maybeFromHere("kit deviceIsOpen=true").then(runEnd);
  EXPECT_TRUE(expected.matches(from(trace_.lines(), "driverSetting123(4)")));
}

TEST_F(Corvid, EveryRunSetsTheCameraUpAgainWithTheExposureInForce) {
  auto vid = open(0);
  vid->set("FramesPerTrigger", 1);
  vid->start();
  shoot(wide);
  ASSERT_TRUE(vid->waitForFrames(1, patience));
  // The run ends at its next test; only then may the next one be asked for.
  ASSERT_TRUE(vid->waitForCall("acquisitionContinues=false", 1, patience));
  vid->start(); // same thread, second run
  shoot(wide);
  ASSERT_TRUE(vid->waitForFrames(1, patience));
  vid->close();

  vid->set("Exposure", 0.25); // takes effect at the next run
  vid->start();               // opens: a fresh thread
  shoot(wide);
  ASSERT_TRUE(vid->waitForFrames(1, patience));
  vid->close();

  vector<string> camera = driverOnly(trace_.lines());
  EXPECT_EQ(count(camera, "driverSetting123(4)"), 3);
  EXPECT_EQ(count(camera, "setImageRegion(1, 1, 1, 64, 1, 48)"), 3);
  EXPECT_EQ(count(camera, "startAcquisition()"), 3);
  EXPECT_EQ(count(camera, "abortAcquisition()"), 3);
  vector<string> runs = from(camera, "driverSetting123(4)");
  vector<string> first(runs.begin(), runs.begin() + 8),
      second = from(vector<string>(runs.begin() + 1, runs.end()), "driverSetting123(4)");
  EXPECT_EQ(first, runSetUp(64, 48, "0.01"));
  ASSERT_GE(second.size(), 8u);
  EXPECT_EQ(vector<string>(second.begin(), second.begin() + 8), runSetUp(64, 48, "0.01"));
  vector<string> third = from(camera, "setExposureTime(0.25)");
  third = from(vector<string>(third.begin() + 1, third.end()), "driverSetting123(4)");
  ASSERT_GE(third.size(), 8u);
  EXPECT_EQ(vector<string>(third.begin(), third.begin() + 8), runSetUp(64, 48, "0.25"));
}

TEST_F(Corvid, ADetectorTooLargeForOneBufferEndsTheRunWithAWarning) {
  andorSimReset();
  ASSERT_EQ(andorSimAddCamera(7, 65535, 65535), ANDOR_STATUS_SUCCESS);
  auto vid = open(0);
  vid->set("FramesPerTrigger", 1);
  vid->open();
  trace_.clear();
  vid->start();
  ASSERT_TRUE(vid->waitForCall("deviceIsAcquiring=false", 1, patience));
  vid->close(); // the request has been handled before the WM_QUIT behind it
  EXPECT_EQ(driverOnly(trace_.lines()), vector<string>{}) << "nothing set up, nothing read";
  vector<string> texts = warningTexts("corvid:imageSize");
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_NE(texts[0].find("65535 x 65535"), string::npos) << texts[0];
}

// A buffer that cannot be allocated is forced through the sanitizers' own
// allocation limit, which the tests' sanitizer options set below.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define CORVID_ALLOCATION_LIMIT 1
extern "C" {
#if defined(__SANITIZE_ADDRESS__)
const char *__asan_default_options() { return "allocator_may_return_null=1:max_allocation_size_mb=2048"; }
#else
const char *__tsan_default_options() { return "allocator_may_return_null=1:max_allocation_size_mb=2048"; }
#endif
}
#endif

TEST_F(Corvid, ABufferThatCannotBeAllocatedEndsTheRunWithAWarning) {
#if !defined(CORVID_ALLOCATION_LIMIT)
  GTEST_SKIP() << "needs an allocation limit: runs under the sanitizers";
#else
  andorSimReset();
  ASSERT_EQ(andorSimAddCamera(7, 65535, 32767), ANDOR_STATUS_SUCCESS); // 4 GB, within 32 bits
  auto vid = open(0);
  vid->set("FramesPerTrigger", 1);
  vid->open();
  trace_.clear();
  vid->start();
  vid->close();
  vector<string> camera = driverOnly(trace_.lines());
  vector<string> expected = runSetUp(65535, 32767, "0.01");
  expected.pop_back(); // no startAcquisition
  expected.insert(expected.begin(), "selectCamera(7)");
  expected.push_back("driverSetting219(1, 0, 0, 0, 0)");
  EXPECT_EQ(camera, expected);
  EXPECT_EQ(warningTexts("corvid:outOfMemory").size(), 1u);
#endif
}

TEST_F(Corvid, AnImageTheDriverWouldNotGiveIsCountedButNeverBecomesAFrame) {
  auto vid = open(0);
  vid->set("FramesPerTrigger", 2);
  ASSERT_EQ(andorSimInjectStatus("getImages16", ANDOR_SIM_NO_NEW_DATA, ANDOR_SIM_ONCE), 1);
  vid->start();
  shoot(wide);
  ASSERT_TRUE(vid->waitForCall("countFrame", 1, patience));
  EXPECT_EQ(count(vid->calls(), "frameWanted=true"), 1);
  EXPECT_EQ(count(vid->calls(), "makeFrame"), 0) << "no frame of what the buffer held";
  EXPECT_EQ(vid->framesAvailable(), 0u);

  // The image the driver kept back is read at the next wake-up.
  shoot(wide);
  ASSERT_TRUE(vid->waitForCall("countFrame", 2, patience));
  shoot(wide);
  ASSERT_TRUE(vid->waitForFrames(2, patience));
  vector<imaqkit::Frame> frames = vid->getFrames();
  EXPECT_EQ(frames[0].pixel(0, 0), 1u);
  EXPECT_EQ(frames[1].pixel(0, 0), 2u);
  EXPECT_EQ(vid->stats().framesWanted - vid->stats().framesDelivered, 1u) << "reported as dropped";
}

TEST_F(Corvid, ReadsThatAlwaysFailDeliverNoFrame) {
  auto vid = open(0);
  vid->set("FramesPerTrigger", 3);
  ASSERT_EQ(andorSimInjectStatus("getImages16", ANDOR_SIM_NO_CAMERA, ANDOR_SIM_ALWAYS), 1);
  vid->start();
  for (size_t i = 1; i <= 4; ++i) {
    shoot(wide);
    ASSERT_TRUE(vid->waitForCall("countFrame", i, patience));
  }
  EXPECT_EQ(vid->framesAvailable(), 0u);
  EXPECT_TRUE(vid->isRunning());
  ASSERT_EQ(andorSimWaitForWaiters(1, patienceMs), 1) << "the run waits for its fifth image";
  vid->stop();
  shoot(wide);
  ASSERT_TRUE(vid->waitForCall("acquisitionContinues=false", 1, patience));
  EXPECT_EQ(vid->stats().framesDelivered, 0u);
  EXPECT_EQ(vid->stats().imagesCounted, 5u);
}

TEST_F(Corvid, ACameraThatWillNotStartEndsTheRunWithAWarningAndTheNextStartAcquires) {
  auto vid = open(0);
  vid->set("FramesPerTrigger", 1);
  vid->open();
  trace_.clear();
  ASSERT_EQ(andorSimInjectStatus("startAcquisition", ANDOR_SIM_ACQUIRING, ANDOR_SIM_ONCE), 1);
  std::promise<void> warned;
  imaqkit::observeWarnings([&](const imaqkit::AdaptorWarning &warning) {
    trace_.warning(warning);
    if (warning.identifier == "corvid:startAcquisition") warned.set_value();
  });
  vid->start();
  ASSERT_EQ(warned.get_future().wait_for(patience), std::future_status::ready) << "the run did not give up";
  vid->stop();
  EXPECT_EQ(vid->framesAvailable(), 0u);

  // The user's stop came after the run had gone: it is no halt for the
  // next start's run, on the same thread.
  vid->start();
  shoot(wide);
  ASSERT_TRUE(vid->waitForFrames(1, patience));
  EXPECT_EQ(vid->getFrames()[0].pixel(0, 0), 1u);
  vid->close(); // the thread has ended: its calls are all in
  imaqkit::observeWarnings(nullptr);

  // The warning waits until the run has given the camera back to others.
  vector<string> expected = runSetUp(64, 48, "0.01");
  expected.push_back("driverSetting219(1, 0, 0, 0, 0)");
  expected.push_back("warn corvid:startAcquisition The camera did not start (startAcquisition "
                     "returned status 20072); the acquisition reads no image.");
  expected.push_back("selectCamera(100)");
  expected.push_back("driverSetting123(4)");
  vector<string> runs = driverOnly(from(trace_.lines(), "driverSetting123(4)"));
  ASSERT_GE(runs.size(), expected.size());
  EXPECT_EQ(vector<string>(runs.begin(), runs.begin() + long(expected.size())), expected)
      << "no wait, no read on a camera that did not start";
}

TEST_F(Corvid, ADetectorWithoutPixelsEndsTheRunWithItsOwnWarning) {
  ASSERT_EQ(andorSimInjectStatus("getDetectorSize", ANDOR_SIM_NO_CAMERA, ANDOR_SIM_ALWAYS), 1);
  auto vid = open(0);
  vid->set("FramesPerTrigger", 1);
  vid->start();
  vid->stop();
  vid->close(); // the request has been handled before the WM_QUIT behind it
  vector<string> texts = warningTexts("corvid:imageSize");
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0], "The camera reports a detector of 0 x 0 pixels, which holds no image; "
                      "the acquisition reads no image.");
}

TEST_F(Corvid, AFrameIsStampedAfterItsImageArrived) {
  auto vid = open(0);
  vid->set("FramesPerTrigger", 1);
  vid->start();
  ASSERT_EQ(andorSimWaitForWaiters(1, patienceMs), 1);
  const double beforeImage = getCurrentTime();
  ASSERT_EQ(andorSimProduceImages(wide, 1), 1);
  ASSERT_TRUE(vid->waitForFrames(1, patience));
  EXPECT_GE(vid->getFrames()[0].time, beforeImage) << "stamped before the wait";
}

TEST_F(Corvid, AClosedDeviceEndsItsRunAfterTheNextImage) {
  auto vid = open(0);
  auto *adaptor = static_cast<corvidAdaptor *>(vid->adaptor());
  vid->set("FramesPerTrigger", 5);
  vid->answerAcquisitionContinues(true); // only keepRunning can end the run
  vid->start();
  shoot(wide);
  ASSERT_TRUE(vid->waitForCall("countFrame", 1, patience));
  ASSERT_EQ(andorSimWaitForWaiters(1, patienceMs), 1);
  EXPECT_TRUE(adaptor->closeCamera()); // gives up waiting: no image comes
  ASSERT_NE(adaptor->threadHandle, nullptr);
  trace_.clear();
  ASSERT_EQ(andorSimProduceImages(wide, 1), 1);
  ASSERT_EQ(WaitForSingleObject(adaptor->threadHandle, patienceMs), WAIT_OBJECT_0)
      << "the run went on after the close";
  vector<string> camera = driverOnly(trace_.lines());
  EXPECT_EQ(camera, (vector<string>{"selectCamera(100)", "getNewImageRange(ptr, ptr)",
                                    "getImages16(2, 2, ptr, 3072, ptr, ptr)", "selectCamera(100)",
                                    "driverSetting219(1, 0, 0, 0, 0)", "abortAcquisition()"}));
  vid->answerAcquisitionContinues(std::nullopt);
}

TEST_F(Corvid, AnExposureSetJustAfterAStopReachesTheNextRun) {
  auto vid = open(0);
  vid->set("FramesPerTrigger", 3);
  vid->start();
  shoot(wide);
  ASSERT_TRUE(vid->waitForCall("countFrame", 1, patience));
  ASSERT_EQ(andorSimWaitForWaiters(1, patienceMs), 1);
  vid->stop();
  // The camera still acquires until the run sees the stop: it refuses this.
  vid->set("Exposure", 0.25);
  EXPECT_EQ(vid->number("Exposure"), 0.25);
  shoot(wide);
  ASSERT_TRUE(vid->waitForCall("acquisitionContinues=false", 1, patience));

  vid->set("FramesPerTrigger", 1);
  vid->start(); // the same thread's second run
  shoot(wide);
  ASSERT_TRUE(vid->waitForFrames(1, patience));
  vid->close();
  vector<string> camera = driverOnly(trace_.lines());
  EXPECT_EQ(count(camera, "setExposureTime(0.25)"), 2) << "the refused one and the second run's";
  vector<string> runs = from(camera, "driverSetting123(4)");
  ASSERT_FALSE(runs.empty());
  vector<string> second = from(vector<string>(runs.begin() + 1, runs.end()), "driverSetting123(4)");
  ASSERT_GE(second.size(), 8u);
  EXPECT_EQ(vector<string>(second.begin(), second.begin() + 8), runSetUp(64, 48, "0.25"));
  AndorSimCameraState state{};
  andorSimGetCamera(wide, &state);
  EXPECT_EQ(state.exposureSet, 0.25f);
}
