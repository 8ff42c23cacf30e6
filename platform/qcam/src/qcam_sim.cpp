#include "qcam_sim.h"

#include "sim_environment.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qcam_sim {
namespace {

constexpr uint32_t largestSide = 65535;
constexpr size_t longestSerial = 255;
constexpr int32_t firstEnvironmentHandle = 200;
constexpr double defaultPeriod = 0.01;

bool validBitDepth(uint32_t bits) { return bits == 8 || bits == 12 || bits == 16; }

} // namespace

QCamSim &QCamSim::instance() { return sim_common::processWide<QCamSim>(); }

QCamSim::QCamSim()
    : RecordedDriver{"qcamGetSerialString", "qcamGetInfo", "qcamQueueBuffer", "qcamGrabImage",
                     "frameCompletion"} {
  applyEnvironment();
}

void QCamSim::applyEnvironment() {
  using namespace sim_common;
  const long count = environmentInteger("QCAM_SIM_CAMERAS", 1, 0, 64);
  const auto sizes = environmentSizes("QCAM_SIM_SIZE", ImageSize{640, 480});
  long bits = environmentInteger("QCAM_SIM_BIT_DEPTH", 8, 8, 16);
  if (!validBitDepth(uint32_t(bits))) {
    std::fprintf(stderr, "QCAM_SIM_BIT_DEPTH: %ld is not 8, 12 or 16; using 8\n", bits);
    bits = 8;
  }
  const double period =
      environmentNumber("QCAM_SIM_FRAME_PERIOD_MS", defaultPeriod * 1000, 0.001, 3600e3) / 1000;
  const uint32_t firstNumber = environmentUnsigned32("QCAM_SIM_FIRST_IMAGE", 1);
  const SceneMotion motion = environmentSceneMotion("QCAM_SIM_MOTION", "QCAM_SIM_SEED");
  freeRunning_ = environmentFreeRunning("QCAM_SIM_MODE", true);
  for (long i = 0; i < count; ++i) {
    const ImageSize size = sizeFor(sizes, size_t(i));
    const int32_t handle = firstEnvironmentHandle + int32_t(i);
    char serial[16];
    std::snprintf(serial, sizeof serial, "QSIM%04d", int(handle));
    auto camera = std::make_unique<Camera>();
    camera->handle = handle;
    camera->serial = serial;
    camera->scene = std::make_shared<SyntheticScene>(size.width, size.height, uint32_t(bits), motion);
    camera->period = period;
    camera->nextImage = firstNumber;
    cameras_.push_back(std::move(camera));
  }
}

void QCamSim::restartSchedules() {
  const auto now = Clock::now();
  for (auto &camera : cameras_) {
    camera->scheduleStart = now;
    camera->ticksDone = 0;
  }
}

int32_t QCamSim::getSerialString(int32_t handle, char *buffer, uint32_t size) {
  if (!buffer || size == 0) return QCAM_SIM_INVALID_VALUE;
  Lock lock(mutex_);
  const Camera *camera = find(handle);
  if (!camera) {
    buffer[0] = '\0'; // a caller that prints it anyway prints nothing
    return QCAM_SIM_INVALID_HANDLE;
  }
  const size_t copied = std::min<size_t>(camera->serial.size(), size - 1);
  std::memcpy(buffer, camera->serial.data(), copied);
  buffer[copied] = '\0';
  return QCAM_STATUS_SUCCESS;
}

int32_t QCamSim::getInfo(int32_t handle, uint32_t key, uint32_t *value) {
  if (!value) return QCAM_SIM_INVALID_VALUE;
  Lock lock(mutex_);
  const Camera *camera = find(handle);
  if (!camera) return QCAM_SIM_INVALID_HANDLE;
  const sim_common::SyntheticScene &scene = *camera->scene;
  if (key <= QCAM_INFO_IMAGE_SIZE && camera->reported[key]) {
    *value = camera->reportedValue[key];
    return QCAM_STATUS_SUCCESS;
  }
  switch (key) {
  case QCAM_INFO_BIT_DEPTH:
    *value = scene.bitDepth();
    return QCAM_STATUS_SUCCESS;
  case QCAM_INFO_IMAGE_WIDTH:
    *value = scene.width();
    return QCAM_STATUS_SUCCESS;
  case QCAM_INFO_IMAGE_HEIGHT:
    *value = scene.height();
    return QCAM_STATUS_SUCCESS;
  case QCAM_INFO_IMAGE_SIZE:
    *value = uint32_t(scene.imageBytes());
    return QCAM_STATUS_SUCCESS;
  default:
    return QCAM_SIM_NOT_SUPPORTED;
  }
}

bool QCamSim::reset() {
  Lock lock(mutex_);
  if (sim_common::isCallingThread(thread_)) return false;
  stopThread(lock);
  cameras_.clear();
  jobs_.clear();
  freeRunning_ = false;
  completions_ = 0;
  forgetCalls();
  return true;
}

bool QCamSim::configureFromEnvironment() {
  if (!reset()) return false;
  Lock lock(mutex_);
  applyEnvironment();
  return true;
}

