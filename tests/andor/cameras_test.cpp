// Cameras, selection, settings, exposure and injected statuses of the
// simulated Andor driver.
#include "andor_test_support.h"
#include "environment_variable.h"

namespace {

TEST_F(AndorSimTest, CamerasAreFoundByIndexAndTheCurrentOneIsChosenByHandle) {
  int32_t count = 0, handle = 0, width = 0, height = 0;
  ASSERT_EQ(getCameraCount(&count), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(count, 2);
  ASSERT_EQ(getCameraHandle(1, &handle), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(handle, narrow);
  EXPECT_EQ(getCameraHandle(2, &handle), ANDOR_SIM_INVALID_P1);
  EXPECT_EQ(getCameraHandle(-1, &handle), ANDOR_SIM_INVALID_P1);
  EXPECT_EQ(getCameraCount(nullptr), ANDOR_SIM_INVALID_P1);

  // The first camera added is current until another is selected.
  ASSERT_EQ(getDetectorSize(&width, &height), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(width, 64);
  EXPECT_EQ(height, 48);
  ASSERT_EQ(selectCamera(narrow), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(getDetectorSize(&width, &height), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(width, 32);
  EXPECT_EQ(height, 16);

  // An unknown handle is refused and the current camera stays.
  EXPECT_EQ(selectCamera(555), ANDOR_SIM_INVALID_P1);
  EXPECT_EQ(andorSimCurrentCamera(), narrow);
  EXPECT_EQ(andorSimAddCamera(narrow, 8, 8), ANDOR_SIM_INVALID_P1);
  EXPECT_EQ(andorSimAddCamera(0, 8, 8), ANDOR_SIM_INVALID_P1);

  andorSimReset();
  EXPECT_EQ(getDetectorSize(&width, &height), ANDOR_SIM_NO_CAMERA);
}

TEST_F(AndorSimTest, SettingsAreKeptPerCameraAndEveryCallIsLogged) {
  andorSimClearCallLog();
  ASSERT_EQ(initializeDriver("C:\\Program Files\\Andor SOLIS\\Drivers"), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(andorSimDriverInitialized(), 1);
  selectCamera(narrow);
  EXPECT_EQ(driverSetting123(4), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(driverSetting152(1), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(setImageRegion(1, 1, 1, 32, 1, 16), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(driverSetting73(5), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(driverSetting131(0), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(setExposureTime(0.01f), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(driverSetting219(1, 1, 0, 0, 0), ANDOR_STATUS_SUCCESS);
  float timings[3];
  getAcquisitionTimings(&timings[0], &timings[1], nullptr);

  const std::vector<std::string> expected = {
      "initializeDriver(\"C:\\Program Files\\Andor SOLIS\\Drivers\")",
      "selectCamera(101)",
      "driverSetting123(4)",
      "driverSetting152(1)",
      "setImageRegion(1, 1, 1, 32, 1, 16)",
      "driverSetting73(5)",
      "driverSetting131(0)",
      "setExposureTime(0.01)",
      "driverSetting219(1, 1, 0, 0, 0)",
      "getAcquisitionTimings(ptr, ptr, 0)",
  };
  EXPECT_EQ(andorCallLog(), expected);

  const AndorSimCameraState set = camera(narrow);
  EXPECT_EQ(set.setting123, 4);
  EXPECT_EQ(set.setting152, 1);
  EXPECT_EQ(set.setting73, 5);
  EXPECT_EQ(set.setting131, 0);
  EXPECT_EQ(std::vector<int32_t>(set.setting219, set.setting219 + 5), (std::vector<int32_t>{1, 1, 0, 0, 0}));
  EXPECT_EQ(camera(wide).setting123, 0) << "settings belong to the current camera only";

  // The numbered settings are taken during an acquisition too: a run ends
  // with one before it aborts.
  ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(driverSetting219(1, 0, 0, 0, 0), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(camera(narrow).setting219[1], 0);

  // A log line longer than the caller's buffer is cut, and its length told.
  char shortLine[8];
  EXPECT_EQ(andorSimCallLogLine(0, shortLine, sizeof shortLine), long(expected[0].size()));
  EXPECT_STREQ(shortLine, "initial");
  EXPECT_EQ(andorSimCallLogLine(1000, shortLine, sizeof shortLine), -1);
}

TEST_F(AndorSimTest, ExposureIsQuantisedToTheCameraClockAndNeverBelowItsMinimum) {
  float exposure = 0, accumulate = 0, kinetic = 0;
  ASSERT_EQ(setExposureTime(0.0123456f), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(getAcquisitionTimings(&exposure, &accumulate, &kinetic), ANDOR_STATUS_SUCCESS);
  EXPECT_FLOAT_EQ(exposure, 0.01235f);
  EXPECT_FLOAT_EQ(kinetic, exposure) << "without a frame period the camera runs at its exposure";
  EXPECT_FLOAT_EQ(camera(wide).exposureSet, 0.0123456f);

  for (float tooShort : {0.0f, 0.00004f}) {
    ASSERT_EQ(setExposureTime(tooShort), ANDOR_STATUS_SUCCESS);
    getAcquisitionTimings(&exposure, &accumulate, &kinetic);
    EXPECT_FLOAT_EQ(exposure, 0.0001f) << tooShort;
  }

  EXPECT_EQ(setExposureTime(-1.0f), ANDOR_SIM_INVALID_P1);
  EXPECT_EQ(setExposureTime(1e6f), ANDOR_SIM_INVALID_P1);
  getAcquisitionTimings(&exposure, &accumulate, &kinetic);
  EXPECT_FLOAT_EQ(exposure, 0.0001f) << "a refused exposure changes nothing";

  ASSERT_EQ(andorSimSetFramePeriod(wide, 0.05), ANDOR_STATUS_SUCCESS);
  getAcquisitionTimings(&exposure, &accumulate, &kinetic);
  EXPECT_FLOAT_EQ(kinetic, 0.05f);

  ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(setExposureTime(0.5f), ANDOR_SIM_ACQUIRING);
  EXPECT_EQ(startAcquisition(), ANDOR_SIM_ACQUIRING);
  getAcquisitionTimings(&exposure, &accumulate, &kinetic);
  EXPECT_FLOAT_EQ(exposure, 0.0001f);
  EXPECT_EQ(getAcquisitionTimings(nullptr, &accumulate, &kinetic), ANDOR_SIM_INVALID_P1);
  EXPECT_EQ(getAcquisitionTimings(&exposure, &accumulate, nullptr), ANDOR_SIM_INVALID_P3);
}

TEST_F(AndorSimTest, ImageRegionSetsTheImageSizeAndRefusesWhatDoesNotFit) {
  ASSERT_EQ(setImageRegion(2, 2, 1, 64, 1, 48), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(andorSimProduceImages(wide, 1), 1);
  std::vector<uint16_t> image(widePixels);
  EXPECT_EQ(readOldestImage16(image.data(), widePixels), ANDOR_SIM_INVALID_P2)
      << "the binned image is 32 x 24";
  EXPECT_EQ(readOldestImage16(image.data(), 32 * 24), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(setImageRegion(1, 1, 1, 64, 1, 48), ANDOR_SIM_ACQUIRING);
  ASSERT_EQ(abortAcquisition(), ANDOR_STATUS_SUCCESS);

  struct Refused {
    int32_t region[6];
    int32_t status;
  };
  const Refused refused[] = {
      {{0, 1, 1, 64, 1, 48}, ANDOR_SIM_INVALID_P1},  {{1, 0, 1, 64, 1, 48}, ANDOR_SIM_INVALID_P2},
      {{1, 1, 0, 64, 1, 48}, ANDOR_SIM_INVALID_P3},  {{1, 1, 10, 9, 1, 48}, ANDOR_SIM_INVALID_P4},
      {{1, 1, 1, 65, 1, 48}, ANDOR_SIM_INVALID_P4},  {{4, 1, 1, 3, 1, 48}, ANDOR_SIM_INVALID_P4},
      {{1, 1, 1, 64, 49, 48}, ANDOR_SIM_INVALID_P5}, {{1, 1, 1, 64, 1, 49}, ANDOR_SIM_INVALID_P6},
  };
  for (const Refused &r : refused) {
    EXPECT_EQ(setImageRegion(r.region[0], r.region[1], r.region[2], r.region[3], r.region[4], r.region[5]),
              r.status);
  }
  const AndorSimCameraState state = camera(wide);
  EXPECT_EQ(std::vector<int32_t>(state.region, state.region + 6), (std::vector<int32_t>{2, 2, 1, 64, 1, 48}))
      << "a refused region leaves the last one in force";
}

TEST_F(AndorSimTest, AnInjectedStatusReplacesTheOperationOnceOrAlways) {
  ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(andorSimProduceImages(wide, 1), 1);
  std::vector<uint16_t> image(widePixels, 0);

  ASSERT_EQ(andorSimInjectStatus("readOldestImage16", 20013, ANDOR_SIM_ONCE), 1);
  EXPECT_EQ(readOldestImage16(image.data(), widePixels), 20013);
  EXPECT_EQ(image[0], 0) << "an injected status writes nothing";
  ASSERT_EQ(readOldestImage16(image.data(), widePixels), ANDOR_STATUS_SUCCESS)
      << "a status injected once is used up, and the image was not consumed";
  EXPECT_EQ(imageNumberOf(image.data()), 1u);

  ASSERT_EQ(andorSimInjectStatus("selectCamera", ANDOR_SIM_INVALID_P1, ANDOR_SIM_ALWAYS), 1);
  EXPECT_EQ(selectCamera(narrow), ANDOR_SIM_INVALID_P1);
  EXPECT_EQ(selectCamera(narrow), ANDOR_SIM_INVALID_P1);
  EXPECT_EQ(andorSimCurrentCamera(), wide);
  andorSimClearInjectedStatuses();
  EXPECT_EQ(selectCamera(narrow), ANDOR_STATUS_SUCCESS);

  EXPECT_EQ(andorSimInjectStatus("noSuchOperation", 1, ANDOR_SIM_ONCE), 0);
  EXPECT_EQ(andorSimInjectStatus(nullptr, 1, ANDOR_SIM_ONCE), 0);
}

TEST_F(AndorSimTest, ShutDownEndsEveryAcquisitionAndWithdrawsEveryEvent) {
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  ASSERT_NE(event, nullptr);
  initializeDriver("drivers");
  ASSERT_EQ(setDriverEvent(event), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(shutDownDriver(), ANDOR_STATUS_SUCCESS);

  EXPECT_EQ(andorSimDriverInitialized(), 0);
  EXPECT_EQ(camera(wide).acquiring, 0);
  EXPECT_EQ(camera(wide).event, nullptr);
  EXPECT_EQ(andorSimProduceImages(wide, 1), 0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  CloseHandle(event);
}

TEST(AndorSimEnvironment, CamerasComeFromTheEnvironment) {
  setEnvironment("ANDOR_SIM_CAMERAS", "3");
  setEnvironment("ANDOR_SIM_SIZE", "64x32,16x8");
  setEnvironment("ANDOR_SIM_MODE", "deterministic");
  setEnvironment("ANDOR_SIM_RING", "5");
  andorSimConfigureFromEnvironment();

  int32_t count = 0;
  getCameraCount(&count);
  ASSERT_EQ(count, 3);
  const int32_t sizes[3][2] = {{64, 32}, {16, 8}, {16, 8}};
  for (int32_t i = 0; i < 3; ++i) {
    AndorSimCameraState state{};
    ASSERT_EQ(andorSimGetCamera(100 + i, &state), ANDOR_STATUS_SUCCESS);
    EXPECT_EQ(state.detectorWidth, sizes[i][0]);
    EXPECT_EQ(state.detectorHeight, sizes[i][1]);
    EXPECT_EQ(state.ringCapacity, 5u);
  }
  EXPECT_EQ(andorSimCurrentCamera(), 100);
  ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(andorSimProduceImages(100, 2), 2) << "deterministic: images come when asked";

  // What does not parse is reported and replaced by the default.
  setEnvironment("ANDOR_SIM_CAMERAS", nullptr);
  setEnvironment("ANDOR_SIM_SIZE", "wide");
  setEnvironment("ANDOR_SIM_MODE", nullptr);
  setEnvironment("ANDOR_SIM_RING", nullptr);
  andorSimConfigureFromEnvironment();
  getCameraCount(&count);
  EXPECT_EQ(count, 1);
  AndorSimCameraState state{};
  ASSERT_EQ(andorSimGetCamera(100, &state), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(state.detectorWidth, 512);
  setEnvironment("ANDOR_SIM_SIZE", nullptr);
  andorSimReset();
}

// Each camera's acquisitions are numbered from its own entry of the list;
// the last entry stands for the cameras after it, as with ANDOR_SIM_SIZE.
TEST(AndorSimEnvironment, FirstImageNumbersComePerCamera) {
  const auto firstImageOf = [](int32_t handle) {
    EXPECT_EQ(selectCamera(handle), ANDOR_STATUS_SUCCESS);
    EXPECT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
    EXPECT_EQ(andorSimProduceImages(handle, 1), 1);
    AndorSimCameraState state{};
    EXPECT_EQ(andorSimGetCamera(handle, &state), ANDOR_STATUS_SUCCESS);
    EXPECT_EQ(abortAcquisition(), ANDOR_STATUS_SUCCESS);
    return uint32_t(state.lastImage);
  };
  setEnvironment("ANDOR_SIM_CAMERAS", "3");
  setEnvironment("ANDOR_SIM_MODE", "deterministic");
  setEnvironment("ANDOR_SIM_FIRST_IMAGE", "7,4294967295");
  andorSimConfigureFromEnvironment();
  EXPECT_EQ(firstImageOf(100), 7u);
  EXPECT_EQ(firstImageOf(101), 4294967295u);
  EXPECT_EQ(firstImageOf(102), 4294967295u) << "the last entry stands for the cameras after it";

  setEnvironment("ANDOR_SIM_FIRST_IMAGE", "0");
  andorSimConfigureFromEnvironment();
  for (int32_t handle = 100; handle < 103; ++handle)
    EXPECT_EQ(firstImageOf(handle), 0u) << "one number is every camera's, camera " << handle;

  // A list with any entry that does not parse is reported and replaced by
  // the default for every camera, as a size list is.
  for (const char *refused : {"5,x", "5,", ",5", "5,-1", "5,4294967296", " 5", "5;6"}) {
    setEnvironment("ANDOR_SIM_FIRST_IMAGE", refused);
    andorSimConfigureFromEnvironment();
    EXPECT_EQ(firstImageOf(100), 1u) << refused;
    EXPECT_EQ(firstImageOf(102), 1u) << refused;
  }
  setEnvironment("ANDOR_SIM_FIRST_IMAGE", nullptr);
  setEnvironment("ANDOR_SIM_MODE", nullptr);
  setEnvironment("ANDOR_SIM_CAMERAS", nullptr);
  andorSimReset();
}

#ifdef _WIN32
// MATLAB's setenv changes the process's environment block, not the copy the
// driver's C runtime took when it started.
TEST(AndorSimEnvironment, AVariableSetOutsideTheCRuntimeIsSeen) {
  ASSERT_TRUE(SetEnvironmentVariableA("ANDOR_SIM_CAMERAS", "2"));
  andorSimConfigureFromEnvironment();
  SetEnvironmentVariableA("ANDOR_SIM_CAMERAS", nullptr);
  int32_t count = 0;
  getCameraCount(&count);
  EXPECT_EQ(count, 2);
  andorSimReset();
}
#endif

} // namespace
