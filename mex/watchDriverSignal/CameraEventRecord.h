// One registered Andor camera of watchDriverSignal, and the routines that
// work on it across the MATLAB thread and the camera's watcher thread.
#ifndef CAMERA_MEX_WATCHDRIVERSIGNAL_CAMERAEVENTRECORD_H
#define CAMERA_MEX_WATCHDRIVERSIGNAL_CAMERAEVENTRECORD_H

#include "AsyncMex.h"
#include "mex.h"

#include <windows.h>

#include <atomic>
#include <stdint.h>

struct CameraEventRecord {
  int32_t cameraHandle;
  mxArray *cameraObject; // persistent copy from the first registration
  mxArray *callback;     // persistent copy; null while cleared
  HANDLE watcherThread;
  DWORD watcherThreadId;
  HANDLE dataEvent;         // given to the driver with setDriverEvent
  HANDLE stopEvent;         // tells the watcher to end
  AsyncMexObject *asyncMex; // null if it could not be made
  // Read by the watcher before every wait and by every dispatch; written by
  // both threads.
  std::atomic<bool> active;
};

// Watcher thread: waits on the record's events and posts one AsyncMex event
// per data signal until it is stopped.
DWORD WINAPI eventWatcherThread(LPVOID record);

// MATLAB's thread: calls the record's callback with its camera object.
void dispatchCameraEvent(uint32_t argument, void *record);

// Shared with the dispatch routine: the 0-by-0 struct handed to every callback.
extern mxArray *emptyEventData;

#endif
