// A run whose image numbers wrap: corvid reads the driver's int32 numbers
// as they come, past 2147483647 to -2147483648 and past -1 to 0, and every
// image becomes a frame, in order, none dropped.
#include "corvid_fixture.h"

using std::string;
using std::vector;

namespace {

class CorvidImageNumberWrap : public Corvid, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(CorvidImageNumberWrap, EveryImageBecomesAFrameInOrder) {
  constexpr uint32_t images = 6;
  const uint32_t first = GetParam();
  ASSERT_EQ(andorSimSetFirstImageNumber(narrow, first), ANDOR_STATUS_SUCCESS);
  auto vid = open(1);
  vid->set("FramesPerTrigger", int(images));
  trace_.clear();
  vid->start();
  for (size_t i = 1; i <= images; ++i) {
    shoot(narrow);
    ASSERT_TRUE(vid->waitForCall("countFrame", i, patience));
  }
  ASSERT_TRUE(vid->waitForFrames(images, patience));
  vid->close();

  const vector<imaqkit::Frame> frames = vid->getFrames();
  ASSERT_EQ(frames.size(), size_t(images));
  vector<string> expectedReads;
  for (uint32_t i = 0; i < images; ++i) {
    const uint32_t number = first + i;
    EXPECT_EQ(frames[i].pixel(0, 0) | (frames[i].pixel(1, 0) << 16), number) << "frame " << i;
    if (i > 0) {
      EXPECT_GT(frames[i].time, frames[i - 1].time);
    }
    const string asInt32 = std::to_string(int32_t(number));
    expectedReads.push_back("getImages16(" + asInt32 + ", " + asInt32 + ", ptr, 512, ptr, ptr)");
  }
  vector<string> reads;
  for (const string &line : trace_.lines())
    if (line.compare(0, 12, "getImages16(") == 0) reads.push_back(line);
  EXPECT_EQ(reads, expectedReads) << "each image read once, by its number as the driver gives it";

  const imaqkit::AcquisitionStats stats = vid->stats();
  EXPECT_EQ(stats.imagesCounted, images);
  EXPECT_EQ(stats.framesWanted, images);
  EXPECT_EQ(stats.framesDelivered, images) << "none dropped";
  AndorSimCameraState state{};
  ASSERT_EQ(andorSimGetCamera(narrow, &state), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(state.counters.read, images);
  EXPECT_EQ(state.counters.lost, 0u);
}

INSTANTIATE_TEST_SUITE_P(AcrossTheSignBitAndAcrossZero, CorvidImageNumberWrap,
                         ::testing::Values(0x7FFFFFFDu, 0xFFFFFFFDu));

} // namespace
