// Frames of the simulated QCam driver: queueing, pairing frames with images,
// the driver's thread that fills them and runs their completion routines,
// and the synchronous grab.
#include "qcam_sim.h"

#include <algorithm>
#include <cstring>

namespace qcam_sim {

namespace {

// The image's number where the scene stamps it: bytes 0 to 3, little-endian,
// at 8 bits; the low then the high 16 bits in pixels 0 and 1 above.
void stamp(void *pixels, size_t bytes, uint32_t bitDepth, uint32_t image) {
  if (bitDepth <= 8) {
    auto *out = static_cast<uint8_t *>(pixels);
    for (size_t i = 0; i < 4 && i < bytes; ++i) out[i] = uint8_t(image >> (8 * i));
    return;
  }
  const uint16_t halves[2] = {uint16_t(image), uint16_t(image >> 16)};
  std::memcpy(pixels, halves, std::min(bytes, sizeof halves));
}

} // namespace

int32_t fillFrame(const sim_common::SyntheticScene &scene, const std::vector<uint8_t> *still, uint32_t image,
                  QCamFrameRecord &frame) {
  int32_t error = QCAM_STATUS_SUCCESS;
  uint32_t written = 0;
  // The buffer length is all the driver knows of the buffer: an image that
  // does not fit is not written at all, rather than cut or overrun.
  if (!frame.bufferAddress || frame.bufferLength < scene.imageBytes()) {
    error = QCAM_SIM_BUFFER_TOO_SMALL;
  } else {
    if (still != nullptr) {
      std::memcpy(frame.bufferAddress, still->data(), still->size());
      stamp(frame.bufferAddress, still->size(), scene.bitDepth(), image);
    } else {
      scene.render(frame.bufferAddress, image);
    }
    written = uint32_t(scene.imageBytes());
  }
  frame.driverFields[QCAM_SIM_FIELD_IMAGE_NUMBER] = image;
  frame.driverFields[QCAM_SIM_FIELD_BYTES_WRITTEN] = written;
  frame.driverFields[QCAM_SIM_FIELD_ERROR_CODE] = uint32_t(error);
  return error;
}

int32_t QCamSim::queueBuffer(int32_t handle, const QueuedFrame &frame) {
  Lock lock(mutex_);
  Camera *camera = find(handle);
  if (!camera) return QCAM_SIM_INVALID_HANDLE;
  if (!frame.frame) return QCAM_SIM_INVALID_VALUE;
  if (exiting_) return QCAM_SIM_INVALID_HANDLE;
  if (!thread_.joinable()) startThread();
  camera->queue.push_back(frame);
  ++camera->counters.queued;
  changed_.notify_all();
  return QCAM_STATUS_SUCCESS;
}

int32_t QCamSim::grabImage(int32_t handle, QCamFrameRecord *frame) {
  Lock lock(mutex_);
  Camera *camera = find(handle);
  if (!camera) return QCAM_SIM_INVALID_HANDLE;
  if (!frame) return QCAM_SIM_INVALID_VALUE;
  const uint32_t image = camera->nextImage++;
  ++camera->counters.produced;
  const auto scene = camera->scene;
  const auto still = stillPictureOf(*camera);
  lock.unlock();
  const int32_t error = fillFrame(*scene, still.get(), image, *frame);
  lock.lock();
  if (error == QCAM_STATUS_SUCCESS)
    if (Camera *still = find(handle)) ++still->counters.grabbed;
  return error;
}

// Drawn once per scene, under the lock: when the picture is asked for, and
// with the first image after the scene changed, which waits for it.
std::shared_ptr<const std::vector<uint8_t>> QCamSim::stillPictureOf(Camera &camera) {
  if (!camera.stillPicture) return nullptr;
  if (!camera.still || camera.stillOf != camera.scene.get()) {
    auto picture = std::make_shared<std::vector<uint8_t>>(camera.scene->imageBytes());
    camera.scene->render(picture->data(), 0);
    camera.still = std::move(picture);
    camera.stillOf = camera.scene.get();
  }
  return camera.still;
}

bool QCamSim::deliver(Camera &camera) {
  const uint32_t image = camera.nextImage++;
  ++camera.counters.produced;
  if (camera.queue.empty()) {
    ++camera.counters.lost;
    return false;
  }
  jobs_.push_back(Job{camera.handle, camera.queue.front(), image, camera.scene, stillPictureOf(camera)});
  camera.queue.pop_front();
  changed_.notify_all();
  return true;
}

int32_t QCamSim::produceImages(int32_t handle, int32_t count) {
  Lock lock(mutex_);
  Camera *camera = find(handle);
  if (!camera) return 0;
  int32_t delivered = 0;
  for (int32_t i = 0; i < count; ++i) delivered += deliver(*camera) ? 1 : 0;
  return delivered;
}

void QCamSim::startThread() { thread_ = std::thread(&QCamSim::run, this, threadGeneration_); }

void QCamSim::stopThread(Lock &lock) {
  // A frame queued while the lock was let go may have started a new thread.
  while (thread_.joinable()) {
    ++threadGeneration_;
    changed_.notify_all();
    std::thread thread = std::move(thread_);
    lock.unlock();
    thread.join();
    lock.lock();
  }
  filling_ = false;
}

void QCamSim::exitProcess() {
  Lock lock(mutex_);
  exiting_ = true;
  if (thread_.joinable() && thread_.get_id() == std::this_thread::get_id())
    return; // exit() called from a completion routine: the process ends around it
  stopThread(lock);
}

// In free-running mode, gives each camera that has a frame queued an image
// at every tick of its own grid (start + k periods): a late thread does not
// shift later ticks. Ticks that pass while no frame is queued make no image.
// True when it made images; otherwise waits for the next tick or a change.
bool QCamSim::freeRunningTick(Lock &lock) {
  const auto now = Clock::now();
  bool made = false, waiting = false;
  Clock::time_point due{};
  for (auto &camera : cameras_) {
    const auto elapsed = std::chrono::duration<double>(now - camera->scheduleStart).count();
    const uint64_t ticksPassed = uint64_t(elapsed / camera->period);
    if (camera->queue.empty() || ticksPassed > camera->ticksDone) {
      camera->ticksDone = ticksPassed;
      if (!camera->queue.empty()) made = deliver(*camera) || made;
      continue; // a tick with no frame queued makes no image
    }
    const auto next = camera->scheduleStart +
                      std::chrono::duration_cast<Clock::duration>(
                          std::chrono::duration<double>(camera->period * double(camera->ticksDone + 1)));
    if (!waiting || next < due) due = next;
    waiting = true;
  }
  if (made) return true;
  if (waiting)
    changed_.wait_until(lock, due);
  else
    changed_.wait(lock);
  return false;
}

void QCamSim::run(uint64_t generation) {
  Lock lock(mutex_);
  while (generation == threadGeneration_) {
    if (!jobs_.empty()) {
      Job job = std::move(jobs_.front());
      jobs_.pop_front();
      filling_ = true;
      lock.unlock();
      const int32_t error = complete(job);
      lock.lock();
      filling_ = false;
      if (Camera *camera = find(job.handle)) {
        ++camera->counters.completed;
        if (error != QCAM_STATUS_SUCCESS) ++camera->counters.failed;
      }
      ++completions_;
      changed_.notify_all();
    } else if (freeRunning_) {
      freeRunningTick(lock);
    } else {
      changed_.wait(lock);
    }
  }
}

int32_t QCamSim::complete(Job &job) {
  QCamFrameRecord &frame = *job.frame.frame;
  int32_t error = QCAM_STATUS_SUCCESS;
  if (injector.take("frameCompletion", error) && error != QCAM_STATUS_SUCCESS) {
    frame.driverFields[QCAM_SIM_FIELD_IMAGE_NUMBER] = job.image;
    frame.driverFields[QCAM_SIM_FIELD_BYTES_WRITTEN] = 0;
    frame.driverFields[QCAM_SIM_FIELD_ERROR_CODE] = uint32_t(error);
  } else {
    error = fillFrame(*job.scene, job.still.get(), job.image, frame);
  }
  if (job.frame.routine) job.frame.routine(job.frame.userPointer, job.frame.userData, error, job.frame.flags);
  return error;
}

} // namespace qcam_sim
