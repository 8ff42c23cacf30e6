// The adaptor manager and the frames: open and close, runs on the adaptor's
// own thread, frames buffered oldest first, the frame grab interval, stop,
// halt and resume, and teardown of a running object.
#include "kit_fixture.h"

#include <cmath>
#include <limits>

using std::string;
using std::vector;

TEST_F(Kit, OpenAndCloseReachTheAdaptorOnceEach) {
  auto vid = library_->createVideoInput(0);
  vid->open();
  vid->open();
  EXPECT_TRUE(vid->isOpen());
  vid->close();
  vid->close();
  EXPECT_FALSE(vid->isOpen());
  vector<string> log = fake::log();
  EXPECT_EQ(count(log, "openCamera deviceIsOpen=false"), 1) << "open is false while openCamera runs";
  EXPECT_EQ(count(log, "closeCamera deviceIsOpen=true"), 1) << "and true while closeCamera runs";
}

TEST_F(Kit, FramesFromTheAdaptorThreadAreBufferedOldestFirst) {
  auto vid = library_->createVideoInput(0);
  vid->set("FramesPerTrigger", 5);
  vid->recordCalls(true);
  vid->start();
  EXPECT_TRUE(vid->isRunning());
  fake::shoot(5);
  ASSERT_TRUE(vid->waitForFrames(5, patience));
  ASSERT_TRUE(vid->waitUntilStopped(patience));
  ASSERT_TRUE(fake::waitForLog("run end", 1, patience)) << "the run ends once the frames are in";
  EXPECT_FALSE(vid->isRunning());

  vector<imaqkit::Frame> frames = vid->getFrames();
  ASSERT_EQ(frames.size(), 5u);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const imaqkit::Frame &frame = frames[i];
    EXPECT_EQ(frame.number, i);
    EXPECT_EQ(frame.pixel(0, 0), i) << "image index carried in pixel 0";
    EXPECT_EQ(frame.pixel(3, 2), 5u);
    EXPECT_EQ(frame.format, IMAQ_FRAME_MONO16);
    EXPECT_EQ(frame.width, 64);
    EXPECT_EQ(frame.height, 48);
    EXPECT_TRUE(std::isfinite(frame.time));
    if (i > 0) {
      EXPECT_GE(frame.time, frames[i - 1].time);
    }
  }
  imaqkit::AcquisitionStats stats = vid->stats();
  EXPECT_EQ(stats.imagesCounted, 5u);
  EXPECT_EQ(stats.framesWanted, 5u);
  EXPECT_EQ(stats.framesDelivered, 5u);
  EXPECT_EQ(stats.framesDiscarded, 0u);
  EXPECT_EQ(vid->framesAvailable(), 0u);

  // One image's calls, as an adaptor test reads them; the last test ends the run.
  vector<string> calls = after(vid->calls(), "deviceIsAcquiring=false"); // from beginCapture on
  vector<string> oneImage = {"acquisitionContinues=true",
                             "frameWanted=true",
                             "currentEngine",
                             "makeFrame",
                             "putImage",
                             "putTime",
                             "currentEngine",
                             "deliverFrame",
                             "countFrame"};
  ASSERT_GE(calls.size(), oneImage.size());
  EXPECT_EQ(vector<string>(calls.begin(), calls.begin() + static_cast<long>(oneImage.size())), oneImage);
  EXPECT_EQ(calls.back(), "acquisitionContinues=false");
  EXPECT_EQ(imaqkit::warnings().back().identifier, "fake:run") << "warnings from the adaptor's thread";
}

TEST_F(Kit, EightBitFormat) {
  auto vid = library_->createVideoInput(0, "mono8");
  vid->set("FramesPerTrigger", 1);
  vid->start();
  fake::shoot(1);
  ASSERT_TRUE(vid->waitForFrames(1, patience));
  vector<imaqkit::Frame> frames = vid->getFrames();
  EXPECT_EQ(frames[0].format, IMAQ_FRAME_MONO8);
  EXPECT_EQ(frames[0].bytesPerPixel, 1);
  EXPECT_EQ(frames[0].bytes.size(), 32u * 16u);
  EXPECT_EQ(frames[0].pixel(31, 15), 46u);
}

