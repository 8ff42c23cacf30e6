/* The adaptor object: binds one Andor camera, answers the toolbox's
 * questions about its images, and commands the acquisition thread. */
#include "corvidAdaptor.h"
#include "corvidListeners.h"

#include <cstdlib>

namespace {

/* A listener that could not be allocated is null: the property then has no
 * listener, and the set is never handed a null one. */
void attach(IPropertySet *set, const char *name, IPropPostSetListener *listener) {
  if (listener != nullptr)
    set->attachListener(name, listener);
}

} // namespace

corvidAdaptor::corvidAdaptor(IEngine *engine, IDeviceEntry *device)
    : IAdaptor(engine), cameraHandle(0), keepRunning(false), exposureTime(0.01f),
      propertySet(nullptr), threadHandle(nullptr), threadId(0) {
  getCameraHandle(device->deviceNumber(), &cameraHandle);
  selectCamera(cameraHandle);
  exposureTime = 0.01f;
  propertySet = manager->currentEngine()->propertySet();
  attach(propertySet, "SelectedSourceName", new corvidSourceListener(this));

  IPropertySet *properties = manager->currentEngine()->propertySet();
  const std::int32_t count = properties->propertyCount();
  if (count <= 0)
    return;
  const char **names = static_cast<const char **>(std::calloc(std::size_t(count), sizeof *names));
  if (names == nullptr)
    return;
  properties->propertyNames(names);
  for (std::int32_t i = 0; i < count; ++i) {
    IPropertyRecord *record = properties->propertyRecord(names[i]);
    if (record != nullptr && record->isDeviceProperty())
      attach(properties, names[i], new corvidPropListener(this));
  }
  std::free(names);
}

corvidAdaptor::~corvidAdaptor() { retireThread(); }

std::int32_t corvidAdaptor::imageWidth() {
  std::int32_t width = 0, height = 0;
  getDetectorSize(&width, &height);
  return width;
}

std::int32_t corvidAdaptor::imageHeight() {
  std::int32_t width = 0, height = 0;
  getDetectorSize(&width, &height);
  return height;
}

std::int32_t corvidAdaptor::frameFormat() { return CORVID_FRAME_FORMAT; }
std::int32_t corvidAdaptor::bandCount() { return 1; }
const char *corvidAdaptor::driverText() { return "corvid_skeleton"; }
const char *corvidAdaptor::versionText() { return "0.1"; }

bool corvidAdaptor::openCamera() {
  if (manager->deviceIsOpen())
    return true;
  // A thread left behind by an earlier close must be gone before a new one
  // shares keepRunning and the camera with it.
  retireThread();
  keepRunning = true;
  threadHandle = CreateThread(nullptr, 0, AcquisitionThread, this, 0, &threadId);
  if (threadHandle == nullptr) {
    closeCamera();
    return false;
  }
  // A post fails until the thread has made its queue at its first
  // GetMessageW; once this one is in, no later start request is lost.
  while (!PostThreadMessageW(threadId, CORVID_MSG_PROBE, 0, 0))
    Sleep(1);
  return true;
}

bool corvidAdaptor::closeCamera() {
  if (!manager->deviceIsOpen())
    return true;
  keepRunning = false;
  if (threadHandle != nullptr) {
    PostThreadMessageW(threadId, CORVID_MSG_QUIT, 0, 0);
    // The toolbox's thread is held for a bounded time only. A thread still
    // waiting for its last image (a long exposure) keeps its handle, so
    // that it is waited for before this object's memory goes.
    if (WaitForSingleObject(threadHandle, CORVID_CLOSE_WAIT_MS) != WAIT_TIMEOUT) {
      CloseHandle(threadHandle);
      threadHandle = nullptr;
    }
  }
  return true;
}

bool corvidAdaptor::beginCapture() {
  if (manager->deviceIsAcquiring())
    return false;
  PostThreadMessageW(threadId, CORVID_MSG_RUN, 0, 0);
  return true;
}

bool corvidAdaptor::endCapture() { return true; }

/* Ends the acquisition thread for good. The thread uses this object and its
 * manager until it returns, so neither may go before it has. It leaves its
 * run at the next test once keepRunning is false, and ends at WM_QUIT; only
 * a wait for an image that never comes can hold it longer, and ending the
 * camera's acquisition releases that wait. */
void corvidAdaptor::retireThread() {
  if (threadHandle == nullptr)
    return;
  keepRunning = false;
  PostThreadMessageW(threadId, CORVID_MSG_QUIT, 0, 0);
  if (WaitForSingleObject(threadHandle, CORVID_CLOSE_WAIT_MS) == WAIT_TIMEOUT) {
    selectCamera(cameraHandle);
    abortAcquisition();
    WaitForSingleObject(threadHandle, INFINITE);
  }
  CloseHandle(threadHandle);
  threadHandle = nullptr;
}
