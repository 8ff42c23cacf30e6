// The frame memory limit: frames delivered past it are counted and not
// kept while the run goes on to its frame count, the frames kept carry the
// numbers that show the gaps, and the limit covers every device object's
// buffer together, which taking, flushing or destroying gives back.
#include "kit_fixture.h"

namespace {

constexpr std::uint64_t frameBytes = 64 * 48 * 2; // the fake adaptor's 16-bit frames

class FrameMemory : public Kit {
protected:
  void SetUp() override {
    Kit::SetUp();
    limitBefore_ = imaqkit::frameMemoryLimit();
  }
  void TearDown() override {
    Kit::TearDown();
    EXPECT_EQ(imaqkit::frameMemoryUse().bytesHeld, 0u) << "every buffered frame given back";
    imaqkit::setFrameMemoryLimit(limitBefore_);
  }
  void limitTo(std::uint64_t bytes) {
    imaqkit::setFrameMemoryLimit(bytes);
    imaqkit::resetFrameMemoryPeak();
  }

private:
  std::uint64_t limitBefore_ = 0;
};

} // namespace

TEST(FrameMemoryDefault, IsAQuarterOfThePhysicalMemoryOrLess) {
  const std::uint64_t limit = imaqkit::defaultFrameMemoryLimit();
  EXPECT_GE(limit, std::uint64_t(64) << 20) << "room for a few large frames on any machine we run on";
  if (sizeof(void *) < 8) {
    EXPECT_LE(limit, std::uint64_t(1) << 30);
  }
}

TEST_F(FrameMemory, FramesPastTheLimitAreCountedAndNotKeptWhileTheRunGoesOn) {
  limitTo(2 * frameBytes + frameBytes / 2); // two frames, not three
  auto vid = library_->createVideoInput(0);
  vid->set("FramesPerTrigger", 4);
  vid->recordCalls(true);
  vid->start();
  fake::shoot(5);
  ASSERT_TRUE(vid->waitForCall("countFrame", 5, patience));
  imaqkit::AcquisitionStats stats = vid->stats();
  EXPECT_EQ(stats.framesWanted, 5u);
  EXPECT_EQ(stats.framesDelivered, 2u);
  EXPECT_EQ(stats.framesOverMemoryLimit, 3u);
  EXPECT_TRUE(vid->isRunning()) << "the run goes on towards its four frames";
  EXPECT_EQ(imaqkit::frameMemoryUse().framesHeld, 2u);

  std::vector<imaqkit::Frame> first = vid->getFrames();
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(imaqkit::frameMemoryUse().framesHeld, 0u) << "frames taken leave room";
  fake::shoot(2);
  ASSERT_TRUE(vid->waitUntilStopped(patience));
  ASSERT_TRUE(vid->waitForFrames(2, patience));
  EXPECT_EQ(imaqkit::frameMemoryUse().framesHeld, 2u);
  std::vector<imaqkit::Frame> rest = vid->getFrames();
  ASSERT_EQ(rest.size(), 2u);
  const imaqkit::Frame *kept[] = {&first[0], &first[1], &rest[0], &rest[1]};
  const std::uint64_t numbers[] = {0, 1, 5, 6};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(kept[i]->number, numbers[i]) << "frame " << i;
    EXPECT_EQ(kept[i]->pixel(0, 0), numbers[i]) << "the image it holds, for frame " << i;
  }
  stats = vid->stats();
  EXPECT_EQ(stats.framesDelivered, 4u);
  EXPECT_EQ(stats.framesOverMemoryLimit, 3u);
  EXPECT_EQ(stats.framesWanted - stats.framesDelivered - stats.framesOverMemoryLimit, 0u)
      << "none wanted and never delivered";
  const imaqkit::FrameMemoryUse use = imaqkit::frameMemoryUse();
  EXPECT_EQ(use.peakFramesHeld, 2u);
  EXPECT_LE(use.peakBytesHeld, use.limit);
}

TEST_F(FrameMemory, TheLimitIsSharedByEveryObjectAndFlushingGivesMemoryBack) {
  limitTo(3 * frameBytes); // a frame that reaches the limit exactly is kept
  fake::setCameras(2);
  auto left = library_->createVideoInput(0);
  auto right = library_->createVideoInput(1);
  left->set("FramesPerTrigger", 2);
  left->start();
  fake::shoot(2);
  ASSERT_TRUE(left->waitUntilStopped(patience));
  ASSERT_TRUE(fake::waitForLog("run end", 1, patience));

  right->set("FramesPerTrigger", 3);
  right->recordCalls(true);
  right->start();
  fake::shoot(2);
  ASSERT_TRUE(right->waitForCall("countFrame", 2, patience));
  EXPECT_EQ(right->stats().framesDelivered, 1u) << "room for one beside the left camera's two";
  EXPECT_EQ(right->stats().framesOverMemoryLimit, 1u);
  EXPECT_EQ(imaqkit::frameMemoryUse().bytesHeld, 3 * frameBytes);

  left.reset(); // its two buffered frames go with it
  fake::shoot(2);
  ASSERT_TRUE(right->waitUntilStopped(patience));
  std::vector<imaqkit::Frame> frames = right->getFrames();
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0].number, 0u);
  EXPECT_EQ(frames[1].number, 2u);
  EXPECT_EQ(frames[2].number, 3u);

  ASSERT_TRUE(fake::waitForLog("run end", 2, patience));
  right->set("FramesPerTrigger", 2);
  right->start();
  fake::shoot(2);
  ASSERT_TRUE(right->waitUntilStopped(patience));
  EXPECT_EQ(imaqkit::frameMemoryUse().framesHeld, 2u);
  right->set("FramesPerTrigger", 1);
  right->start(); // flushes the buffer
  EXPECT_EQ(imaqkit::frameMemoryUse().framesHeld, 0u);
  EXPECT_LE(imaqkit::frameMemoryUse().peakBytesHeld, 3 * frameBytes);
}
