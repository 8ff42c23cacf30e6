/* The acquisition thread: one per open adaptor. It waits for thread
 * messages; each start request runs one acquisition over the whole detector,
 * handing each wanted image to the toolbox as a timestamped frame. */
#include "corvidAdaptor.h"
#include "drivers/andor_camera_lock.h"

#include <cstdint>
#include <cstdlib>

namespace {

/* The buffer and the size given to getImages16 are bound by 32-bit counts. */
constexpr std::uint64_t largestBufferBytes = UINT32_MAX;

/* The thread's test before every image: both are asked every time, and
 * keepRunning is read afresh so that a close on the toolbox's thread is seen
 * at once. */
bool runGoesOn(const std::atomic<bool> &keepRunning, IAdaptorManager *manager) {
  const bool continues = manager->acquisitionContinues();
  const bool running = keepRunning.load();
  return continues && running;
}

/* What a run needs of its camera: the process's lock, under which every
 * sequence of calls selects the camera first, and, while several device objects
 * exist, an event the driver sets at each new image of this camera. */
struct RunCamera {
  HANDLE lock;
  std::int32_t handle;
  HANDLE imageEvent; /* null: the run waits as the driver's own wait does */
};

/* From the first image on which another device object exists, the run waits on
 * an event of its own: the driver's wait is on the current camera, which
 * another device's run may select before the wait begins. */
void giveRunAnEvent(RunCamera &camera) {
  camera.imageEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (camera.imageEvent == nullptr) return;
  AndorCameraSelection selected(camera.lock, camera.handle);
  setDriverEvent(camera.imageEvent);
  // Images that came before the event were announced to nobody.
  std::int32_t first = 0, last = 0;
  if (getNewImageRange(&first, &last) == ANDOR_STATUS_SUCCESS) SetEvent(camera.imageEvent);
}

/* Waits, holding no lock, until the camera has a new image; false when
 * there is none to read (the wait ended, or the run should end first). With
 * its own driver event a run looks now and then whether it goes on, since
 * a camera may take long over its images. */
bool waitForImage(RunCamera &camera, const std::atomic<bool> &keepRunning, IAdaptorManager *manager) {
  if (camera.imageEvent == nullptr && corvidAdaptor::liveDevices.load() > 1) giveRunAnEvent(camera);
  if (camera.imageEvent == nullptr) {
    { AndorCameraSelection selected(camera.lock, camera.handle); }
    const std::int32_t waited = waitForAcquisition();
    // A device opened meanwhile may have made its camera current before
    // the wait began: then this wait was not this camera's.
    return waited == ANDOR_STATUS_SUCCESS || corvidAdaptor::liveDevices.load() <= 1;
  }
  while (WaitForSingleObject(camera.imageEvent, CORVID_EVENT_WAIT_SLICE_MS) == WAIT_TIMEOUT)
    if (!runGoesOn(keepRunning, manager)) return false;
  return true;
}

/* Reads the first new image into runBuffer and hands it to the toolbox when
 * it wants a frame. An image the driver would not give is still counted,
 * but never becomes a frame: runBuffer then holds an earlier image or
 * nothing, not this one. */
void readOneImage(RunCamera &camera, IAdaptorManager *manager, std::int32_t format, std::int32_t width,
                  std::int32_t height, std::uint16_t *runBuffer, std::uint32_t pixelCount) {
  std::int32_t first = 0, last = 0, validFirst = 0, validLast = 0;
  std::int32_t read;
  double timestamp;
  {
    AndorCameraSelection selected(camera.lock, camera.handle);
    const std::int32_t range = getNewImageRange(&first, &last);
    // A wait in the driver that another device's camera ended, the current
    // one when it began: no image of this camera came, none is counted.
    if (range != ANDOR_STATUS_SUCCESS && camera.imageEvent == nullptr &&
        corvidAdaptor::liveDevices.load() > 1)
      return;
    timestamp = getCurrentTime();
    read = getImages16(first, first, runBuffer, pixelCount, &validFirst, &validLast);
  }
  if (manager->frameWanted() && read == ANDOR_STATUS_SUCCESS) {
    IImageFrame *frame = manager->currentEngine()->makeFrame(format, width, height);
    if (frame != nullptr) {
      frame->putImage(runBuffer, width, height, 0, 0);
      frame->putTime(timestamp);
      manager->currentEngine()->deliverFrame(frame);
    }
  }
  manager->countFrame();
}

void openShutter() {
  driverSetting219(ANDOR_SHUTTER_TTL_HIGH, ANDOR_SHUTTER_OPEN, ANDOR_SHUTTER_NO_DELAY_MS,
                   ANDOR_SHUTTER_NO_DELAY_MS, ANDOR_SHUTTER_EXTERNAL_FOLLOWS);
}

void closeShutter() {
  driverSetting219(ANDOR_SHUTTER_TTL_HIGH, ANDOR_SHUTTER_CLOSED, ANDOR_SHUTTER_NO_DELAY_MS,
                   ANDOR_SHUTTER_NO_DELAY_MS, ANDOR_SHUTTER_EXTERNAL_FOLLOWS);
}

/* A run's set-up: the camera's settings, an event of its own while other
 * device objects exist, the shutter, the image buffer, the start. Null, with
 * everything undone, when the buffer cannot be had or the camera did not
 * start; the warning waits until the lock is given back. */
std::uint16_t *startRun(corvidAdaptor &adaptor, RunCamera &camera, std::int32_t width, std::int32_t height,
                        std::uint32_t pixelCount) {
  if (corvidAdaptor::liveDevices.load() > 1) camera.imageEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  // The driver sets it from the acquisition's first image on: given before
  // the start, no image goes by unannounced.
  std::uint16_t *runBuffer = nullptr;
  std::int32_t started = ANDOR_STATUS_SUCCESS;
  {
    AndorCameraSelection selected(camera.lock, camera.handle);
    driverSetting123(ANDOR_READ_MODE_IMAGE);
    driverSetting152(ANDOR_FRAME_TRANSFER_ON);
    setImageRegion(1, 1, 1, width, 1, height);
    driverSetting73(ANDOR_ACQUISITION_RUN_TILL_ABORT);
    driverSetting131(ANDOR_TRIGGER_INTERNAL);
    setExposureTime(adaptor.exposureTime.load());
    if (camera.imageEvent != nullptr) setDriverEvent(camera.imageEvent);
    openShutter();
    runBuffer = static_cast<std::uint16_t *>(std::calloc(std::size_t(pixelCount), sizeof(std::uint16_t)));
    // A camera that did not start would answer every wait at once with no
    // image: the run would spin.
    if (runBuffer != nullptr) started = startAcquisition();
    if (runBuffer == nullptr || started != ANDOR_STATUS_SUCCESS) {
      closeShutter();
      if (camera.imageEvent != nullptr) setDriverEvent(nullptr);
    }
  }
  if (runBuffer != nullptr && started == ANDOR_STATUS_SUCCESS) return runBuffer;
  if (camera.imageEvent != nullptr) CloseHandle(camera.imageEvent);
  camera.imageEvent = nullptr;
  if (runBuffer == nullptr)
    adaptorWarn("corvid:outOfMemory",
                "No memory for an image buffer of %d x %d pixels; the acquisition reads no image.",
                static_cast<int>(width), static_cast<int>(height));
  else
    adaptorWarn("corvid:startAcquisition",
                "The camera did not start (startAcquisition returned status %d); "
                "the acquisition reads no image.",
                static_cast<int>(started));
  std::free(runBuffer);
  return nullptr;
}

/* The run's end: the camera stopped and its event taken back. */
void endRun(RunCamera &camera) {
  {
    AndorCameraSelection selected(camera.lock, camera.handle);
    closeShutter();
    abortAcquisition();
    if (camera.imageEvent != nullptr) setDriverEvent(nullptr);
  }
  if (camera.imageEvent != nullptr) CloseHandle(camera.imageEvent);
  camera.imageEvent = nullptr;
}

/* One run: set the camera up from scratch, start it, read images until the
 * toolbox or a close ends the run, stop the camera. */
void runAcquisition(corvidAdaptor &adaptor, HANDLE lock, std::int32_t width, std::int32_t height) {
  if (corvidAdaptor::isLost(&adaptor)) return;
  if (width <= 0 || height <= 0) {
    adaptorWarn("corvid:imageSize",
                "The camera reports a detector of %d x %d pixels, which holds no image; "
                "the acquisition reads no image.",
                static_cast<int>(width), static_cast<int>(height));
    return;
  }
  const std::uint64_t pixels = std::uint64_t(width) * std::uint64_t(height);
  if (pixels * sizeof(std::uint16_t) > largestBufferBytes) {
    adaptorWarn("corvid:imageSize",
                "The detector size %d x %d gives no image buffer of at most 4 GB; "
                "the acquisition reads no image.",
                static_cast<int>(width), static_cast<int>(height));
    return;
  }
  const std::uint32_t pixelCount = static_cast<std::uint32_t>(pixels);
  // Taken once per run: a run that outlives its object's destruction (see
  // ~corvidAdaptor) must find them here, and call nothing of the object.
  IAdaptorManager *const manager = adaptor.manager;
  const std::int32_t format = adaptor.frameFormat();
  const std::atomic<bool> &keepRunning = adaptor.keepRunning;

  RunCamera camera{lock, adaptor.cameraHandle, nullptr};
  std::uint16_t *runBuffer = startRun(adaptor, camera, width, height, pixelCount);
  if (runBuffer == nullptr) return;
  while (runGoesOn(keepRunning, manager))
    if (waitForImage(camera, keepRunning, manager))
      readOneImage(camera, manager, format, width, height, runBuffer, pixelCount);
  endRun(camera);
  std::free(runBuffer);
}

} // namespace

/* The image size is fixed for the thread's life: every run covers the
 * detector as it was when the device was opened. */
DWORD WINAPI AcquisitionThread(LPVOID parameter) {
  corvidAdaptor &adaptor = *static_cast<corvidAdaptor *>(parameter);
  const std::int32_t width = adaptor.imageWidth();
  const std::int32_t height = adaptor.imageHeight();
  // The thread's own handle of the process's lock, taken at every image.
  HANDLE lock = openAndorCameraLock();
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message == CORVID_MSG_RUN) runAcquisition(adaptor, lock, width, height);
  }
  if (lock != nullptr) CloseHandle(lock);
  corvidAdaptor::threadEnded(&adaptor);
  return 0;
}
