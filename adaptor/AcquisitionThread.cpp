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
bool runGoesOn(corvidAdaptor &adaptor) {
  const bool continues = adaptor.manager->acquisitionContinues();
  const bool running = adaptor.keepRunning.load();
  return continues && running;
}

/* Waits for the next image, reads the first new one into runBuffer, and
 * hands it to the toolbox when it wants a frame. */
void readOneImage(corvidAdaptor &adaptor, std::int32_t width, std::int32_t height,
                  std::uint16_t *runBuffer, std::uint32_t pixelCount) {
  IAdaptorManager *manager = adaptor.manager;
  std::int32_t first = 0, last = 0, validFirst = 0, validLast = 0;
  waitForAcquisition();
  getNewImageRange(&first, &last);
  const double timestamp = getCurrentTime();
  getImages16(first, first, runBuffer, pixelCount, &validFirst, &validLast);
  if (manager->frameWanted()) {
    const std::int32_t format = adaptor.frameFormat();
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
void runAcquisition(corvidAdaptor &adaptor, std::int32_t width, std::int32_t height) {
  const std::uint64_t pixels =
      width > 0 && height > 0 ? std::uint64_t(width) * std::uint64_t(height) : 0;
  if (pixels == 0 || pixels * sizeof(std::uint16_t) > largestBufferBytes) {
    adaptorWarn("corvid:imageSize",
                "The detector size %d x %d gives no image buffer of at most 4 GB; "
                "the acquisition reads no image.",
                static_cast<int>(width), static_cast<int>(height));
    return;
  }
  const std::uint32_t pixelCount = static_cast<std::uint32_t>(pixels);

  driverSetting123(4);
  driverSetting152(1);
  setImageRegion(1, 1, 1, width, 1, height);
  driverSetting73(5);
  driverSetting131(0);
  setExposureTime(adaptor.exposureTime.load());
  driverSetting219(1, 1, 0, 0, 0);
  auto *runBuffer =
      static_cast<std::uint16_t *>(std::malloc(std::size_t(pixelCount) * sizeof(std::uint16_t)));
  if (runBuffer == nullptr) {
    adaptorWarn("corvid:outOfMemory",
                "No memory for an image buffer of %d x %d pixels; the acquisition reads no image.",
                static_cast<int>(width), static_cast<int>(height));
    driverSetting219(1, 0, 0, 0, 0);
    return;
  }
  startAcquisition();
  while (runGoesOn(adaptor))
    readOneImage(adaptor, width, height, runBuffer, pixelCount);
  driverSetting219(1, 0, 0, 0, 0);
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
    if (message.message == CORVID_MSG_RUN)
      runAcquisition(adaptor, width, height);
  }
  return 0;
}
