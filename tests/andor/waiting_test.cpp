// Waiting for images, the driver event and free-running acquisitions of the
// simulated Andor driver: the promises that threads of our libraries rely on.
#include "andor_test_support.h"

#include <chrono>
#include <future>
#include <thread>

namespace {

constexpr uint32_t patienceMs = 10000;

// waitForAcquisition on a thread of its own, as an acquisition thread calls it.
class Waiter {
public:
  Waiter() : thread_([this] { status_.set_value(waitForAcquisition()); }) {}
  ~Waiter() { thread_.join(); }
  // The status, or -1 when the waiter is still blocked after the patience.
  int32_t result() {
    if (future_.wait_for(std::chrono::milliseconds(patienceMs)) != std::future_status::ready) return -1;
    return future_.get();
  }

private:
  std::promise<int32_t> status_;
  std::future<int32_t> future_ = status_.get_future();
  std::thread thread_;
};

TEST_F(AndorSimTest, WaitReturnsOnceANewImageIsThere) {
  EXPECT_EQ(waitForAcquisition(), ANDOR_SIM_IDLE) << "nothing to wait for without an acquisition";
  ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);

  // An image that came before the wait is reported at once, and only once
  // however many came.
  ASSERT_EQ(andorSimProduceImages(wide, 3), 3);
  EXPECT_EQ(waitForAcquisition(), ANDOR_STATUS_SUCCESS);
  {
    Waiter waiter;
    ASSERT_EQ(andorSimWaitForWaiters(1, patienceMs), 1) << "the second wait must block";
    ASSERT_EQ(andorSimProduceImages(wide, 1), 1);
    EXPECT_EQ(waiter.result(), ANDOR_STATUS_SUCCESS);
  }

  // A wait belongs to the camera current when it began.
  {
    Waiter waiter;
    ASSERT_EQ(andorSimWaitForWaiters(1, patienceMs), 1);
    selectCamera(narrow);
    ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
    ASSERT_EQ(andorSimProduceImages(narrow, 1), 1);
    ASSERT_EQ(andorSimProduceImages(wide, 1), 1);
    EXPECT_EQ(waiter.result(), ANDOR_STATUS_SUCCESS);
    EXPECT_EQ(waitForAcquisition(), ANDOR_STATUS_SUCCESS) << "camera 101's image is still news";
  }
}

TEST_F(AndorSimTest, EndingTheAcquisitionReleasesAWaiterAtOnce) {
  ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
  {
    Waiter waiter;
    ASSERT_EQ(andorSimWaitForWaiters(1, patienceMs), 1);
    ASSERT_EQ(abortAcquisition(), ANDOR_STATUS_SUCCESS);
    EXPECT_EQ(waiter.result(), ANDOR_SIM_NO_NEW_DATA);
  }
  ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
  {
    Waiter waiter;
    ASSERT_EQ(andorSimWaitForWaiters(1, patienceMs), 1);
    ASSERT_EQ(shutDownDriver(), ANDOR_STATUS_SUCCESS);
    EXPECT_EQ(waiter.result(), ANDOR_SIM_NO_NEW_DATA);
  }
  ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
  {
    Waiter waiter;
    ASSERT_EQ(andorSimWaitForWaiters(1, patienceMs), 1);
    andorSimReset();
    EXPECT_EQ(waiter.result(), ANDOR_SIM_NO_NEW_DATA);
  }
  EXPECT_EQ(andorSimWaitForWaiters(1, 0), 0);
}

TEST_F(AndorSimTest, TheDriverEventIsSetForEachNewImageOfItsCamera) {
  HANDLE wideEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  HANDLE narrowEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  ASSERT_EQ(setDriverEvent(wideEvent), ANDOR_STATUS_SUCCESS);
  selectCamera(narrow);
  ASSERT_EQ(setDriverEvent(narrowEvent), ANDOR_STATUS_SUCCESS);
  selectCamera(wide);
  EXPECT_EQ(camera(wide).event, wideEvent);

  ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(WaitForSingleObject(wideEvent, 0), WAIT_TIMEOUT);
  for (int image = 0; image < 3; ++image) {
    ASSERT_EQ(andorSimProduceImages(wide, 1), 1);
    EXPECT_EQ(WaitForSingleObject(wideEvent, 0), WAIT_OBJECT_0) << "image " << image;
  }
  EXPECT_EQ(WaitForSingleObject(narrowEvent, 0), WAIT_TIMEOUT) << "another camera's news";

  andorSimReset();
  CloseHandle(wideEvent);
  CloseHandle(narrowEvent);
}

