// Image numbers of the simulated Andor driver from a chosen first number:
// 32-bit numbers that wrap, read as int32 by the driver's operations, with
// ranges and reads still in the acquisition's order.
#include "andor_test_support.h"

#include <climits>

namespace {

class AndorImageNumbersTest : public AndorSimTest {
protected:
  // Starts the wide camera's acquisition at first and makes count images.
  void acquireFrom(uint32_t first, int32_t count) {
    ASSERT_EQ(andorSimSetFirstImageNumber(wide, first), ANDOR_STATUS_SUCCESS);
    ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
    ASSERT_EQ(andorSimProduceImages(wide, count), count);
  }
  std::vector<uint16_t> images(size_t count) const { return std::vector<uint16_t>(count * widePixels); }
};

TEST_F(AndorImageNumbersTest, ARangeAcrossTheSignBitIsReadInOrder) {
  acquireFrom(0x7FFFFFFEu, 4);
  int32_t first = 0, last = 0;
  ASSERT_EQ(getNewImageRange(&first, &last), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(first, INT32_MAX - 1);
  EXPECT_EQ(last, INT32_MIN + 1) << "the same 32 bits, read as int32";
  EXPECT_EQ(camera(wide).lastImage, INT32_MIN + 1);

  std::vector<uint16_t> pixels = images(4);
  int32_t validFirst = 0, validLast = 0;
  ASSERT_EQ(getImages16(first, last, pixels.data(), uint32_t(pixels.size()), &validFirst, &validLast),
            ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(validFirst, first);
  EXPECT_EQ(validLast, last);
  const uint32_t expected[] = {0x7FFFFFFEu, 0x7FFFFFFFu, 0x80000000u, 0x80000001u};
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(imageNumberOf(&pixels[i * widePixels]), expected[i]) << i;
  EXPECT_EQ(getNewImageRange(&first, &last), ANDOR_SIM_NO_NEW_DATA);
  EXPECT_EQ(camera(wide).counters.read, 4u);
}

TEST_F(AndorImageNumbersTest, ReadsPassFromMinusOneToZeroOneImageAtATime) {
  acquireFrom(0xFFFFFFFEu, 4);
  std::vector<uint16_t> pixels = images(2);
  ASSERT_EQ(readOldestImage16(pixels.data(), widePixels), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(imageNumberOf(pixels.data()), 0xFFFFFFFEu);

  int32_t first = 0, last = 0;
  ASSERT_EQ(getNewImageRange(&first, &last), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(first, -1);
  EXPECT_EQ(last, 1);
  // A range in the numbers' order but not the acquisition's is refused, as
  // is a number before the acquisition's first.
  EXPECT_EQ(getImages16(1, -1, pixels.data(), uint32_t(pixels.size()), nullptr, nullptr),
            ANDOR_SIM_INVALID_P2);
  EXPECT_EQ(getImages16(-3, -2, pixels.data(), uint32_t(pixels.size()), nullptr, nullptr),
            ANDOR_SIM_INVALID_P1);
  ASSERT_EQ(getImages16(-1, 0, pixels.data(), uint32_t(pixels.size()), nullptr, nullptr),
            ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(imageNumberOf(pixels.data()), 0xFFFFFFFFu);
  EXPECT_EQ(imageNumberOf(&pixels[widePixels]), 0u);

  std::vector<uint32_t> widened(widePixels);
  ASSERT_EQ(readOldestImage32(widened.data(), widePixels), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(imageNumberOf(widened.data()), 1u);
  EXPECT_EQ(readOldestImage16(pixels.data(), widePixels), ANDOR_SIM_NO_NEW_DATA);
}

TEST_F(AndorImageNumbersTest, ImagesPushedOutAcrossTheWrapAreCountedLost) {
  ASSERT_EQ(andorSimSetRingCapacity(wide, 2), ANDOR_STATUS_SUCCESS);
  acquireFrom(0xFFFFFFFFu, 4); // -1, 0, 1, 2: the first two are pushed out
  int32_t first = 0, last = 0;
  ASSERT_EQ(getNewImageRange(&first, &last), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(last, 2);
  EXPECT_EQ(camera(wide).counters.lost, 2u);
  std::vector<uint16_t> pixels = images(1);
  EXPECT_EQ(getImages16(0, 0, pixels.data(), widePixels, nullptr, nullptr), ANDOR_SIM_INVALID_P1);
}

TEST_F(AndorImageNumbersTest, TheFirstNumberHoldsForEachLaterAcquisitionOfThatCameraOnly) {
  EXPECT_EQ(andorSimSetFirstImageNumber(999, 5), ANDOR_SIM_INVALID_P1);
  acquireFrom(0x80000000u, 0);
  EXPECT_EQ(camera(wide).lastImage, INT32_MAX) << "before the first image: the number before it";
  ASSERT_EQ(andorSimProduceImages(wide, 2), 2);
  ASSERT_EQ(abortAcquisition(), ANDOR_STATUS_SUCCESS);

  ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(andorSimProduceImages(wide, 1), 1);
  std::vector<uint16_t> pixels = images(1);
  ASSERT_EQ(readOldestImage16(pixels.data(), widePixels), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(imageNumberOf(pixels.data()), 0x80000000u) << "each acquisition starts again from it";
  ASSERT_EQ(abortAcquisition(), ANDOR_STATUS_SUCCESS);

  selectCamera(narrow);
  ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(andorSimProduceImages(narrow, 1), 1);
  EXPECT_EQ(camera(narrow).lastImage, 1) << "another camera still numbers from 1";
  ASSERT_EQ(abortAcquisition(), ANDOR_STATUS_SUCCESS);

  ASSERT_EQ(andorSimReset(), 1);
  ASSERT_EQ(andorSimAddCamera(wide, 64, 48), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(andorSimProduceImages(wide, 1), 1);
  EXPECT_EQ(camera(wide).lastImage, 1) << "a reset forgets it";
}

} // namespace
