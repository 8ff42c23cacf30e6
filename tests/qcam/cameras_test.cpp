// Cameras, information keys, serial strings, injected statuses and the call
// log of the simulated QCam driver.
#include "environment_variable.h"
#include "qcam_test_support.h"

#include <cstring>

namespace {

uint32_t info(int32_t camera, uint32_t key) {
  uint32_t value = 0xFFFFFFFF;
  EXPECT_EQ(qcamGetInfo(camera, key, &value), QCAM_STATUS_SUCCESS) << "key " << key;
  return value;
}

TEST_F(QCamSimTest, InformationKeysGiveSizeDepthAndBytes) {
  EXPECT_EQ(info(deep, QCAM_INFO_IMAGE_HEIGHT), 4u);
  EXPECT_EQ(info(deep, QCAM_INFO_IMAGE_WIDTH), 8u);
  EXPECT_EQ(info(deep, QCAM_INFO_BIT_DEPTH), 16u);
  EXPECT_EQ(info(deep, QCAM_INFO_IMAGE_SIZE), 64u);
  EXPECT_EQ(info(shallow, QCAM_INFO_BIT_DEPTH), 8u);
  EXPECT_EQ(info(shallow, QCAM_INFO_IMAGE_SIZE), 12u);
  ASSERT_EQ(qcamSimAddCamera(202, "QX-202", 640, 480, 12), QCAM_STATUS_SUCCESS);
  EXPECT_EQ(info(202, QCAM_INFO_IMAGE_SIZE), 640u * 480u * 2u) << "12 bits take two bytes";

  uint32_t value = 7;
  EXPECT_EQ(qcamGetInfo(deep, 4, &value), QCAM_SIM_NOT_SUPPORTED);
  EXPECT_EQ(qcamGetInfo(999, QCAM_INFO_IMAGE_WIDTH, &value), QCAM_SIM_INVALID_HANDLE);
  EXPECT_EQ(qcamGetInfo(deep, QCAM_INFO_IMAGE_WIDTH, nullptr), QCAM_SIM_INVALID_VALUE);
  EXPECT_EQ(value, 7u) << "a refused query writes nothing";

  EXPECT_EQ(qcamSimAddCamera(deep, "again", 8, 8, 8), QCAM_SIM_INVALID_HANDLE);
  EXPECT_EQ(qcamSimAddCamera(0, "zero", 8, 8, 8), QCAM_SIM_INVALID_HANDLE);
  EXPECT_EQ(qcamSimAddCamera(203, "ten bits", 8, 8, 10), QCAM_SIM_INVALID_VALUE);
  EXPECT_EQ(qcamSimAddCamera(203, "empty", 0, 8, 8), QCAM_SIM_INVALID_VALUE);
  EXPECT_EQ(qcamSimAddCamera(203, nullptr, 8, 8, 8), QCAM_SIM_INVALID_VALUE);
}

TEST_F(QCamSimTest, SerialStringIsZeroTerminatedWithinTheBuffer) {
  char serial[256];
  std::memset(serial, 'x', sizeof serial);
  ASSERT_EQ(qcamGetSerialString(deep, serial, sizeof serial), QCAM_STATUS_SUCCESS);
  EXPECT_STREQ(serial, "QX-200");

  char cut[5];
  std::memset(cut, 'x', sizeof cut);
  ASSERT_EQ(qcamGetSerialString(deep, cut, 4), QCAM_STATUS_SUCCESS);
  EXPECT_STREQ(cut, "QX-");
  EXPECT_EQ(cut[4], 'x') << "nothing past the size given";

  EXPECT_EQ(qcamGetSerialString(deep, serial, 0), QCAM_SIM_INVALID_VALUE);
  EXPECT_EQ(qcamGetSerialString(999, serial, sizeof serial), QCAM_SIM_INVALID_HANDLE);
  EXPECT_STREQ(serial, "") << "an unknown camera leaves an empty text, not stale bytes";
}

TEST_F(QCamSimTest, InjectedStatusesReplaceTheOperationAndEveryCallIsLogged) {
  ASSERT_EQ(qcamSimInjectStatus("qcamGetInfo", 13, QCAM_SIM_ALWAYS), 1);
  uint32_t value = 0;
  EXPECT_EQ(qcamGetInfo(deep, QCAM_INFO_IMAGE_HEIGHT, &value), 13);
  EXPECT_EQ(qcamGetInfo(deep, QCAM_INFO_IMAGE_WIDTH, &value), 13);
  EXPECT_EQ(value, 0u);
  qcamSimClearInjectedStatuses();
  EXPECT_EQ(qcamGetInfo(deep, QCAM_INFO_IMAGE_WIDTH, &value), QCAM_STATUS_SUCCESS);

  // A refused queue call queues nothing and completes nothing.
  CompletionRecorder recorder;
  TestFrame frame(deepBytes);
  ASSERT_EQ(qcamSimInjectStatus("qcamQueueBuffer", 13, QCAM_SIM_ONCE), 1);
  EXPECT_EQ(qcamQueueBuffer(deep, &frame.record, CompletionRecorder::routine, 1, &recorder, 3), 13);
  EXPECT_EQ(qcamSimQueuedFrames(deep), 0);
  EXPECT_EQ(qcamSimProduceImages(deep, 1), 0);
  EXPECT_EQ(counters(deep).queued, 0u);
  EXPECT_EQ(qcamSimInjectStatus("qcamOpenCamera", 1, QCAM_SIM_ONCE), 0);

  qcamSimClearCallLog();
  char serial[256];
  qcamGetSerialString(deep, serial, 256);
  qcamGetInfo(deep, QCAM_INFO_IMAGE_SIZE, &value);
  qcamQueueBuffer(deep, &frame.record, CompletionRecorder::routine, 1, nullptr, 3);
  qcamGrabImage(shallow, nullptr);
  const std::vector<std::string> expected = {
      "qcamGetSerialString(200, ptr, 256)",
      "qcamGetInfo(200, 10, ptr)",
      "qcamQueueBuffer(200, ptr, ptr, 1, 0, 3)",
      "qcamGrabImage(201, 0)",
  };
  EXPECT_EQ(qcamCallLog(), expected);
}

TEST(QCamSimEnvironment, CamerasComeFromTheEnvironment) {
  setEnvironment("QCAM_SIM_CAMERAS", "2");
  setEnvironment("QCAM_SIM_SIZE", "32x16");
  setEnvironment("QCAM_SIM_BIT_DEPTH", "12");
  setEnvironment("QCAM_SIM_MODE", "deterministic");
  ASSERT_EQ(qcamSimConfigureFromEnvironment(), 1);
  for (int32_t camera : {200, 201}) {
    EXPECT_EQ(info(camera, QCAM_INFO_IMAGE_WIDTH), 32u);
    EXPECT_EQ(info(camera, QCAM_INFO_IMAGE_HEIGHT), 16u);
    EXPECT_EQ(info(camera, QCAM_INFO_BIT_DEPTH), 12u);
  }
  char serial[256];
  ASSERT_EQ(qcamGetSerialString(201, serial, sizeof serial), QCAM_STATUS_SUCCESS);
  EXPECT_STREQ(serial, "QSIM0201");

  setEnvironment("QCAM_SIM_CAMERAS", nullptr);
  setEnvironment("QCAM_SIM_SIZE", nullptr);
  setEnvironment("QCAM_SIM_BIT_DEPTH", "10");
  setEnvironment("QCAM_SIM_MODE", nullptr);
  ASSERT_EQ(qcamSimConfigureFromEnvironment(), 1);
  EXPECT_EQ(info(200, QCAM_INFO_BIT_DEPTH), 8u) << "an unknown depth falls back to 8 bits";
  EXPECT_EQ(info(200, QCAM_INFO_IMAGE_WIDTH), 640u);
  uint32_t value = 0;
  EXPECT_EQ(qcamGetInfo(201, QCAM_INFO_BIT_DEPTH, &value), QCAM_SIM_INVALID_HANDLE);
  setEnvironment("QCAM_SIM_BIT_DEPTH", nullptr);
  qcamSimReset();
}

} // namespace
