// The watcher thread of one camera and the dispatch into MATLAB.
#include "CameraEventRecord.h"

#include "MatlabCallbackError.h"
#include "drivers/andor_camera_lock.h"
#include "drivers/andor_driver.h"

DWORD WINAPI eventWatcherThread(LPVOID parameter) {
  CameraEventRecord *record = static_cast<CameraEventRecord *>(parameter);
  // A stop signal wins over data pending at the same time: it is entry 0.
  HANDLE waitList[2] = {record->stopEvent, record->dataEvent};
  bool stopped = false;
  while (record->active) {
    DWORD result = WaitForMultipleObjects(2, waitList, FALSE, INFINITE);
    if (result == WAIT_OBJECT_0) {
      record->active = false;
      stopped = true;
    } else if (result == WAIT_OBJECT_0 + 1) {
      postAsyncMex(record->asyncMex, static_cast<uint32_t>(record->cameraHandle));
    } else if (result == WAIT_ABANDONED_0 || result == WAIT_ABANDONED_0 + 1) {
      MessageBoxA(nullptr,
                  "Asynchronous event handling thread detected an abnormal state and is being terminated.",
                  nullptr, MB_OK);
      record->active = false;
    } else {
      // A wait that failed (an event that could not be made, say) fails again
      // at once: end rather than spin a core.
      record->active = false;
    }
  }
  // A watcher that ends by itself takes its event back from the driver. One
  // that was stopped leaves that to the clear that stopped it: it may end
  // late, when the camera has been given a new registration's event.
  if (!stopped) {
    AndorCameraSelection selected(record->cameraHandle);
    setDriverEvent(nullptr);
  }
  // The events stay open: whoever clears the record closes them once this
  // thread has ended, so no handle is used after it is closed.
  return 0;
}

void dispatchCameraEvent(uint32_t, void *context) {
  CameraEventRecord *record = static_cast<CameraEventRecord *>(context);
  if (!record->active) return; // posted before a clear: dropped
  // The callback may clear this library: its exit routine then destroys the
  // record's arrays and frees the record while MATLAB still holds them, and
  // MATLAB unloads the library this routine returns into. So MATLAB gets
  // copies of its own, the record is not read once MATLAB has been called,
  // and the library stays mapped.
  pinAsyncMexLibrary();
  mxArray *arguments[3] = {mxDuplicateArray(record->callback), mxDuplicateArray(record->cameraObject),
                           mxDuplicateArray(emptyEventData)};
  // The callback finds its camera current, so that takeEarliest there reads
  // the camera whose event this is. The lock is not held while MATLAB runs.
  { AndorCameraSelection selected(record->cameraHandle); }
  callMatlabCallback(arguments[0], arguments[1], arguments[2]);
  for (mxArray *argument : arguments) mxDestroyArray(argument);
}
