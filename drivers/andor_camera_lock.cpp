#include "andor_camera_lock.h"

#include "andor_driver.h"

#include <stdio.h>

HANDLE openAndorCameraLock(void) {
  char name[64];
  snprintf(name, sizeof name, "Local\\CameraBridgeAndorCurrentCamera-%lu",
           static_cast<unsigned long>(GetCurrentProcessId()));
  return CreateMutexA(nullptr, FALSE, name);
}

AndorCameraSelection::AndorCameraSelection(HANDLE lock, bool select, int32_t cameraHandle) {
  if (lock == nullptr) {
    lock = openAndorCameraLock();
    ownHandle_ = lock != nullptr;
  }
  lock_ = lock;
  if (lock_ != nullptr) {
    // An abandoned lock is ours now: its owner ended, and the selection
    // below makes the driver's state ours too.
    const DWORD waited = WaitForSingleObject(lock_, INFINITE);
    held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
  }
  if (select) selectCamera(cameraHandle);
}

AndorCameraSelection::AndorCameraSelection(HANDLE lock, int32_t cameraHandle)
    : AndorCameraSelection(lock, true, cameraHandle) {}

AndorCameraSelection::AndorCameraSelection(int32_t cameraHandle)
    : AndorCameraSelection(nullptr, true, cameraHandle) {}

AndorCameraSelection AndorCameraSelection::currentCamera(HANDLE lock) {
  return AndorCameraSelection(lock, false, 0);
}

AndorCameraSelection::AndorCameraSelection(AndorCameraSelection &&other) noexcept
    : lock_(other.lock_), ownHandle_(other.ownHandle_), held_(other.held_) {
  other.lock_ = nullptr;
  other.ownHandle_ = false;
  other.held_ = false;
}

AndorCameraSelection::~AndorCameraSelection() {
  if (held_) ReleaseMutex(lock_);
  if (ownHandle_) CloseHandle(lock_);
}