TEST_F(AndorSimTest, AWithdrawnOrReplacedEventIsNeverSetAgain) {
  HANDLE first = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  HANDLE second = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  ASSERT_EQ(setDriverEvent(first), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(setDriverEvent(second), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(andorSimProduceImages(wide, 1), 1);
  EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_TIMEOUT);
  ASSERT_EQ(setDriverEvent(nullptr), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(andorSimProduceImages(wide, 1), 1);
  EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_TIMEOUT);
  ASSERT_EQ(abortAcquisition(), ANDOR_STATUS_SUCCESS);

  // The race that matters: images keep coming on the driver's thread while
  // the event is withdrawn. Once setDriverEvent(0) has returned, the caller
  // may close the event.
  andorSimSetFreeRunning(1);
  ASSERT_EQ(andorSimSetFramePeriod(wide, 0.001), ANDOR_STATUS_SUCCESS);
  for (int round = 0; round < 20; ++round) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ASSERT_EQ(setDriverEvent(event), ANDOR_STATUS_SUCCESS);
    if (round == 0) {
      ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
    }
    ASSERT_EQ(WaitForSingleObject(event, patienceMs), WAIT_OBJECT_0) << "round " << round;
    ASSERT_EQ(setDriverEvent(nullptr), ANDOR_STATUS_SUCCESS);
    ResetEvent(event);
    const uint64_t produced = camera(wide).counters.produced;
    ASSERT_EQ(andorSimWaitForImages(wide, produced + 3, patienceMs), 1);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT) << "round " << round;
    CloseHandle(event);
  }
  ASSERT_EQ(abortAcquisition(), ANDOR_STATUS_SUCCESS);
  CloseHandle(first);
  CloseHandle(second);
}

TEST_F(AndorSimTest, FreeRunningImagesComeAtTheFramePeriodUntilAborted) {
  andorSimSetFreeRunning(1);
  ASSERT_EQ(andorSimSetFramePeriod(wide, 0.004), ANDOR_STATUS_SUCCESS);
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  setDriverEvent(event);

  const auto begun = std::chrono::steady_clock::now();
  ASSERT_EQ(startAcquisition(), ANDOR_STATUS_SUCCESS);
  // What an acquisition thread does: wait, find the new images, read the first.
  int32_t previous = 0;
  std::vector<uint16_t> image(widePixels);
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(waitForAcquisition(), ANDOR_STATUS_SUCCESS);
    int32_t first = 0, last = 0;
    ASSERT_EQ(getNewImageRange(&first, &last), ANDOR_STATUS_SUCCESS);
    ASSERT_EQ(getImages16(first, first, image.data(), widePixels, nullptr, nullptr), ANDOR_STATUS_SUCCESS);
    EXPECT_EQ(imageNumberOf(image.data()), uint32_t(first));
    EXPECT_GT(first, previous);
    previous = first;
  }
  ASSERT_EQ(andorSimWaitForImages(wide, 10, patienceMs), 1);
  EXPECT_GE(std::chrono::steady_clock::now() - begun, std::chrono::milliseconds(40))
      << "image 10 is due 10 periods after the start, not earlier";

  ASSERT_EQ(abortAcquisition(), ANDOR_STATUS_SUCCESS);
  const uint64_t produced = camera(wide).counters.produced;
  ResetEvent(event);
  EXPECT_EQ(WaitForSingleObject(event, 40), WAIT_TIMEOUT) << "no image after the abort returned";
  EXPECT_EQ(camera(wide).counters.produced, produced);
  CloseHandle(event);
}

} // namespace
