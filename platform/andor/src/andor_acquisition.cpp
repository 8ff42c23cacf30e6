// Acquisitions of the simulated Andor driver: starting and ending them,
// making images (on request or on a free-running thread), waiting for them
// and reading them from the ring.
#include "andor_sim.h"

#include <algorithm>
#include <cstdint>

namespace andor_sim {
namespace {

// A ring of large images is held back to this many bytes, whatever its
// capacity says, so a test's long ring cannot exhaust memory.
constexpr uint64_t ringByteLimit = uint64_t(512) << 20;

// An acquisition ends its numbering before a number would come round again.
constexpr uint64_t imagesPerAcquisition = uint64_t(1) << 32;

} // namespace

int32_t driverNumber(const Camera &camera, uint64_t index) {
  return int32_t(uint32_t(camera.firstNumber + index));
}

uint64_t imageIndex(const Camera &camera, int32_t number) {
  return uint32_t(uint32_t(number) - camera.firstNumber);
}

int32_t AndorSim::startAcquisition() {
  Lock lock(mutex_);
  Camera *camera = current();
  if (!camera || exiting_) return ANDOR_SIM_NO_CAMERA;
  if (camera->acquiring) return ANDOR_SIM_ACQUIRING;

  const int32_t width = camera->regionWidth(), height = camera->regionHeight();
  if (!camera->scene || camera->scene->width() != uint32_t(width) ||
      camera->scene->height() != uint32_t(height) || camera->scene->motion() != camera->motionSet)
    camera->scene = std::make_unique<sim_common::SyntheticScene>(uint32_t(width), uint32_t(height), 16,
                                                                 camera->motionSet);
  const size_t pixels = camera->scene->pixelCount();
  // Buffers of the last acquisition are reused when the image size is the same.
  for (auto &image : camera->ring) camera->spare.push_back(std::move(image.pixels));
  camera->ring.clear();
  camera->spare.erase(
      std::remove_if(camera->spare.begin(), camera->spare.end(),
                     [pixels](const std::vector<uint16_t> &buffer) { return buffer.size() != pixels; }),
      camera->spare.end());
  const uint64_t fitting = std::max<uint64_t>(1, ringByteLimit / (pixels * sizeof(uint16_t)));
  camera->ringLimit = size_t(std::min<uint64_t>(camera->ringCapacity, fitting));
  camera->firstNumber = camera->firstNumberSet;
  camera->still.clear();
  if (camera->stillPictureSet) {
    camera->still.resize(pixels);
    camera->scene->render16(camera->still.data(), camera->firstNumber);
  }
  camera->made = 0;
  camera->nextUnread = 0;
  camera->imageSinceWait = false;
  camera->acquisition = ++acquisitions_;
  camera->acquiring = true;

  if (freeRunning_) {
    const double period = camera->framePeriod > 0 ? camera->framePeriod : camera->exposure;
    ++producersRunning_;
    camera->producer = std::thread(&AndorSim::runFreeRunning, this, camera->handle, camera->acquisition,
                                   std::chrono::steady_clock::now(), period);
  }
  changed_.notify_all();
  return ANDOR_STATUS_SUCCESS;
}

void AndorSim::endAcquisition(Camera &camera) {
  if (!camera.acquiring) return;
  camera.acquiring = false;
  changed_.notify_all();
}

int32_t AndorSim::abortAcquisition() {
  Lock lock(mutex_);
  Camera *camera = current();
  if (!camera) return ANDOR_SIM_NO_CAMERA;
  if (!camera->acquiring) return ANDOR_SIM_IDLE;
  endAcquisition(*camera);
  std::thread producer = std::move(camera->producer);
  lock.unlock();
  // Once this returns no image of the acquisition will appear.
  if (producer.joinable()) producer.join();
  return ANDOR_STATUS_SUCCESS;
}

void AndorSim::stopAll(Lock &lock) {
  for (;;) {
    std::vector<std::thread> producers;
    for (auto &camera : cameras_) {
      endAcquisition(*camera);
      camera->event = nullptr;
      if (camera->producer.joinable()) producers.push_back(std::move(camera->producer));
    }
    if (producers.empty()) break;
    lock.unlock();
    for (auto &producer : producers) producer.join();
    lock.lock();
  }
  // Threads that an abort is still joining, and released waiters, must be
  // gone before the cameras they look at may be destroyed.
  changed_.wait(lock, [this] { return waiters_ == 0 && producersRunning_ == 0; });
}

void AndorSim::exitProcess() {
  Lock lock(mutex_);
  exiting_ = true;
  stopAll(lock);
}

void AndorSim::produceImage(Camera &camera) {
  if (camera.made == imagesPerAcquisition) return;
  StoredImage image;
  if (camera.ring.size() >= camera.ringLimit) {
    image = std::move(camera.ring.front());
    camera.ring.pop_front();
    if (image.index >= camera.nextUnread) ++camera.counters.lost;
  } else if (!camera.spare.empty()) {
    image.pixels = std::move(camera.spare.back());
    camera.spare.pop_back();
  }
  image.pixels.resize(camera.scene->pixelCount());
  image.index = camera.made++;
  const uint32_t number = uint32_t(driverNumber(camera, image.index));
  if (camera.still.empty()) {
    camera.scene->render16(image.pixels.data(), number);
  } else {
    // One copy, as a camera's transfer into the ring costs; the stamp as
    // the scene puts it.
    std::copy(camera.still.begin(), camera.still.end(), image.pixels.begin());
    image.pixels[0] = uint16_t(number);
    if (image.pixels.size() > 1) image.pixels[1] = uint16_t(number >> 16);
  }
  camera.ring.push_back(std::move(image));
  ++camera.counters.produced;
  camera.imageSinceWait = true;
  if (camera.event) SetEvent(camera.event);
  changed_.notify_all();
}

void AndorSim::runFreeRunning(int32_t handle, uint64_t acquisition,
                              std::chrono::steady_clock::time_point start, double period) {
  Lock lock(mutex_);
  Camera *camera = nullptr;
  const auto running = [&] {
    camera = find(handle);
    return camera && camera->acquiring && camera->acquisition == acquisition;
  };
  // Image k is due k periods after the start, not one period after image
  // k - 1: a late wake-up does not push every later image back.
  for (uint64_t k = 1; running(); ++k) {
    const auto due = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                 std::chrono::duration<double>(period * double(k)));
    if (changed_.wait_until(lock, due, [&] { return !running(); })) break;
    produceImage(*camera);
  }
  --producersRunning_;
  changed_.notify_all();
}

