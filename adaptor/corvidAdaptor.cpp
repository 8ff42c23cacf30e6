/* The adaptor object: binds one Andor camera, answers the toolbox's
 * questions about its images, and commands the acquisition thread. */
#include "corvidAdaptor.h"
#include "corvidListeners.h"
#include "drivers/andor_camera_lock.h"

#include <cstdlib>

namespace {

/* Objects destroyed while their acquisition thread was stuck in the
 * driver, with the manager that thread still uses: the thread frees both
 * when it ends. A slot is taken (reserved) before it is filled, and a block
 * is put in only once its destruction is over, so it is never freed under
 * its destructor. The thread reads nothing of its object's but through
 * these slots once the object is gone. */
constexpr int lostSlots = 16;
std::atomic<void *> lostBlocks[lostSlots];
std::atomic<IAdaptorManager *> lostManagers[lostSlots];
char reservedSlot;

/* Set by a destructor that leaves its object to a stuck thread, read by the
 * deallocation that follows it on the same thread. */
thread_local void *blockBeingLost = nullptr;
thread_local IAdaptorManager *managerBeingLost = nullptr;

/* A listener that could not be allocated is null: the property then has no
 * listener, and the set is never handed a null one. */
void attach(IPropertySet *set, const char *name, IPropPostSetListener *listener) {
  if (listener != nullptr) set->attachListener(name, listener);
}

} // namespace

std::atomic<int> corvidAdaptor::liveDevices{0};

corvidAdaptor::corvidAdaptor(IEngine *engine, IDeviceEntry *device)
    : IAdaptor(engine), cameraHandle(0), keepRunning(false), exposureTime(0.01f), propertySet(nullptr),
      threadHandle(nullptr), threadId(0) {
  // Counted before its camera is first selected: a run of another object
  // that waits in the driver from then on may find this camera current.
  ++liveDevices;
  getCameraHandle(device->deviceNumber(), &cameraHandle);
  { AndorCameraSelection selected(cameraHandle); }
  exposureTime = 0.01f;
  propertySet = manager->currentEngine()->propertySet();
  attach(propertySet, "SelectedSourceName", new corvidSourceListener(this));

  IPropertySet *properties = manager->currentEngine()->propertySet();
  const std::int32_t count = properties->propertyCount();
  if (count <= 0) return;
  const char **names = static_cast<const char **>(std::calloc(std::size_t(count), sizeof *names));
  if (names == nullptr) return;
  properties->propertyNames(names);
  for (std::int32_t i = 0; i < count; ++i) {
    IPropertyRecord *record = properties->propertyRecord(names[i]);
    if (record != nullptr && record->isDeviceProperty())
      attach(properties, names[i], new corvidPropListener(this));
  }
  std::free(names);
}

/* A thread that cannot be retired still reads this object and calls its
 * manager if the driver ever lets it go, so neither may be freed here: both
 * are left to the thread, which frees them as it ends, and the toolbox is
 * told. */
corvidAdaptor::~corvidAdaptor() {
  --liveDevices;
  if (retireThread()) return;
  adaptorWarn("corvid:threadLost",
              "The acquisition thread of camera %d is left waiting in the driver; the device "
              "object's memory stays until that thread ends.",
              static_cast<int>(cameraHandle));
  blockBeingLost = this;
  managerBeingLost = manager;
  manager = nullptr; // the IAdaptor part must not dispose of it
  CloseHandle(threadHandle);
  threadHandle = nullptr;
}

/* With no free slot the object is never freed: a leak, not memory freed
 * under a thread that may still read it. */
void corvidAdaptor::operator delete(void *block) noexcept {
  if (block == nullptr || block != blockBeingLost) {
    IMAQInterface::operator delete(block);
    return;
  }
  blockBeingLost = nullptr;
  for (int i = 0; i < lostSlots; ++i) {
    void *empty = nullptr;
    if (lostBlocks[i].compare_exchange_strong(empty, &reservedSlot)) {
      lostManagers[i].store(managerBeingLost);
      lostBlocks[i].store(block);
      break;
    }
  }
  managerBeingLost = nullptr;
}

