// Every operation of the QCam driver, called through the driver's
// declarations as our libraries call it. On Windows this program imports the
// driver by ordinal through the import library made from QCamDriver.def, so
// each call reaching the operation of its name (as the call log shows), with
// its arguments and results intact, proves the ordinals of the .def and of
// the simulated driver agree; the completion shows the routine's calling
// convention holds both ways.
#include "qcam_test_support.h"

namespace {

TEST_F(QCamSimTest, EveryOperationReachesItsNamesakeWithItsArguments) {
  char serial[256] = {};
  uint32_t height = 0, width = 0, depth = 0, bytes = 0;
  CompletionRecorder recorder;
  TestFrame queued(deepBytes), grabbed(deepBytes);
  qcamSimClearCallLog();

  EXPECT_EQ(qcamGetSerialString(deep, serial, 256), QCAM_STATUS_SUCCESS);
  EXPECT_EQ(qcamGetInfo(deep, QCAM_INFO_IMAGE_HEIGHT, &height), QCAM_STATUS_SUCCESS);
  EXPECT_EQ(qcamGetInfo(deep, QCAM_INFO_IMAGE_WIDTH, &width), QCAM_STATUS_SUCCESS);
  EXPECT_EQ(qcamGetInfo(deep, QCAM_INFO_BIT_DEPTH, &depth), QCAM_STATUS_SUCCESS);
  EXPECT_EQ(qcamGetInfo(deep, QCAM_INFO_IMAGE_SIZE, &bytes), QCAM_STATUS_SUCCESS);
  EXPECT_EQ(qcamQueueBuffer(deep, &queued.record, CompletionRecorder::routine, 1, &recorder, 41),
            QCAM_STATUS_SUCCESS);
  ASSERT_EQ(qcamSimProduceImages(deep, 1), 1);
  ASSERT_EQ(qcamSimWaitForCompletions(1, patienceMs), 1);
  EXPECT_EQ(qcamGrabImage(deep, &grabbed.record), QCAM_STATUS_SUCCESS);

  const std::vector<std::string> expected = {
      "qcamGetSerialString(200, ptr, 256)",
      "qcamGetInfo(200, 9, ptr)",
      "qcamGetInfo(200, 8, ptr)",
      "qcamGetInfo(200, 5, ptr)",
      "qcamGetInfo(200, 10, ptr)",
      "qcamQueueBuffer(200, ptr, ptr, 1, ptr, 41)",
      "qcamGrabImage(200, ptr)",
  };
  EXPECT_EQ(qcamCallLog(), expected);

  EXPECT_STREQ(serial, "QX-200");
  EXPECT_EQ(height, 4u);
  EXPECT_EQ(width, 8u);
  EXPECT_EQ(depth, 16u);
  EXPECT_EQ(bytes, deepBytes);
  const std::vector<Completion> completions = recorder.completions();
  ASSERT_EQ(completions.size(), 1u);
  EXPECT_EQ(completions[0].userPointer, &recorder);
  EXPECT_EQ(completions[0].userData, 41u);
  EXPECT_EQ(completions[0].errorCode, 0);
  EXPECT_EQ(completions[0].flags, 1u);
  EXPECT_EQ(queued.imageNumber16(), 1u);
  EXPECT_EQ(grabbed.imageNumber16(), 2u);
}

// The frame record is the driver's, byte for byte: 72 bytes where pointers
// are 32-bit; where they are 64-bit the buffer address widens to 8 bytes and
// the fields after it move up by 4. A record of another shape sends the
// driver the wrong buffer length and reads its fields from the wrong place.
TEST(QCamFrameRecordLayout, EveryFieldLiesWhereTheDriverReadsIt) {
  struct Layout {
    size_t address, length, fields, size;
  };
  const Layout expected = sizeof(void *) == 4 ? Layout{0, 4, 8, 72} : Layout{0, 8, 12, 80};
  EXPECT_EQ(offsetof(QCamFrameRecord, bufferAddress), expected.address);
  EXPECT_EQ(offsetof(QCamFrameRecord, bufferLength), expected.length);
  EXPECT_EQ(offsetof(QCamFrameRecord, driverFields), expected.fields);
  EXPECT_EQ(sizeof(QCamFrameRecord), expected.size);
  EXPECT_EQ(sizeof(QCamFrameRecord::bufferAddress), sizeof(void *));
  EXPECT_EQ(sizeof(QCamFrameRecord::bufferLength), 4u);
  EXPECT_EQ(sizeof(QCamFrameRecord::driverFields), 64u);
}

} // namespace
