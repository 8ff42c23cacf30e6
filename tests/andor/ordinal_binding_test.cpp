// Every operation of the Andor driver, called through the driver's
// declarations as our libraries call it. On Windows this program imports the
// driver by ordinal through the import library made from ATMCD32D.def, so
// each call reaching the operation of its name (as the call log shows), with
// its arguments and results intact, proves the ordinals of the .def and of
// the simulated driver agree.
#include "andor_test_support.h"

namespace {

TEST_F(AndorSimTest, EveryOperationReachesItsNamesakeWithItsArguments) {
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  int32_t count = 0, handle = 0, width = 0, height = 0, first = 0, last = 0;
  int32_t validFirst = 0, validLast = 0;
  float exposure = 0, accumulate = 0, kinetic = 0;
  std::vector<uint16_t> image16(32 * 16);
  std::vector<uint32_t> image32(32 * 16);
  andorSimClearCallLog();

  EXPECT_EQ(initializeDriver("C:\\drivers"), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(getCameraCount(&count), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(getCameraHandle(1, &handle), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(selectCamera(handle), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(getDetectorSize(&width, &height), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(setImageRegion(1, 1, 1, width, 1, height), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(driverSetting123(4), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(driverSetting152(1), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(driverSetting73(5), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(driverSetting131(-7), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(driverSetting219(1, 2, 3, 4, 5), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(setExposureTime(0.25f), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(getAcquisitionTimings(&exposure, &accumulate, &kinetic), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(setDriverEvent(event), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(andorSimProduceImages(narrow, 3), 3);
  EXPECT_EQ(waitForAcquisition(), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(getNewImageRange(&first, &last), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(getImages16(first, first, image16.data(), 32 * 16, &validFirst, &validLast),
            ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(readOldestImage16(image16.data(), 32 * 16), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(readOldestImage32(image32.data(), 32 * 16), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(abortAcquisition(), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(setDriverEvent(nullptr), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(shutDownDriver(), ANDOR_STATUS_SUCCESS);

  const std::vector<std::string> expected = {
      "initializeDriver(\"C:\\drivers\")",
      "getCameraCount(ptr)",
      "getCameraHandle(1, ptr)",
      "selectCamera(101)",
      "getDetectorSize(ptr, ptr)",
      "setImageRegion(1, 1, 1, 32, 1, 16)",
      "driverSetting123(4)",
      "driverSetting152(1)",
      "driverSetting73(5)",
      "driverSetting131(-7)",
      "driverSetting219(1, 2, 3, 4, 5)",
      "setExposureTime(0.25)",
      "getAcquisitionTimings(ptr, ptr, ptr)",
      "setDriverEvent(ptr)",
      "startAcquisition()",
      "waitForAcquisition()",
      "getNewImageRange(ptr, ptr)",
      "getImages16(1, 1, ptr, 512, ptr, ptr)",
      "readOldestImage16(ptr, 512)",
      "readOldestImage32(ptr, 512)",
      "abortAcquisition()",
      "setDriverEvent(0)",
      "shutDownDriver()",
  };
  EXPECT_EQ(andorCallLog(), expected);

  // Results travel back through the same binding.
  EXPECT_EQ(count, 2);
  EXPECT_EQ(handle, narrow);
  EXPECT_EQ(width, 32);
  EXPECT_EQ(height, 16);
  EXPECT_FLOAT_EQ(exposure, 0.25f);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(last, 3);
  EXPECT_EQ(validLast, 1);
  EXPECT_EQ(imageNumberOf(image16.data()), 2u);
  EXPECT_EQ(imageNumberOf(image32.data()), 3u);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  CloseHandle(event);
}

} // namespace
