// State of the simulated QCam driver: the cameras, their queues of frames,
// and the driver's one thread, which fills frames and runs their completion
// routines. One instance per process.
//
// Frames are paired with images under the lock, in the order the images
// arrive, and handed to the thread as jobs; the thread fills a frame and
// calls its routine without the lock, so a routine may call the driver.
#ifndef CAMERA_PLATFORM_QCAM_SIM_H
#define CAMERA_PLATFORM_QCAM_SIM_H

#include "qcam_sim_control.h"
#include "driver_state.h"
#include "recorded_driver.h"
#include "synthetic_scene.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qcam_sim {

struct QueuedFrame {
  QCamFrameRecord *frame;
  QCamCompletionRoutine routine;
  uint32_t flags;
  void *userPointer;
  uint32_t userData;
};

using Clock = std::chrono::steady_clock;

struct Camera {
  int32_t handle;
  std::string serial;
  std::shared_ptr<const sim_common::SyntheticScene> scene; // shared with jobs being filled
  // A still picture: the scene's image drawn once, copied into every frame
  // and stamped with its number (null: each image drawn). Made again when
  // the scene changes.
  bool stillPicture = false;
  std::shared_ptr<const std::vector<uint8_t>> still;
  const sim_common::SyntheticScene *stillOf = nullptr;
  uint32_t nextImage = 1; // counts modulo 2^32
  // Free-running images are due on a grid of periods from scheduleStart;
  // ticksDone of them have passed.
  double period = 0.01;
  Clock::time_point scheduleStart = Clock::now();
  uint64_t ticksDone = 0;
  std::deque<QueuedFrame> queue;
  QCamSimCounters counters{};
  // Answers of qcamGetInfo that a test set, by key, in place of the scene's.
  bool reported[QCAM_INFO_IMAGE_SIZE + 1] = {};
  uint32_t reportedValue[QCAM_INFO_IMAGE_SIZE + 1] = {};
};

// A frame that has its image and waits for the driver's thread.
struct Job {
  int32_t handle;
  QueuedFrame frame;
  uint32_t image;
  std::shared_ptr<const sim_common::SyntheticScene> scene;
  std::shared_ptr<const std::vector<uint8_t>> still;
};

class QCamSim : public sim_common::RecordedDriver {
public:
  static QCamSim &instance();

  int32_t getSerialString(int32_t handle, char *buffer, uint32_t size);
  int32_t getInfo(int32_t handle, uint32_t key, uint32_t *value);
  int32_t queueBuffer(int32_t handle, const QueuedFrame &frame);
  int32_t grabImage(int32_t handle, QCamFrameRecord *frame);

  // Test controls.
  bool reset();
  bool configureFromEnvironment();
  int32_t addCamera(int32_t handle, const char *serial, uint32_t width, uint32_t height, uint32_t bitDepth);
  void setFreeRunning(bool freeRunning);
  int32_t setFramePeriod(int32_t handle, double seconds);
  int32_t setNextImageNumber(int32_t handle, uint32_t number);
  int32_t setSceneMotion(int32_t handle, double rate);
  int32_t setSceneSeed(int32_t handle, uint32_t seed);
  int32_t setStillPicture(int32_t handle, bool still);
  size_t cameraHandles(int32_t *handles, size_t capacity);
  int32_t produceImages(int32_t handle, int32_t count);
  int32_t getCounters(int32_t handle, QCamSimCounters *counters);
  int32_t queuedFrames(int32_t handle);
  int32_t reportInfo(int32_t handle, uint32_t key, uint32_t value);
  bool waitForCompletions(uint64_t count, uint32_t timeoutMs);
  bool waitUntilDrained(uint32_t timeoutMs);

private:
  using Lock = std::unique_lock<std::mutex>;

  friend QCamSim &sim_common::processWide<QCamSim>();
  QCamSim();
  Camera *find(int32_t handle) { return sim_common::findCamera(cameras_, handle); }
  void applyEnvironment();
  void startThread();
  void stopThread(Lock &lock);
  void exitProcess();
  void run(uint64_t generation);
  bool freeRunningTick(Lock &lock);
  void restartSchedules();
  template <typename Change> int32_t changeScene(int32_t handle, Change change);
  bool deliver(Camera &camera);
  static std::shared_ptr<const std::vector<uint8_t>> stillPictureOf(Camera &camera);
  int32_t complete(Job &job);

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::unique_ptr<Camera>> cameras_;
  std::deque<Job> jobs_;
  bool filling_ = false;
  std::thread thread_;
  uint64_t threadGeneration_ = 0; // a thread runs while its generation is current
  bool exiting_ = false;
  bool freeRunning_ = false;
  uint64_t completions_ = 0;
};

// Fills the frame's buffer with the image, drawn, or copied from the still
// picture when there is one; the error code (0 on success).
int32_t fillFrame(const sim_common::SyntheticScene &scene, const std::vector<uint8_t> *still, uint32_t image,
                  QCamFrameRecord &frame);

} // namespace qcam_sim

#endif