int32_t QCamSim::addCamera(int32_t handle, const char *serial, uint32_t width, uint32_t height,
                           uint32_t bitDepth) {
  if (width < 1 || width > largestSide || height < 1 || height > largestSide || !validBitDepth(bitDepth) ||
      !serial || std::strlen(serial) > longestSerial)
    return QCAM_SIM_INVALID_VALUE;
  // Built outside the lock: a large scene takes a moment.
  auto scene = std::make_shared<sim_common::SyntheticScene>(width, height, bitDepth);
  Lock lock(mutex_);
  if (handle == 0 || find(handle)) return QCAM_SIM_INVALID_HANDLE;
  auto camera = std::make_unique<Camera>();
  camera->handle = handle;
  camera->serial = serial;
  camera->scene = std::move(scene);
  cameras_.push_back(std::move(camera));
  return QCAM_STATUS_SUCCESS;
}

int32_t QCamSim::reportInfo(int32_t handle, uint32_t key, uint32_t value) {
  if (key != QCAM_INFO_BIT_DEPTH && key != QCAM_INFO_IMAGE_WIDTH && key != QCAM_INFO_IMAGE_HEIGHT &&
      key != QCAM_INFO_IMAGE_SIZE)
    return QCAM_SIM_NOT_SUPPORTED;
  Lock lock(mutex_);
  Camera *camera = find(handle);
  if (!camera) return QCAM_SIM_INVALID_HANDLE;
  camera->reported[key] = true;
  camera->reportedValue[key] = value;
  return QCAM_STATUS_SUCCESS;
}

void QCamSim::setFreeRunning(bool freeRunning) {
  Lock lock(mutex_);
  if (freeRunning && !freeRunning_) restartSchedules();
  freeRunning_ = freeRunning;
  changed_.notify_all();
}

int32_t QCamSim::setFramePeriod(int32_t handle, double seconds) {
  Lock lock(mutex_);
  Camera *camera = find(handle);
  if (!camera) return QCAM_SIM_INVALID_HANDLE;
  if (!(seconds > 0 && seconds <= 3600)) return QCAM_SIM_INVALID_VALUE;
  camera->period = seconds;
  camera->scheduleStart = Clock::now();
  camera->ticksDone = 0;
  changed_.notify_all();
  return QCAM_STATUS_SUCCESS;
}

int32_t QCamSim::setNextImageNumber(int32_t handle, uint32_t number) {
  Lock lock(mutex_);
  Camera *camera = find(handle);
  if (!camera) return QCAM_SIM_INVALID_HANDLE;
  camera->nextImage = number;
  return QCAM_STATUS_SUCCESS;
}

// A new scene for the camera, its motion changed: frames already paired
// with an image keep the scene they had.
template <typename Change> int32_t QCamSim::changeScene(int32_t handle, Change change) {
  Lock lock(mutex_);
  const Camera *camera = find(handle);
  if (!camera) return QCAM_SIM_INVALID_HANDLE;
  const auto old = camera->scene;
  lock.unlock();
  // Built outside the lock: a large scene takes a moment.
  sim_common::SceneMotion motion = old->motion();
  change(motion);
  auto scene =
      std::make_shared<sim_common::SyntheticScene>(old->width(), old->height(), old->bitDepth(), motion);
  lock.lock();
  Camera *still = find(handle);
  if (!still) return QCAM_SIM_INVALID_HANDLE;
  still->scene = std::move(scene);
  return QCAM_STATUS_SUCCESS;
}

int32_t QCamSim::setSceneMotion(int32_t handle, double rate) {
  if (!sim_common::SceneMotion::validRate(rate)) {
    Lock lock(mutex_);
    return find(handle) ? QCAM_SIM_INVALID_VALUE : QCAM_SIM_INVALID_HANDLE;
  }
  return changeScene(handle, [rate](sim_common::SceneMotion &motion) { motion.rate = rate; });
}

int32_t QCamSim::setSceneSeed(int32_t handle, uint32_t seed) {
  return changeScene(handle, [seed](sim_common::SceneMotion &motion) { motion.seed = seed; });
}

int32_t QCamSim::setStillPicture(int32_t handle, bool still) {
  Lock lock(mutex_);
  Camera *camera = find(handle);
  if (!camera) return QCAM_SIM_INVALID_HANDLE;
  camera->stillPicture = still;
  // Drawn now, not with the first image: a program that measures its
  // memory around a stream finds the picture there before it.
  if (still)
    stillPictureOf(*camera);
  else
    camera->still.reset();
  return QCAM_STATUS_SUCCESS;
}

size_t QCamSim::cameraHandles(int32_t *handles, size_t capacity) {
  Lock lock(mutex_);
  for (size_t i = 0; i < cameras_.size() && i < capacity && handles; ++i) handles[i] = cameras_[i]->handle;
  return cameras_.size();
}

int32_t QCamSim::getCounters(int32_t handle, QCamSimCounters *counters) {
  Lock lock(mutex_);
  const Camera *camera = find(handle);
  if (!camera || !counters) return QCAM_SIM_INVALID_HANDLE;
  *counters = camera->counters;
  return QCAM_STATUS_SUCCESS;
}

int32_t QCamSim::queuedFrames(int32_t handle) {
  Lock lock(mutex_);
  const Camera *camera = find(handle);
  return camera ? int32_t(camera->queue.size()) : -1;
}

bool QCamSim::waitForCompletions(uint64_t count, uint32_t timeoutMs) {
  Lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return completions_ >= count; });
}

bool QCamSim::waitUntilDrained(uint32_t timeoutMs) {
  Lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    if (!jobs_.empty() || filling_) return false;
    for (const auto &camera : cameras_)
      if (!camera->queue.empty()) return false;
    return true;
  });
}

} // namespace qcam_sim