TEST_F(Kit, FrameGrabIntervalTakesEveryNthImageUntilTheCountIsIn) {
  auto vid = library_->createVideoInput(0);
  vid->set("FrameGrabInterval", 3);
  vid->set("FramesPerTrigger", 3);
  fake::freeRun(true);
  vid->start();
  ASSERT_TRUE(vid->waitUntilStopped(patience));
  ASSERT_TRUE(fake::waitForLog("run end", 1, patience));
  vector<imaqkit::Frame> frames = vid->getFrames();
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0].pixel(0, 0), 0u);
  EXPECT_EQ(frames[1].pixel(0, 0), 3u);
  EXPECT_EQ(frames[2].pixel(0, 0), 6u);
  EXPECT_EQ(vid->stats().imagesCounted, 7u);
  EXPECT_EQ(vid->stats().framesWanted, 3u);
}

TEST_F(Kit, StopEndsTheRunAtItsNextTestAndStartBeginsAfresh) {
  auto vid = library_->createVideoInput(0);
  vid->recordCalls(true);
  vid->start();
  fake::shoot(2);
  // The run has tested for a third time and is waiting for the third image.
  ASSERT_TRUE(vid->waitForCall("acquisitionContinues=true", 3, patience));
  vid->stop();
  EXPECT_FALSE(vid->isRunning());
  EXPECT_EQ(fake::log().back(), "endCapture");

  fake::shoot(1); // the run is waiting for an image; it reads it, wants no frame, ends
  ASSERT_TRUE(fake::waitForLog("run end", 1, patience));
  EXPECT_EQ(vid->stats().imagesCounted, 3u);
  EXPECT_EQ(vid->stats().framesDelivered, 2u);
  EXPECT_EQ(vid->framesAvailable(), 2u);

  vid->set("FramesPerTrigger", 1);
  vid->start();
  EXPECT_EQ(vid->framesAvailable(), 0u) << "start flushes the buffer";
  fake::shoot(1);
  ASSERT_TRUE(vid->waitForFrames(1, patience));
  EXPECT_EQ(vid->getFrames()[0].pixel(0, 0), 3u);
}

