/* The acquisition thread: one per open adaptor. It waits for thread
 * messages; each start request runs one acquisition over the whole detector,
 * handing each wanted image to the toolbox as a timestamped frame. */
#include "corvidAdaptor.h"

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

/* Waits for the next image, reads the first new one into runBuffer, and
 * hands it to the toolbox when it wants a frame. An image the driver would
 * not give is still counted, but never becomes a frame: runBuffer then holds
 * an earlier image or nothing, not this one. */
void readOneImage(IAdaptorManager *manager, std::int32_t format, std::int32_t width, std::int32_t height,
                  std::uint16_t *runBuffer, std::uint32_t pixelCount) {
  std::int32_t first = 0, last = 0, validFirst = 0, validLast = 0;
  waitForAcquisition();
  getNewImageRange(&first, &last);
  const double timestamp = getCurrentTime();
  const std::int32_t read = getImages16(first, first, runBuffer, pixelCount, &validFirst, &validLast);
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

/* One run: set the camera up from scratch, start it, read images until the
 * toolbox or a close ends the run, stop the camera. */
void openShutter() {
  driverSetting219(ANDOR_SHUTTER_TTL_HIGH, ANDOR_SHUTTER_OPEN, ANDOR_SHUTTER_NO_DELAY_MS,
                   ANDOR_SHUTTER_NO_DELAY_MS, ANDOR_SHUTTER_EXTERNAL_FOLLOWS);
}

void closeShutter() {
  driverSetting219(ANDOR_SHUTTER_TTL_HIGH, ANDOR_SHUTTER_CLOSED, ANDOR_SHUTTER_NO_DELAY_MS,
                   ANDOR_SHUTTER_NO_DELAY_MS, ANDOR_SHUTTER_EXTERNAL_FOLLOWS);
}

void runAcquisition(corvidAdaptor &adaptor, std::int32_t width, std::int32_t height) {
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

  driverSetting123(ANDOR_READ_MODE_IMAGE);
  driverSetting152(ANDOR_FRAME_TRANSFER_ON);
  setImageRegion(1, 1, 1, width, 1, height);
  driverSetting73(ANDOR_ACQUISITION_RUN_TILL_ABORT);
  driverSetting131(ANDOR_TRIGGER_INTERNAL);
  setExposureTime(adaptor.exposureTime.load());
  openShutter();
  auto *runBuffer = static_cast<std::uint16_t *>(std::calloc(std::size_t(pixelCount), sizeof(std::uint16_t)));
  if (runBuffer == nullptr) {
    adaptorWarn("corvid:outOfMemory",
                "No memory for an image buffer of %d x %d pixels; the acquisition reads no image.",
                static_cast<int>(width), static_cast<int>(height));
    closeShutter();
    return;
  }
  // A camera that did not start would answer every wait at once with no
  // image: the run would spin.
  const std::int32_t started = startAcquisition();
  if (started != ANDOR_STATUS_SUCCESS) {
    adaptorWarn("corvid:startAcquisition",
                "The camera did not start (startAcquisition returned status %d); "
                "the acquisition reads no image.",
                static_cast<int>(started));
    closeShutter();
    std::free(runBuffer);
    return;
  }
  while (runGoesOn(keepRunning, manager)) readOneImage(manager, format, width, height, runBuffer, pixelCount);
  closeShutter();
  abortAcquisition();
  std::free(runBuffer);
}

} // namespace

/* The image size is fixed for the thread's life: every run covers the
 * detector as it was when the device was opened. */
DWORD WINAPI AcquisitionThread(LPVOID parameter) {
  corvidAdaptor &adaptor = *static_cast<corvidAdaptor *>(parameter);
  const std::int32_t width = adaptor.imageWidth();
  const std::int32_t height = adaptor.imageHeight();
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message == CORVID_MSG_RUN) runAcquisition(adaptor, width, height);
  }
  corvidAdaptor::threadEnded(&adaptor);
  return 0;
}