bool corvidAdaptor::isLost(const corvidAdaptor *adaptor) {
  for (const std::atomic<void *> &slot : lostBlocks)
    if (slot.load() == adaptor) return true;
  return false;
}

void corvidAdaptor::threadEnded(corvidAdaptor *adaptor) {
  for (int i = 0; i < lostSlots; ++i) {
    void *mine = adaptor;
    if (lostBlocks[i].compare_exchange_strong(mine, &reservedSlot)) {
      delete lostManagers[i].exchange(nullptr);
      IMAQInterface::operator delete(adaptor);
      lostBlocks[i].store(nullptr);
      return;
    }
  }
}

/* The detector of this object's camera, whichever camera another user of
 * the driver selected last. */
std::int32_t corvidAdaptor::imageWidth() {
  std::int32_t width = 0, height = 0;
  AndorCameraSelection selected(cameraHandle);
  getDetectorSize(&width, &height);
  return width;
}

std::int32_t corvidAdaptor::imageHeight() {
  std::int32_t width = 0, height = 0;
  AndorCameraSelection selected(cameraHandle);
  getDetectorSize(&width, &height);
  return height;
}

std::int32_t corvidAdaptor::frameFormat() { return CORVID_FRAME_FORMAT; }
std::int32_t corvidAdaptor::bandCount() { return 1; }
const char *corvidAdaptor::driverText() { return "corvid_skeleton"; }
const char *corvidAdaptor::versionText() { return "0.1"; }

bool corvidAdaptor::openCamera() {
  if (manager->deviceIsOpen()) return true;
  // A thread left behind by an earlier close must be gone before a new one
  // shares keepRunning and the camera with it.
  if (!retireThread()) return false;
  keepRunning = true;
  threadHandle = CreateThread(nullptr, 0, AcquisitionThread, this, 0, &threadId);
  if (threadHandle == nullptr) {
    closeCamera();
    return false;
  }
  // A post fails until the thread has made its queue at its first
  // GetMessageW; once this one is in, no later start request is lost.
  while (!PostThreadMessageW(threadId, CORVID_MSG_PROBE, 0, 0)) Sleep(1);
  return true;
}

bool corvidAdaptor::closeCamera() {
  if (!manager->deviceIsOpen()) return true;
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
  if (manager->deviceIsAcquiring()) return false;
  PostThreadMessageW(threadId, CORVID_MSG_RUN, 0, 0);
  return true;
}

bool corvidAdaptor::endCapture() { return true; }

/* Ends the acquisition thread for good; false when it would not end. The
 * thread uses this object and its manager until it returns, so neither may
 * go before it has. It leaves its run at the next test once keepRunning is
 * false, and ends at WM_QUIT; only a wait for an image that never comes can
 * hold it longer. Aborting the camera's acquisition should release that
 * wait, but the driver does not promise it, and the toolbox's thread must
 * not hang on it. The camera is selected first, under the process's lock,
 * because the current camera is the whole process's. */
bool corvidAdaptor::retireThread() {
  if (threadHandle == nullptr) return true;
  keepRunning = false;
  PostThreadMessageW(threadId, CORVID_MSG_QUIT, 0, 0);
  if (WaitForSingleObject(threadHandle, CORVID_CLOSE_WAIT_MS) == WAIT_TIMEOUT) {
    {
      AndorCameraSelection selected(cameraHandle);
      abortAcquisition();
    }
    if (WaitForSingleObject(threadHandle, CORVID_RELEASE_WAIT_MS) == WAIT_TIMEOUT) {
      adaptorWarn("corvid:threadStuck",
                  "The acquisition thread of camera %d did not end within %u ms of "
                  "abortAcquisition.",
                  static_cast<int>(cameraHandle), static_cast<unsigned>(CORVID_RELEASE_WAIT_MS));
      return false;
    }
  }
  CloseHandle(threadHandle);
  threadHandle = nullptr;
  return true;
}
