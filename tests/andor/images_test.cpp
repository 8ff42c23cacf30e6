// The ring of images of the simulated Andor driver: reading the oldest
// unread image, new-image ranges, overflow, and what an image holds.
#include "andor_test_support.h"

#include <algorithm>
#include <cstdlib>

namespace {

TEST_F(AndorSimTest, OldestImagesAreReadInOrderAndEachOnlyOnce) {
  std::vector<uint16_t> image(widePixels);
  EXPECT_EQ(readOldestImage16(image.data(), widePixels), ANDOR_SIM_NO_NEW_DATA);

  ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(andorSimProduceImages(wide, 3), 3);
  EXPECT_EQ(readOldestImage16(nullptr, widePixels), ANDOR_SIM_INVALID_P1);
  EXPECT_EQ(readOldestImage16(image.data(), widePixels - 1), ANDOR_SIM_INVALID_P2);
  EXPECT_EQ(readOldestImage16(image.data(), widePixels + 1), ANDOR_SIM_INVALID_P2);

  ASSERT_EQ(readOldestImage16(image.data(), widePixels), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(imageNumberOf(image.data()), 1u) << "a refused read consumes nothing";
  ASSERT_EQ(readOldestImage16(image.data(), widePixels), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(imageNumberOf(image.data()), 2u);
  std::vector<uint32_t> wideImage(widePixels);
  ASSERT_EQ(readOldestImage32(wideImage.data(), widePixels), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(imageNumberOf(wideImage.data()), 3u);
  EXPECT_EQ(readOldestImage16(image.data(), widePixels), ANDOR_SIM_NO_NEW_DATA);

  // Images stay readable after the acquisition ends, until the next starts.
  ASSERT_EQ(andorSimProduceImages(wide, 1), 1);
  ASSERT_EQ(abortAcquisition(), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(abortAcquisition(), ANDOR_SIM_IDLE);
  ASSERT_EQ(readOldestImage16(image.data(), widePixels), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(imageNumberOf(image.data()), 4u);

  const AndorSimCounters counters = camera(wide).counters;
  EXPECT_EQ(counters.produced, 4u);
  EXPECT_EQ(counters.read, 4u);
  EXPECT_EQ(counters.lost, 0u);

  // Reads go to the current camera only.
  selectCamera(narrow);
  EXPECT_EQ(readOldestImage16(image.data(), 32 * 16), ANDOR_SIM_NO_NEW_DATA);
}

TEST_F(AndorSimTest, ImagesShowANoisySceneStampedWithTheirNumber) {
  std::vector<uint16_t> first(widePixels), second(widePixels);
  ASSERT_EQ(andorSimSetSceneMotion(wide, 0), ANDOR_STATUS_SUCCESS); // a still scene
  ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(andorSimProduceImages(wide, 2), 2);
  ASSERT_EQ(readOldestImage16(first.data(), widePixels), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(readOldestImage16(second.data(), widePixels), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(first[0], 1);
  EXPECT_EQ(first[1], 0);
  EXPECT_EQ(second[0], 2);

  // A scene, not a flat field; fresh noise in each image, around the same scene.
  const auto [darkest, brightest] = std::minmax_element(first.begin() + 2, first.end());
  EXPECT_GT(*brightest - *darkest, 1000);
  size_t differing = 0;
  for (size_t i = 2; i < widePixels; ++i) {
    differing += first[i] != second[i];
    ASSERT_LE(std::abs(int(first[i]) - int(second[i])), 255) << "pixel " << i;
  }
  EXPECT_GT(differing, widePixels / 2);

  // The 32-bit read gives the same pixel values: image 1 of every acquisition
  // is the same picture.
  ASSERT_EQ(abortAcquisition(), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(andorSimProduceImages(wide, 1), 1);
  std::vector<uint32_t> widened(widePixels);
  ASSERT_EQ(readOldestImage32(widened.data(), widePixels), ANDOR_STATUS_SUCCESS);
  EXPECT_TRUE(std::equal(first.begin(), first.end(), widened.begin()))
      << "numbering starts again at 1 and the pixels are widened, not changed";
}

TEST_F(AndorSimTest, NewImageRangeAndGetImagesReadFromTheRing) {
  int32_t first = 0, last = 0, validFirst = 0, validLast = 0;
  ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(getNewImageRange(&first, &last), ANDOR_SIM_NO_NEW_DATA);
  ASSERT_EQ(andorSimProduceImages(wide, 3), 3);
  ASSERT_EQ(getNewImageRange(&first, &last), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(last, 3);

  // A guard after the buffer shows that nothing is written past the size.
  const uint16_t guard = 0xBEEF;
  std::vector<uint16_t> buffer(2 * widePixels + 8, guard);
  ASSERT_EQ(getImages16(1, 1, buffer.data(), widePixels, &validFirst, &validLast), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(imageNumberOf(buffer.data()), 1u);
  EXPECT_EQ(validFirst, 1);
  EXPECT_EQ(validLast, 1);
  EXPECT_EQ(buffer[widePixels], guard);
  ASSERT_EQ(getNewImageRange(&first, &last), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(first, 2) << "an image read is no longer new";

  ASSERT_EQ(getImages16(2, 3, buffer.data(), 2 * widePixels, nullptr, nullptr), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(imageNumberOf(buffer.data()), 2u);
  EXPECT_EQ(imageNumberOf(buffer.data() + widePixels), 3u);
  EXPECT_TRUE(std::all_of(buffer.begin() + 2 * widePixels, buffer.end(),
                          [&](uint16_t pixel) { return pixel == guard; }));
  EXPECT_EQ(getNewImageRange(&first, &last), ANDOR_SIM_NO_NEW_DATA);
  EXPECT_EQ(readOldestImage16(buffer.data(), widePixels), ANDOR_SIM_NO_NEW_DATA);

  EXPECT_EQ(getImages16(0, 1, buffer.data(), widePixels, nullptr, nullptr), ANDOR_SIM_INVALID_P1);
  EXPECT_EQ(getImages16(2, 4, buffer.data(), 3 * widePixels, nullptr, nullptr), ANDOR_SIM_INVALID_P2);
  EXPECT_EQ(getImages16(2, 1, buffer.data(), widePixels, nullptr, nullptr), ANDOR_SIM_INVALID_P2);
  EXPECT_EQ(getImages16(1, 1, nullptr, widePixels, nullptr, nullptr), ANDOR_SIM_INVALID_P3);
  EXPECT_EQ(getImages16(1, 2, buffer.data(), widePixels, nullptr, nullptr), ANDOR_SIM_INVALID_P4);
  EXPECT_EQ(getImages16(1, 1, buffer.data(), widePixels, nullptr, nullptr), ANDOR_STATUS_SUCCESS)
      << "images read stay in the ring and can be read again";
  EXPECT_EQ(getNewImageRange(nullptr, &last), ANDOR_SIM_INVALID_P1);
}

TEST_F(AndorSimTest, RingOverflowPushesOutTheOldestImagesAndCountsThoseUnread) {
  ASSERT_EQ(andorSimSetRingCapacity(wide, 4), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(andorSimSetRingCapacity(wide, 0), ANDOR_SIM_INVALID_P2);
  ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);

  std::vector<uint16_t> image(widePixels);
  ASSERT_EQ(andorSimProduceImages(wide, 2), 2);
  ASSERT_EQ(readOldestImage16(image.data(), widePixels), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(readOldestImage16(image.data(), widePixels), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(andorSimProduceImages(wide, 4), 4);
  EXPECT_EQ(camera(wide).counters.lost, 0u) << "images pushed out after being read are not lost";

  ASSERT_EQ(andorSimProduceImages(wide, 4), 4);
  EXPECT_EQ(camera(wide).counters.lost, 4u) << "images 3 to 6 went unread";
  int32_t first = 0, last = 0;
  ASSERT_EQ(getNewImageRange(&first, &last), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(first, 7);
  EXPECT_EQ(last, 10);
  EXPECT_EQ(getImages16(6, 6, image.data(), widePixels, nullptr, nullptr), ANDOR_SIM_INVALID_P1);
  ASSERT_EQ(readOldestImage16(image.data(), widePixels), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(imageNumberOf(image.data()), 7u);

  const AndorSimCounters counters = camera(wide).counters;
  EXPECT_EQ(counters.produced, 10u);
  EXPECT_EQ(counters.read, 3u);
}

} // namespace