int32_t AndorSim::waitForAcquisition() {
  Lock lock(mutex_);
  Camera *camera = current();
  if (!camera) return ANDOR_SIM_NO_CAMERA;
  if (camera->imageSinceWait) {
    camera->imageSinceWait = false;
    return ANDOR_STATUS_SUCCESS;
  }
  if (!camera->acquiring) return ANDOR_SIM_IDLE;

  // The wait belongs to this camera's acquisition, whatever is selected later.
  const int32_t handle = camera->handle;
  const uint64_t acquisition = camera->acquisition;
  int32_t status = ANDOR_SIM_NO_NEW_DATA;
  ++waiters_;
  changed_.notify_all();
  changed_.wait(lock, [&] {
    camera = find(handle);
    if (!camera || camera->acquisition != acquisition) return true;
    if (camera->imageSinceWait) {
      camera->imageSinceWait = false;
      status = ANDOR_STATUS_SUCCESS;
      return true;
    }
    return !camera->acquiring;
  });
  --waiters_;
  changed_.notify_all();
  return status;
}

bool AndorSim::oldestUnread(const Camera &camera, uint64_t &index) const {
  if (camera.ring.empty()) return false;
  index = std::max(camera.nextUnread, camera.ring.front().index);
  return index < camera.made;
}

const StoredImage &AndorSim::image(const Camera &camera, uint64_t index) const {
  return camera.ring[size_t(index - camera.ring.front().index)];
}

