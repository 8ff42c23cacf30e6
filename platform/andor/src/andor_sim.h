// State of the simulated Andor driver: the cameras, the current camera, the
// acquisitions and their free-running threads. One instance per process, as
// the real library keeps one state for every caller in the process.
//
// One mutex guards everything, and one condition variable announces every
// change (a new image, an acquisition's end, a waiter coming or going, a
// thread finishing): the driver's callers are few and the copies it makes
// under the lock are what a real driver's DMA would cost anyway.
#ifndef CAMERA_PLATFORM_ANDOR_SIM_H
#define CAMERA_PLATFORM_ANDOR_SIM_H

#include "andor_sim_control.h"
#include "driver_state.h"
#include "recorded_driver.h"
#include "synthetic_scene.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace andor_sim {

// Images are kept by their place in the acquisition (0 for the first), which
// only grows; the driver's 32-bit numbers are that place counted from the
// acquisition's first number, modulo 2^32, so they may wrap mid-acquisition.
struct StoredImage {
  uint64_t index = 0;
  std::vector<uint16_t> pixels;
};

struct Camera {
  Camera(int32_t handle, int32_t width, int32_t height, uint32_t ringCapacity);
  uint64_t regionPixels() const;
  int32_t regionWidth() const;
  int32_t regionHeight() const;

  int32_t handle;
  int32_t width, height;
  int32_t region[6];
  int32_t setting123 = 0, setting152 = 0, setting73 = 0, setting131 = 0;
  int32_t setting219[5] = {};
  float exposureSet = 0.01f;
  double exposure = 0.01; // what the camera uses, seconds
  double framePeriod = 0; // 0: follow the exposure
  uint32_t ringCapacity;
  uint32_t firstNumberSet = 1;         // for the next acquisition
  sim_common::SceneMotion motionSet{}; // for the next acquisition
  bool stillPictureSet = false;        // for the next acquisition

  // The acquisition running, or the last one (its images stay readable).
  bool acquiring = false;
  uint64_t acquisition = 0; // unique in the process: tells a stale thread or waiter
  size_t ringLimit = 0;     // images kept by this acquisition
  std::unique_ptr<sim_common::SyntheticScene> scene;
  // A still picture: the scene's image drawn once at the start, copied into
  // the ring for every image and stamped with its number. Empty: each image
  // is drawn.
  std::vector<uint16_t> still;
  std::deque<StoredImage> ring;             // oldest first, indexes consecutive
  std::vector<std::vector<uint16_t>> spare; // pixel buffers to reuse
  uint32_t firstNumber = 1;                 // the number of image index 0
  uint64_t made = 0;                        // images of this acquisition so far
  uint64_t nextUnread = 0;                  // index of the first image not yet read
  bool imageSinceWait = false;
  HANDLE event = nullptr;
  std::thread producer; // free-running acquisitions only
  AndorSimCounters counters{};
};

// The driver's number of an image, and the image an in-range number names.
int32_t driverNumber(const Camera &camera, uint64_t index);
uint64_t imageIndex(const Camera &camera, int32_t number);

class AndorSim : public sim_common::RecordedDriver {
public:
  static AndorSim &instance();

  // Driver operations, called by the exports after intercept.
  int32_t initializeDriver();
  int32_t shutDownDriver();
  int32_t getCameraCount(int32_t *count);
  int32_t getCameraHandle(int32_t index, int32_t *handle);
  int32_t selectCamera(int32_t handle);
  int32_t getDetectorSize(int32_t *width, int32_t *height);
  int32_t setImageRegion(const int32_t region[6]);
  int32_t setSetting(int32_t Camera::*setting, int32_t value);
  int32_t setSetting219(const int32_t values[5]);
  int32_t setExposureTime(float seconds);
  int32_t getAcquisitionTimings(float *exposure, float *accumulate, float *kinetic);
  int32_t startAcquisition();
  int32_t abortAcquisition();
  int32_t waitForAcquisition();
  int32_t getNewImageRange(int32_t *first, int32_t *last);
  int32_t getImages16(int32_t first, int32_t last, uint16_t *buffer, uint32_t size, int32_t *validFirst,
                      int32_t *validLast);
  template <typename Pixel> int32_t readOldestImage(Pixel *buffer, uint32_t size);
  int32_t setDriverEvent(HANDLE event);

  // Test controls.
  bool reset();
  bool configureFromEnvironment();
  int32_t addCamera(int32_t handle, int32_t width, int32_t height);
  int32_t setRingCapacity(int32_t handle, uint32_t images);
  int32_t setFramePeriod(int32_t handle, double seconds);
  int32_t setFirstImageNumber(int32_t handle, uint32_t number);
  int32_t setSceneMotion(int32_t handle, double rate);
  int32_t setSceneSeed(int32_t handle, uint32_t seed);
  int32_t setStillPicture(int32_t handle, bool still);
  void setFreeRunning(bool freeRunning);
  int32_t produceImages(int32_t handle, int32_t count);
  int32_t getCamera(int32_t handle, AndorSimCameraState *state);
  int32_t currentCamera();
  bool initialized();
  bool waitForImages(int32_t handle, uint64_t count, uint32_t timeoutMs);
  bool waitForWaiters(int32_t count, uint32_t timeoutMs);
  bool waitForDriverEvent(int32_t handle, uint32_t timeoutMs);

private:
  friend AndorSim &sim_common::processWide<AndorSim>();
  AndorSim();
  using Lock = std::unique_lock<std::mutex>;

  template <typename Apply> int32_t setOnCamera(int32_t handle, bool valid, Apply apply);

  Camera *find(int32_t handle) { return sim_common::findCamera(cameras_, handle); }
  Camera *current() { return find(current_); }
  void applyEnvironment();
  void endAcquisition(Camera &camera);
  void stopAll(Lock &lock);
  void exitProcess();
  void produceImage(Camera &camera);
  void runFreeRunning(int32_t handle, uint64_t acquisition, std::chrono::steady_clock::time_point start,
                      double period);
  bool oldestUnread(const Camera &camera, uint64_t &index) const;
  const StoredImage &image(const Camera &camera, uint64_t index) const;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::unique_ptr<Camera>> cameras_;
  int32_t current_ = 0;
  bool initialized_ = false;
  bool freeRunning_ = false;
  bool exiting_ = false;
  uint64_t acquisitions_ = 0;
  int32_t waiters_ = 0;
  int32_t producersRunning_ = 0;
  uint32_t defaultRingCapacity_ = 16;
};

} // namespace andor_sim

#endif
