// Several Andor cameras in one process: the driver's current camera is the
// whole process's, so each device object must read its own camera however
// the other one selects, and a camera waiting for a long exposure must not
// hold up the other.
#include "corvid_fixture.h"
#include "drivers/andor_camera_lock.h"

using std::vector;

namespace {

constexpr uint32_t narrowFirst = 1000000; // narrow's numbers never meet wide's

uint32_t stamp(const imaqkit::Frame &frame) { return frame.pixel(0, 0) | (frame.pixel(1, 0) << 16); }

AndorSimCounters countersOf(int32_t camera) {
  AndorSimCameraState state{};
  EXPECT_EQ(andorSimGetCamera(camera, &state), ANDOR_STATUS_SUCCESS);
  return state.counters;
}

// Takes the lock and ends holding it, as a thread that died mid-sequence.
DWORD WINAPI endHoldingTheLock(LPVOID) {
  HANDLE lock = openAndorCameraLock();
  WaitForSingleObject(lock, INFINITE);
  CloseHandle(lock);
  return 0;
}

// Whether the lock is free now: WAIT_OBJECT_0 if so (and it is given back).
DWORD WINAPI tryTheLock(LPVOID) {
  HANDLE lock = openAndorCameraLock();
  const DWORD waited = WaitForSingleObject(lock, 0);
  if (waited == WAIT_OBJECT_0) ReleaseMutex(lock);
  CloseHandle(lock);
  return waited;
}

class CorvidCameras : public Corvid {
protected:
  void SetUp() override {
    Corvid::SetUp();
    andorSimSetFreeRunning(1);
    ASSERT_EQ(andorSimSetFirstImageNumber(narrow, narrowFirst), ANDOR_STATUS_SUCCESS);
    // Room for the images a slow moment of a loaded machine leaves unread.
    ASSERT_EQ(andorSimSetRingCapacity(wide, 4096), ANDOR_STATUS_SUCCESS);
    ASSERT_EQ(andorSimSetRingCapacity(narrow, 4096), ANDOR_STATUS_SUCCESS);
  }
};

void expectOwnImagesInOrder(const vector<imaqkit::Frame> &frames, int width, uint32_t first, size_t count) {
  ASSERT_EQ(frames.size(), count);
  for (size_t i = 0; i < frames.size(); ++i) {
    ASSERT_EQ(frames[i].width, width) << "frame " << i << " is another camera's";
    ASSERT_EQ(stamp(frames[i]), first + i) << "frame " << i;
  }
}

TEST_F(CorvidCameras, TwoDevicesAcquiringAtOnceEachGetTheirOwnImagesInOrder) {
  constexpr int frames = 1000;
  ASSERT_EQ(andorSimSetFramePeriod(wide, 0.002), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(andorSimSetFramePeriod(narrow, 0.002), ANDOR_STATUS_SUCCESS);
  auto first = open(0);
  auto second = open(1);
  first->set("FramesPerTrigger", frames);
  second->set("FramesPerTrigger", frames);
  first->start();
  second->start();
  ASSERT_TRUE(first->waitForFrames(frames, std::chrono::seconds(60)));
  ASSERT_TRUE(second->waitForFrames(frames, std::chrono::seconds(60)));
  first->stop();
  second->stop();
  expectOwnImagesInOrder(first->getFrames(), 64, 1, frames);
  expectOwnImagesInOrder(second->getFrames(), 32, narrowFirst, frames);
  for (auto *vid : {first.get(), second.get()}) {
    const imaqkit::AcquisitionStats stats = vid->stats();
    EXPECT_EQ(stats.framesDelivered, stats.framesWanted) << "none dropped";
  }
  EXPECT_EQ(countersOf(wide).lost, 0u);
  EXPECT_EQ(countersOf(narrow).lost, 0u);
}

// While the slow camera's run waits half a second for its image, the fast
// one goes on: it delivers the images its camera made meanwhile.
TEST_F(CorvidCameras, ALongExposureDoesNotHoldUpTheOtherCamera) {
  ASSERT_EQ(andorSimSetFramePeriod(wide, 0.5), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(andorSimSetFramePeriod(narrow, 0.005), ANDOR_STATUS_SUCCESS);
  auto slow = open(0);
  auto fast = open(1);
  slow->set("FramesPerTrigger", 1);
  fast->set("FramesPerTrigger", 100000);
  fast->start();
  slow->start();
  ASSERT_TRUE(slow->waitForFrames(1, patience));
  const uint64_t made = countersOf(narrow).produced;
  const uint64_t delivered = fast->stats().framesDelivered;
  fast->stop();
  EXPECT_GE(made, 50u) << "the fast camera ran through the slow one's exposure";
  EXPECT_GE(double(delivered), 0.9 * double(made)) << "and its frames came as its camera made them";
  EXPECT_EQ(slow->getFrames()[0].width, 64);
}

// A thread that ended holding the lock (it died mid-sequence) does not hang
// the next user, who takes the lock over.
TEST(AndorCameraLock, ALockWhoseOwnerEndedIsTakenOver) {
  andorSimReset();
  ASSERT_EQ(andorSimAddCamera(wide, 8, 8), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(andorSimAddCamera(narrow, 8, 8), ANDOR_STATUS_SUCCESS);
  HANDLE dying = CreateThread(nullptr, 0, endHoldingTheLock, nullptr, 0, nullptr);
  ASSERT_NE(dying, nullptr);
  ASSERT_EQ(WaitForSingleObject(dying, patienceMs), WAIT_OBJECT_0);
  CloseHandle(dying);
  { AndorCameraSelection selected(narrow); }
  EXPECT_EQ(andorSimCurrentCamera(), narrow);
  // Given back as usual: another thread takes it at once.
  HANDLE next = CreateThread(nullptr, 0, tryTheLock, nullptr, 0, nullptr);
  ASSERT_NE(next, nullptr);
  ASSERT_EQ(WaitForSingleObject(next, patienceMs), WAIT_OBJECT_0);
  DWORD waited = 0;
  GetExitCodeThread(next, &waited);
  CloseHandle(next);
  EXPECT_EQ(waited, WAIT_OBJECT_0);
  andorSimReset();
}

} // namespace