int32_t AndorSim::getNewImageRange(int32_t *first, int32_t *last) {
  Lock lock(mutex_);
  const Camera *camera = current();
  if (!camera) return ANDOR_SIM_NO_CAMERA;
  if (!first) return ANDOR_SIM_INVALID_P1;
  if (!last) return ANDOR_SIM_INVALID_P2;
  uint64_t oldest = 0;
  if (!oldestUnread(*camera, oldest)) return ANDOR_SIM_NO_NEW_DATA;
  *first = driverNumber(*camera, oldest);
  *last = driverNumber(*camera, camera->made - 1);
  return ANDOR_STATUS_SUCCESS;
}

int32_t AndorSim::getImages16(int32_t first, int32_t last, uint16_t *buffer, uint32_t size,
                              int32_t *validFirst, int32_t *validLast) {
  Lock lock(mutex_);
  Camera *camera = current();
  if (!camera) return ANDOR_SIM_NO_CAMERA;
  if (camera->ring.empty()) return ANDOR_SIM_NO_NEW_DATA;
  // In the acquisition's order, not the numbers' own: they may wrap.
  const uint64_t from = imageIndex(*camera, first), to = imageIndex(*camera, last);
  if (from < camera->ring.front().index || from >= camera->made) return ANDOR_SIM_INVALID_P1;
  if (to < from || to >= camera->made) return ANDOR_SIM_INVALID_P2;
  if (!buffer) return ANDOR_SIM_INVALID_P3;
  const size_t pixels = camera->ring.front().pixels.size();
  const uint64_t count = to - from + 1;
  if (uint64_t(size) != count * pixels) return ANDOR_SIM_INVALID_P4;
  for (uint64_t index = from; index <= to; ++index) {
    const auto &source = image(*camera, index).pixels;
    std::copy(source.begin(), source.end(), buffer + size_t(index - from) * pixels);
  }
  if (validFirst) *validFirst = first;
  if (validLast) *validLast = last;
  camera->nextUnread = std::max(camera->nextUnread, to + 1);
  camera->counters.read += count;
  return ANDOR_STATUS_SUCCESS;
}

template <typename Pixel> int32_t AndorSim::readOldestImage(Pixel *buffer, uint32_t size) {
  Lock lock(mutex_);
  Camera *camera = current();
  if (!camera) return ANDOR_SIM_NO_CAMERA;
  if (!buffer) return ANDOR_SIM_INVALID_P1;
  const uint64_t pixels = camera->ring.empty() ? camera->regionPixels() : camera->ring.front().pixels.size();
  if (uint64_t(size) != pixels) return ANDOR_SIM_INVALID_P2;
  uint64_t oldest = 0;
  if (!oldestUnread(*camera, oldest)) return ANDOR_SIM_NO_NEW_DATA;
  const auto &source = image(*camera, oldest).pixels;
  std::copy(source.begin(), source.end(), buffer); // widens for 32-bit reads
  camera->nextUnread = oldest + 1;
  ++camera->counters.read;
  return ANDOR_STATUS_SUCCESS;
}

template int32_t AndorSim::readOldestImage<uint16_t>(uint16_t *, uint32_t);
template int32_t AndorSim::readOldestImage<uint32_t>(uint32_t *, uint32_t);

int32_t AndorSim::produceImages(int32_t handle, int32_t count) {
  Lock lock(mutex_);
  Camera *camera = find(handle);
  if (!camera || !camera->acquiring || count <= 0) return 0;
  for (int32_t i = 0; i < count; ++i) produceImage(*camera);
  return count;
}

bool AndorSim::waitForImages(int32_t handle, uint64_t count, uint32_t timeoutMs) {
  Lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    const Camera *camera = find(handle);
    return camera && camera->counters.produced >= count;
  });
}

bool AndorSim::waitForWaiters(int32_t count, uint32_t timeoutMs) {
  Lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return waiters_ >= count; });
}

bool AndorSim::waitForDriverEvent(int32_t handle, uint32_t timeoutMs) {
  Lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    const Camera *camera = find(handle);
    return camera != nullptr && camera->event != nullptr && camera->acquiring;
  });
}

} // namespace andor_sim