TEST_F(Kit, SourceChangeRestartsOnlyARunningAcquisition) {
  auto vid = library_->createVideoInput(0);
  vid->recordCalls(true);
  vid->set("SelectedSourceName", string("fakeOther"));
  vid->open();
  vid->set("SelectedSourceName", string("fakeDefault"));
  EXPECT_EQ(count(vid->calls(), "haltAcquisition"), 0);
  EXPECT_EQ(count(vid->calls(), "deviceIsAcquiring=false"), 2);

  vid->set("FramesPerTrigger", 4);
  vid->start();
  fake::shoot(2);
  ASSERT_TRUE(vid->waitForFrames(2, patience));
  vid->clearCalls();
  vid->set("SelectedSourceName", string("fakeOther"));
  EXPECT_TRUE(inOrder(vid->calls(), {"deviceIsAcquiring=true", "haltAcquisition", "resumeAcquisition"}));
  EXPECT_TRUE(inOrder(fake::log(), {"source 2", "endCapture", "beginCapture deviceIsAcquiring=false"}));
  EXPECT_TRUE(vid->isRunning());

  // The halted run sees the halt after its current image; a fresh run takes the rest.
  fake::shoot(2);
  ASSERT_TRUE(vid->waitForFrames(4, patience));
  ASSERT_TRUE(fake::waitForLog("run end", 2, patience));
  EXPECT_EQ(count(fake::log(), "run start"), 2);
  vector<imaqkit::Frame> frames = vid->getFrames();
  for (std::size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(frames[i].pixel(0, 0), i);
  EXPECT_FALSE(vid->isRunning());
}

TEST_F(Kit, ForcedAnswersLetATestShapeARun) {
  auto vid = library_->createVideoInput(0);
  vid->recordCalls(true);
  vid->answerFrameWanted(false);
  vid->start();
  fake::shoot(3);
  ASSERT_TRUE(vid->waitForCall("countFrame", 3, patience));
  EXPECT_EQ(count(vid->calls(), "makeFrame"), 0);
  EXPECT_EQ(vid->stats().framesDelivered, 0u);
  vid->stop();
  fake::shoot(1);
  ASSERT_TRUE(fake::waitForLog("run end", 1, patience));

  vid->answerFrameWanted(std::nullopt);
  vid->answerAcquisitionContinues(false);
  vid->start();
  ASSERT_TRUE(fake::waitForLog("run end", 2, patience));
  EXPECT_EQ(after(fake::log(), "run start"), vector<string>{"run end"}) << "no image read";
}

TEST_F(Kit, EngineRefusesBadFramesAndDiscardsFramesNobodyWants) {
  auto vid = library_->createVideoInput(0);
  IEngine *engine = vid->engine();
  EXPECT_EQ(engine->makeFrame(0x12345678, 4, 4), nullptr);
  EXPECT_EQ(imaqkit::warnings().back().identifier, "imaqkit:engine:unknownFormat");
  EXPECT_EQ(engine->makeFrame(IMAQ_FRAME_MONO16, 0, 4), nullptr);
  EXPECT_EQ(engine->makeFrame(IMAQ_FRAME_MONO16, 1 << 16, 1 << 16), nullptr);

  IImageFrame *frame = engine->makeFrame(IMAQ_FRAME_MONO16, 4, 4);
  ASSERT_NE(frame, nullptr);
  std::uint16_t row[5] = {};
  frame->putImage(row, 5, 1, 0, 0);
  EXPECT_EQ(imaqkit::warnings().back().identifier, "imaqkit:engine:badImageRegion");
  frame->putImage(row, 2, 1, 3, 0);
  EXPECT_EQ(imaqkit::warnings().back().identifier, "imaqkit:engine:badImageRegion");
  engine->deliverFrame(frame); // not acquiring
  EXPECT_EQ(vid->stats().framesDiscarded, 1u);
  EXPECT_EQ(vid->framesAvailable(), 0u);
  engine->deliverFrame(frame); // already taken over
  EXPECT_EQ(imaqkit::warnings().back().identifier, "imaqkit:engine:unknownFrame");
}

// Frame memory is recycled and not zeroed when made, yet a frame's user
// never sees bytes that no image of that frame put there.
TEST_F(Kit, BytesNoImageCoveredAreZeroEvenInRecycledMemory) {
  auto vid = library_->createVideoInput(0);
  vid->set("FramesPerTrigger", 10);
  vid->start();
  IEngine *engine = vid->engine();
  const int side = 256; // 128 KiB frames: large enough for the engine to recycle
  const std::size_t frameBytes = std::size_t(side) * side * 2;
  for (int i = 0; i < 4; ++i)
    imaqkit::FrameBytes(frameBytes, 0xAB); // dirty memory that the next frames may get
  const vector<std::uint16_t> row(side, 7), image(std::size_t(side) * side, 9);

  IImageFrame *partial = engine->makeFrame(IMAQ_FRAME_MONO16, side, side);
  IImageFrame *untouched = engine->makeFrame(IMAQ_FRAME_MONO16, side, side);
  IImageFrame *wholeThenRow = engine->makeFrame(IMAQ_FRAME_MONO16, side, side);
  ASSERT_TRUE(partial && untouched && wholeThenRow);
  partial->putImage(row.data(), side, 1, 0, 5);
  wholeThenRow->putImage(image.data(), side, side, 0, 0);
  wholeThenRow->putImage(row.data(), side, 1, 0, 0);
  engine->deliverFrame(partial);
  engine->deliverFrame(untouched);
  engine->deliverFrame(wholeThenRow);
  ASSERT_TRUE(vid->waitForFrames(3, patience));
  vector<imaqkit::Frame> frames = vid->getFrames(3);
  vid->stop();

  ASSERT_EQ(frames.size(), 3u);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      ASSERT_EQ(frames[0].pixel(x, y), y == 5 ? 7u : 0u)
          << "the one row put, zero elsewhere; at " << x << ", " << y;
      ASSERT_EQ(frames[1].pixel(x, y), 0u) << "a frame no image was put into";
      ASSERT_EQ(frames[2].pixel(x, y), y == 0 ? 7u : 9u) << "a whole image, then a row over it";
    }
}

TEST_F(Kit, TwoObjectsKeepTheirOwnState) {
  fake::setCameras(2);
  auto left = library_->createVideoInput(0);
  auto right = library_->createVideoInput(1);
  left->set("FramesPerTrigger", 1);
  left->start();
  right->open();
  EXPECT_TRUE(left->isRunning());
  EXPECT_FALSE(right->isRunning());
  fake::shoot(1);
  ASSERT_TRUE(left->waitForFrames(1, patience));
  EXPECT_EQ(right->framesAvailable(), 0u);
}

TEST_F(Kit, DestroyingARunningObjectStopsClosesAndFreesIt) {
  auto vid = library_->createVideoInput(0);
  vid->start();
  fake::shoot(1);
  ASSERT_TRUE(vid->waitForFrames(1, patience));
  vid.reset();
  EXPECT_TRUE(inOrder(fake::log(), {"endCapture", "closeCamera deviceIsOpen=true", "destruct"}));
  EXPECT_EQ(fake::adaptorsDestroyed(), 1);
  // Tear-down checks the listeners, the manager and every imaqmalloc block.
}
