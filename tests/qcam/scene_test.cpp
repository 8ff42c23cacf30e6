// The simulated QCam camera's scene: its spots move from image to image at
// the camera's rate, or hold still at rate 0, and its images follow from the
// seed and their numbers alone.
#include "image_difference.h"
#include "qcam_test_support.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int32_t scenic = 202; // 64 x 48, 12 bits
constexpr uint32_t scenicBytes = 64 * 48 * 2;
constexpr int noiseAmplitude = 31; // at 12 bits

class QCamSceneTest : public QCamSimTest {
protected:
  void SetUp() override {
    QCamSimTest::SetUp();
    ASSERT_EQ(qcamSimAddCamera(scenic, "QX-202", 64, 48, 12), QCAM_STATUS_SUCCESS);
  }
  // Grabs the image numbered number.
  static std::vector<uint16_t> grab(uint32_t number) {
    EXPECT_EQ(qcamSimSetNextImageNumber(scenic, number), QCAM_STATUS_SUCCESS);
    TestFrame frame(scenicBytes);
    EXPECT_EQ(qcamGrabImage(scenic, &frame.record), QCAM_STATUS_SUCCESS);
    std::vector<uint16_t> pixels(scenicBytes / 2);
    std::memcpy(pixels.data(), frame.buffer.data(), scenicBytes);
    return pixels;
  }
};

TEST_F(QCamSceneTest, SpotsMoveBetweenConsecutiveImagesAndHoldStillAtRateZero) {
  EXPECT_EQ(qcamSimSetSceneMotion(scenic, 1001), QCAM_SIM_INVALID_VALUE);
  EXPECT_EQ(qcamSimSetSceneMotion(999, 1), QCAM_SIM_INVALID_HANDLE);
  EXPECT_GT(largestDifference(grab(7), grab(8)), 4 * noiseAmplitude) << "the default: moving";

  ASSERT_EQ(qcamSimSetSceneMotion(scenic, 0), QCAM_STATUS_SUCCESS);
  EXPECT_LE(largestDifference(grab(7), grab(8)), noiseAmplitude) << "only the noise differs";
  const std::vector<uint16_t> image = grab(9);
  EXPECT_LT(*std::max_element(image.begin() + 2, image.end()), 1u << 12) << "within the bit depth";
}

TEST_F(QCamSceneTest, TheSameSeedGivesTheSameImagesNumberForNumber) {
  ASSERT_EQ(qcamSimSetSceneMotion(scenic, 3), QCAM_STATUS_SUCCESS);
  ASSERT_EQ(qcamSimSetSceneSeed(scenic, 5), QCAM_STATUS_SUCCESS);
  const std::vector<uint16_t> later = grab(41), earlier = grab(40);
  EXPECT_EQ(grab(41), later) << "the image follows from its number, not the order of making";
  EXPECT_NE(earlier, later);

  ASSERT_EQ(qcamSimSetSceneSeed(scenic, 6), QCAM_STATUS_SUCCESS);
  EXPECT_GT(largestDifference(grab(41), later), noiseAmplitude) << "another seed, another scene";
  ASSERT_EQ(qcamSimSetSceneSeed(scenic, 5), QCAM_STATUS_SUCCESS);
  EXPECT_EQ(grab(41), later);
}

// A still picture is the scene's image copied into every frame with only
// the stamp changed, drawn again when the scene changes.
TEST_F(QCamSceneTest, AStillPictureRepeatsOneImageWithEachImagesStamp) {
  EXPECT_EQ(qcamSimSetStillPicture(999, 1), QCAM_SIM_INVALID_HANDLE);
  const std::vector<uint16_t> drawn = grab(0);
  ASSERT_EQ(qcamSimSetStillPicture(scenic, 1), QCAM_STATUS_SUCCESS);
  const std::vector<uint16_t> first = grab(0x2FFFF), second = grab(0x30000);
  EXPECT_TRUE(std::equal(first.begin() + 2, first.end(), drawn.begin() + 2)) << "the scene's image, as drawn";
  EXPECT_TRUE(std::equal(second.begin() + 2, second.end(), first.begin() + 2));
  EXPECT_EQ(first[0], 0xFFFFu);
  EXPECT_EQ(first[1], 2u);
  EXPECT_EQ(second[0], 0u);
  EXPECT_EQ(second[1], 3u);

  ASSERT_EQ(qcamSimSetSceneSeed(scenic, 9), QCAM_STATUS_SUCCESS);
  const std::vector<uint16_t> reseeded = grab(5), next = grab(6);
  EXPECT_GT(largestDifference(reseeded, first), noiseAmplitude) << "another scene, another picture";
  EXPECT_TRUE(std::equal(reseeded.begin() + 2, reseeded.end(), next.begin() + 2)) << "and still";

  // At 8 bits the stamp is the first four bytes.
  ASSERT_EQ(qcamSimAddCamera(203, "QX-203", 16, 8, 8), QCAM_STATUS_SUCCESS);
  ASSERT_EQ(qcamSimSetStillPicture(203, 1), QCAM_STATUS_SUCCESS);
  ASSERT_EQ(qcamSimSetNextImageNumber(203, 0x01020304), QCAM_STATUS_SUCCESS);
  TestFrame narrow(16 * 8);
  ASSERT_EQ(qcamGrabImage(203, &narrow.record), QCAM_STATUS_SUCCESS);
  EXPECT_EQ(narrow.buffer[0], 4);
  EXPECT_EQ(narrow.buffer[3], 1);

  ASSERT_EQ(qcamSimSetStillPicture(scenic, 0), QCAM_STATUS_SUCCESS);
  ASSERT_EQ(qcamSimSetSceneMotion(scenic, 3), QCAM_STATUS_SUCCESS);
  EXPECT_GT(largestDifference(grab(7), grab(8)), 4 * noiseAmplitude) << "drawn again, moving";
}

} // namespace
