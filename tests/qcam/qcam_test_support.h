// Shared by the simulated QCam driver's tests: a fixture with cameras in
// deterministic mode, a recorder of completions, and readers of the log.
#ifndef CAMERA_TESTS_QCAM_TEST_SUPPORT_H
#define CAMERA_TESTS_QCAM_TEST_SUPPORT_H

#include "drivers/qcam_driver.h"
#include "simulated_driver_test.h"
#include "simulated_qcam.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

constexpr uint32_t patienceMs = 10000;

// Camera 200: 8 x 4, 16 bits (64-byte images). Camera 201: 6 x 2, 8 bits.
class QCamSimTest : public SimulatedDriverTest<simulatedQCam> {
protected:
  static constexpr int32_t deep = 200, shallow = 201;
  static constexpr uint32_t deepBytes = 8 * 4 * 2;

  void SetUp() override {
    SimulatedDriverTest::SetUp();
    ASSERT_EQ(qcamSimAddCamera(deep, "QX-200", 8, 4, 16), QCAM_STATUS_SUCCESS);
    ASSERT_EQ(qcamSimAddCamera(shallow, "QX-201", 6, 2, 8), QCAM_STATUS_SUCCESS);
  }

  static QCamSimCounters counters(int32_t handle) {
    QCamSimCounters out{};
    EXPECT_EQ(qcamSimGetCounters(handle, &out), QCAM_STATUS_SUCCESS);
    return out;
  }
};

// What the driver hands a completion routine, and on which thread.
struct Completion {
  void *userPointer;
  uint32_t userData;
  int32_t errorCode;
  uint32_t flags;
  std::thread::id thread;
};

class CompletionRecorder {
public:
  static void WINAPI routine(void *userPointer, uint32_t userData, int32_t errorCode, uint32_t flags) {
    auto *self = static_cast<CompletionRecorder *>(userPointer);
    if (!self) return;
    std::lock_guard<std::mutex> lock(self->mutex_);
    self->completions_.push_back({userPointer, userData, errorCode, flags, std::this_thread::get_id()});
  }
  std::vector<Completion> completions() {
    std::lock_guard<std::mutex> lock(mutex_);
    return completions_;
  }

private:
  std::mutex mutex_;
  std::vector<Completion> completions_;
};

// A frame record over a buffer of its own, with guard bytes beyond the
// length the driver is told.
struct TestFrame {
  static constexpr uint8_t guard = 0xAB;
  TestFrame(uint32_t length, uint32_t spare = 16) : buffer(length + spare, guard) {
    record.bufferAddress = buffer.data();
    record.bufferLength = length;
  }
  bool untouchedFrom(size_t offset) const {
    for (size_t i = offset; i < buffer.size(); ++i)
      if (buffer[i] != guard) return false;
    return true;
  }
  uint32_t imageNumber16() const {
    return uint32_t(buffer[0] | buffer[1] << 8) | uint32_t(buffer[2] | buffer[3] << 8) << 16;
  }
  std::vector<uint8_t> buffer;
  QCamFrameRecord record{};
};

inline std::vector<std::string> qcamCallLog() { return simulatedQCam.callLog(); }

#endif
