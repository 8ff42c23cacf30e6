// Shared set-up of corvid's tests: the toolbox engine loads corvid by file
// name over the simulated Andor driver (deterministic: an image appears only
// when a test makes one), and one trace merges the driver's call log with
// the kit calls corvid makes, in the order they happened.
#ifndef CORVID_TESTS_CORVID_FIXTURE_H
#define CORVID_TESTS_CORVID_FIXTURE_H

#include "andor_sim_control.h"
#include "imaqkit_engine.h"
#include "imaqkit_test_control.h"
#include "thread_count.h"
#include "corvidAdaptor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

constexpr std::chrono::seconds patience{10};
constexpr uint32_t patienceMs = 10000;

// Camera 100 is 64 x 48, camera 101 is 32 x 16.
constexpr int32_t wide = 100, narrow = 101;

inline std::string driverLine(size_t index) {
  char line[512];
  andorSimCallLogLine(index, line, sizeof line);
  return line;
}

// One acquisition thread, seen through a handle of its own, so that its end
// can be awaited after its object has let go of the thread's handle.
class ThreadWatch {
public:
  explicit ThreadWatch(const corvidAdaptor &adaptor) {
    if (!DuplicateHandle(GetCurrentProcess(), adaptor.threadHandle, GetCurrentProcess(), &handle_, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
      handle_ = nullptr;
  }
  ~ThreadWatch() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  ThreadWatch(const ThreadWatch &) = delete;
  ThreadWatch &operator=(const ThreadWatch &) = delete;

  bool ended(uint32_t timeoutMs) const {
    return handle_ != nullptr && WaitForSingleObject(handle_, timeoutMs) == WAIT_OBJECT_0;
  }

private:
  HANDLE handle_ = nullptr;
};

inline std::vector<std::string> driverCalls() {
  std::vector<std::string> lines;
  for (size_t i = 0; i < andorSimCallLogCount(); ++i) lines.push_back(driverLine(i));
  return lines;
}

// Driver lines as they are ("selectCamera(101)"), kit calls marked
// ("kit frameWanted=true"), and warnings when a test asks for them
// ("warn corvid:imageSize The ..."). Kit calls are seen as they are made; driver
// lines are taken up before each kit call and whenever the trace is read,
// so calls made on one thread keep their order.
class Trace {
public:
  void kit(const std::string &entry) {
    std::lock_guard<std::mutex> lock(mutex_);
    takeDriverLines();
    lines_.push_back("kit " + entry);
  }
  void warning(const imaqkit::AdaptorWarning &warning) {
    std::lock_guard<std::mutex> lock(mutex_);
    takeDriverLines();
    lines_.push_back("warn " + warning.identifier + " " + warning.message);
  }
  std::vector<std::string> lines() {
    std::lock_guard<std::mutex> lock(mutex_);
    takeDriverLines();
    return lines_;
  }
  void clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    andorSimClearCallLog();
    seen_ = 0;
    lines_.clear();
  }

private:
  void takeDriverLines() {
    for (size_t n = andorSimCallLogCount(); seen_ < n; ++seen_) lines_.push_back(driverLine(seen_));
  }
  std::mutex mutex_;
  size_t seen_ = 0;
  std::vector<std::string> lines_;
};

class Corvid : public ::testing::Test {
protected:
  void SetUp() override {
    andorSimReset();
    ASSERT_EQ(andorSimAddCamera(wide, 64, 48), ANDOR_STATUS_SUCCESS);
    ASSERT_EQ(andorSimAddCamera(narrow, 32, 16), ANDOR_STATUS_SUCCESS);
    imaqkit::clearWarnings();
    imaqkit::test::stopFailingAllocations();
    blocks_ = imaqkit::test::liveBlocks();
    threads_ = threadcount::running();
    library_ = std::make_unique<imaqkit::AdaptorLibrary>(CORVID_FILE);
    // As the toolbox does before it opens a device; each test starts after.
    library_->enumerate();
    andorSimClearCallLog();
    imaqkit::clearWarnings();
  }

  void TearDown() override {
    imaqkit::observeWarnings(nullptr);
    library_.reset();
    imaqkit::test::stopFailingAllocations();
    EXPECT_EQ(imaqkit::test::liveBlocks(), blocks_) << "imaqmalloc blocks leaked";
    EXPECT_EQ(imaqkit::test::liveManagers(), 0);
    EXPECT_EQ(threadcount::settle(threads_), threads_) << "an acquisition thread outlived its object";
    andorSimReset();
  }

  // A device object of camera `device`, its kit calls merged into trace_.
  std::unique_ptr<imaqkit::VideoInput> open(int32_t device) {
    auto vid = library_->createVideoInput(device);
    vid->setCallObserver([this](const std::string &entry) { trace_.kit(entry); });
    vid->recordCalls(true);
    return vid;
  }

  // Blocks until the acquisition thread waits for an image, then makes one.
  static void shoot(int32_t camera, uint64_t waiters = 1) {
    ASSERT_EQ(andorSimWaitForWaiters(int32_t(waiters), patienceMs), 1) << "no thread waits for an image";
    ASSERT_EQ(andorSimProduceImages(camera, 1), 1);
  }

  // With several devices open a run waits on its camera's driver event,
  // not in the driver: once the camera has the event, an image wakes it.
  static void shootAtEvent(int32_t camera, int32_t images = 1) {
    ASSERT_EQ(andorSimWaitForDriverEvent(camera, patienceMs), 1) << "no run gave the camera an event";
    ASSERT_EQ(andorSimProduceImages(camera, images), images);
  }

  static std::vector<std::string> warningTexts(const std::string &id) {
    std::vector<std::string> texts;
    for (const imaqkit::AdaptorWarning &warning : imaqkit::warnings())
      if (warning.identifier == id) texts.push_back(warning.message);
    return texts;
  }

  std::unique_ptr<imaqkit::AdaptorLibrary> library_;
  Trace trace_;
  long blocks_ = 0;
  size_t threads_ = 0;
};

inline long count(const std::vector<std::string> &log, const std::string &entry) {
  return static_cast<long>(std::count(log.begin(), log.end(), entry));
}

inline long countPrefix(const std::vector<std::string> &log, const std::string &prefix) {
  return static_cast<long>(std::count_if(log.begin(), log.end(), [&](const std::string &line) {
    return line.compare(0, prefix.size(), prefix) == 0;
  }));
}

// The part of log from its first entry equal to mark on (empty if none).
inline std::vector<std::string> from(const std::vector<std::string> &log, const std::string &mark) {
  return std::vector<std::string>(std::find(log.begin(), log.end(), mark), log.end());
}

// Only the lines that are not kit calls: what the camera was told.
inline std::vector<std::string> driverOnly(const std::vector<std::string> &log) {
  std::vector<std::string> lines;
  for (const std::string &line : log)
    if (line.compare(0, 4, "kit ") != 0) lines.push_back(line);
  return lines;
}

// The set-up every run makes, for a detector of width x height.
inline std::vector<std::string> runSetUp(int width, int height, const std::string &exposure) {
  return {"driverSetting123(4)",
          "driverSetting152(1)",
          "setImageRegion(1, 1, 1, " + std::to_string(width) + ", 1, " + std::to_string(height) + ")",
          "driverSetting73(5)",
          "driverSetting131(0)",
          "setExposureTime(" + exposure + ")",
          "driverSetting219(1, 1, 0, 0, 0)",
          "startAcquisition()"};
}

#endif
