// A test that finds the simulated driver as a fresh process would (no
// cameras, an empty call log, nothing injected) and leaves it so: the
// driver is one per process and the next test must not see this one's.
#ifndef CAMERA_TESTS_SUPPORT_SIMULATED_DRIVER_TEST_H
#define CAMERA_TESTS_SUPPORT_SIMULATED_DRIVER_TEST_H

#include "simulated_driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

template <const SimulatedDriver &driver> class SimulatedDriverTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(driver.reset(), 1) << "the driver refused to reset"; }
  void TearDown() override { EXPECT_EQ(driver.reset(), 1) << "the driver refused to reset"; }

  static std::vector<std::string> callLog() { return driver.callLog(); }
};

#endif
