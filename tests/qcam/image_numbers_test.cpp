// Image numbers of the simulated QCam driver from a chosen next number, and
// each camera's own frame period.
#include "qcam_test_support.h"

#include <memory>

namespace {

TEST_F(QCamSimTest, GrabsAndQueuedFramesNumberOnAcrossTheWrap) {
  EXPECT_EQ(qcamSimSetNextImageNumber(999, 1), QCAM_SIM_INVALID_HANDLE);
  ASSERT_EQ(qcamSimSetNextImageNumber(deep, 0xFFFFFFFEu), QCAM_STATUS_SUCCESS);
  TestFrame grabbed(deepBytes);
  ASSERT_EQ(qcamGrabImage(deep, &grabbed.record), QCAM_STATUS_SUCCESS);
  EXPECT_EQ(grabbed.imageNumber16(), 0xFFFFFFFEu);

  std::vector<std::unique_ptr<TestFrame>> frames;
  for (uint32_t j = 0; j < 3; ++j) {
    frames.push_back(std::make_unique<TestFrame>(deepBytes));
    ASSERT_EQ(qcamQueueBuffer(deep, &frames[j]->record, nullptr, 0, nullptr, j), QCAM_STATUS_SUCCESS);
  }
  ASSERT_EQ(qcamSimProduceImages(deep, 3), 3);
  ASSERT_EQ(qcamSimWaitUntilDrained(patienceMs), 1);
  const uint32_t expected[] = {0xFFFFFFFFu, 0, 1};
  for (uint32_t j = 0; j < 3; ++j) {
    EXPECT_EQ(frames[j]->imageNumber16(), expected[j]) << j;
    EXPECT_EQ(frames[j]->record.driverFields[QCAM_SIM_FIELD_IMAGE_NUMBER], expected[j]) << j;
  }

  // The other camera numbers from 1; an 8-bit image carries all 32 bits too.
  ASSERT_EQ(qcamSimSetNextImageNumber(shallow, 0x80000000u), QCAM_STATUS_SUCCESS);
  TestFrame narrow(6 * 2);
  ASSERT_EQ(qcamGrabImage(shallow, &narrow.record), QCAM_STATUS_SUCCESS);
  EXPECT_EQ(narrow.imageNumber16(), 0x80000000u);
  EXPECT_EQ(counters(deep).produced, 4u);
}

TEST_F(QCamSimTest, EachCameraKeepsItsOwnFramePeriod) {
  // The shallow camera's period is far longer than the test: its queued
  // frame must stay queued while the deep camera's completes.
  ASSERT_EQ(qcamSimSetFramePeriod(shallow, 3600), QCAM_STATUS_SUCCESS);
  ASSERT_EQ(qcamSimSetFramePeriod(deep, 0.001), QCAM_STATUS_SUCCESS);
  TestFrame slow(6 * 2), fast(deepBytes);
  ASSERT_EQ(qcamQueueBuffer(shallow, &slow.record, nullptr, 0, nullptr, 0), QCAM_STATUS_SUCCESS);
  ASSERT_EQ(qcamQueueBuffer(deep, &fast.record, nullptr, 0, nullptr, 0), QCAM_STATUS_SUCCESS);
  qcamSimSetFreeRunning(1);
  ASSERT_EQ(qcamSimWaitForCompletions(1, patienceMs), 1);
  qcamSimSetFreeRunning(0);
  EXPECT_EQ(counters(deep).completed, 1u);
  EXPECT_EQ(qcamSimQueuedFrames(shallow), 1);
  EXPECT_EQ(counters(shallow).produced, 0u);
}

TEST_F(QCamSimTest, CameraHandlesAreListedInTheOrderAdded) {
  int32_t handles[1] = {};
  EXPECT_EQ(qcamSimCameraHandles(handles, 1), 2u);
  EXPECT_EQ(handles[0], deep);
  EXPECT_EQ(qcamSimCameraHandles(nullptr, 0), 2u);
}

} // namespace
