// The simulated Andor camera's scene: its spots move from image to image at
// the camera's rate, or hold still at rate 0, and its images follow from the
// seed and their numbers alone.
#include "image_difference.h"
#include "andor_test_support.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Images of a still scene differ only by the noise, which adds at most this.
constexpr int noiseAmplitude = 127;

class AndorSceneTest : public AndorSimTest {
protected:
  // Images first to first + count - 1 of a new acquisition of the wide camera.
  std::vector<std::vector<uint16_t>> acquire(uint32_t first, int32_t count) {
    std::vector<std::vector<uint16_t>> images;
    EXPECT_EQ(andorSimSetFirstImageNumber(wide, first), ANDOR_STATUS_SUCCESS);
    EXPECT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
    EXPECT_EQ(andorSimProduceImages(wide, count), count);
    for (int32_t i = 0; i < count; ++i) {
      images.emplace_back(widePixels);
      EXPECT_EQ(readOldestImage16(images.back().data(), widePixels), ANDOR_STATUS_SUCCESS);
    }
    EXPECT_EQ(abortAcquisition(), ANDOR_STATUS_SUCCESS);
    return images;
  }
};

TEST_F(AndorSceneTest, SpotsMoveBetweenConsecutiveImagesAndHoldStillAtRateZero) {
  EXPECT_EQ(andorSimSetSceneMotion(wide, -1), ANDOR_SIM_INVALID_P2);
  EXPECT_EQ(andorSimSetSceneMotion(999, 1), ANDOR_SIM_INVALID_P1);
  const auto moving = acquire(1, 4); // the default: moving
  for (size_t i = 1; i < moving.size(); ++i)
    EXPECT_GT(largestDifference(moving[i - 1], moving[i]), 4 * noiseAmplitude)
        << "images " << i << ", " << i + 1;

  ASSERT_EQ(andorSimSetSceneMotion(wide, 0), ANDOR_STATUS_SUCCESS);
  const auto still = acquire(1, 4);
  for (size_t i = 1; i < still.size(); ++i) {
    EXPECT_LE(largestDifference(still[i - 1], still[i]), noiseAmplitude) << "only the noise differs";
    EXPECT_EQ(still[i][0], i + 1) << "and the stamp";
  }
}

TEST_F(AndorSceneTest, TheSameSeedGivesTheSameImagesNumberForNumber) {
  ASSERT_EQ(andorSimSetSceneMotion(wide, 5), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(andorSimSetSceneSeed(wide, 77), ANDOR_STATUS_SUCCESS);
  const auto first = acquire(1000, 3);
  ASSERT_EQ(andorSimReset(), 1);
  ASSERT_EQ(andorSimAddCamera(wide, 64, 48), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(andorSimSetSceneMotion(wide, 5), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(andorSimSetSceneSeed(wide, 77), ANDOR_STATUS_SUCCESS);
  const auto again = acquire(1001, 2); // starting later: the same numbers match
  EXPECT_EQ(again[0], first[1]);
  EXPECT_EQ(again[1], first[2]);

  ASSERT_EQ(andorSimSetSceneSeed(wide, 78), ANDOR_STATUS_SUCCESS);
  const auto other = acquire(1001, 1);
  EXPECT_GT(largestDifference(other[0], first[1]), noiseAmplitude) << "another seed, another scene";
}

// A still picture is the scene's first image, copied for every image with
// only the stamp changed: what a benchmark reads then costs no drawing.
TEST_F(AndorSceneTest, AStillPictureRepeatsTheFirstImageWithEachImagesStamp) {
  EXPECT_EQ(andorSimSetStillPicture(999, 1), ANDOR_SIM_INVALID_P1);
  const auto drawn = acquire(0x1FFFF, 2);
  ASSERT_EQ(andorSimSetStillPicture(wide, 1), ANDOR_STATUS_SUCCESS);
  const auto still = acquire(0x1FFFF, 3); // the stamp's high half steps after the first
  EXPECT_EQ(still[0], drawn[0]) << "the scene's first image, as drawn";
  for (size_t i = 1; i < still.size(); ++i) {
    EXPECT_TRUE(std::equal(still[i].begin() + 2, still[i].end(), still[0].begin() + 2)) << "image " << i;
    const uint32_t number = 0x1FFFFu + uint32_t(i);
    EXPECT_EQ(still[i][0], uint16_t(number)) << "image " << i;
    EXPECT_EQ(still[i][1], uint16_t(number >> 16)) << "image " << i;
  }
  ASSERT_EQ(andorSimSetStillPicture(wide, 0), ANDOR_STATUS_SUCCESS);
  const auto again = acquire(0x1FFFF, 2);
  EXPECT_GT(largestDifference(again[0], again[1]), 4 * noiseAmplitude) << "drawn again, moving";
}

} // namespace
