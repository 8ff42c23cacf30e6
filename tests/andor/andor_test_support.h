// Shared by the simulated Andor driver's tests: a fixture with two cameras
// in deterministic mode, and readers of the call log and image stamps.
#ifndef CAMERA_TESTS_ANDOR_TEST_SUPPORT_H
#define CAMERA_TESTS_ANDOR_TEST_SUPPORT_H

#include "drivers/andor_driver.h"
#include "simulated_andor.h"
#include "simulated_driver_test.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Camera 100 is 64 x 48 and current; camera 101 is 32 x 16.
class AndorSimTest : public SimulatedDriverTest<simulatedAndor> {
protected:
  static constexpr int32_t wide = 100, narrow = 101;
  static constexpr uint32_t widePixels = 64 * 48;

  void SetUp() override {
    SimulatedDriverTest::SetUp();
    ASSERT_EQ(andorSimAddCamera(wide, 64, 48), ANDOR_STATUS_SUCCESS);
    ASSERT_EQ(andorSimAddCamera(narrow, 32, 16), ANDOR_STATUS_SUCCESS);
  }

  static AndorSimCameraState camera(int32_t handle) {
    AndorSimCameraState state{};
    EXPECT_EQ(andorSimGetCamera(handle, &state), ANDOR_STATUS_SUCCESS);
    return state;
  }
};

inline std::vector<std::string> andorCallLog() { return simulatedAndor.callLog(); }

// The image number the driver stamps into pixels 0 (low half) and 1 (high half).
template <typename Pixel> uint32_t imageNumberOf(const Pixel *pixels) {
  return uint32_t(pixels[0]) | (uint32_t(pixels[1]) << 16);
}

#endif
