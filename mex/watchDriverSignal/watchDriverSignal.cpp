// watchDriverSignal(camera, callback): calls callback(camera, struct()) in
// MATLAB's thread each time the Andor driver signals the camera's data event.
// watchDriverSignal(camera) or watchDriverSignal(camera, []) clears it.
#include "CameraEventRecord.h"

#include "drivers/andor_camera_lock.h"
#include "drivers/andor_driver.h"

#include <cmath>
#include <new>
#include <vector>

mxArray *emptyEventData = nullptr;

namespace {

const int registryCapacity = 100;
const DWORD watcherStopTimeout = 2000;

CameraEventRecord *eventRecords[registryCapacity];
int32_t eventRecordCount = 0;

// Records whose watcher did not end within its time. Each keeps its thread,
// events and memory until the thread has really ended; their AsyncMex objects
// are kept until the library goes, since events of theirs may still be queued.
std::vector<CameraEventRecord *> retiredRecords;
std::vector<AsyncMexObject *> retiredAsyncMexObjects;

CameraEventRecord *makeRecord(int32_t cameraHandle, mxArray *cameraObject) {
  void *block = mxCalloc(1, sizeof(CameraEventRecord));
  mexMakeMemoryPersistent(block);
  CameraEventRecord *record = new (block) CameraEventRecord();
  record->cameraHandle = cameraHandle;
  record->cameraObject = cameraObject;
  return record;
}

void closeWatcherHandles(CameraEventRecord *record) {
  if (record->watcherThread != nullptr) CloseHandle(record->watcherThread);
  if (record->dataEvent != nullptr) CloseHandle(record->dataEvent);
  if (record->stopEvent != nullptr) CloseHandle(record->stopEvent);
  record->watcherThread = nullptr;
  record->dataEvent = nullptr;
  record->stopEvent = nullptr;
  record->watcherThreadId = 0;
}

bool watcherEnded(const CameraEventRecord *record) {
  return record->watcherThread == nullptr || WaitForSingleObject(record->watcherThread, 0) == WAIT_OBJECT_0;
}

// Frees the retired records whose threads have ended.
void reapRetiredRecords() {
  for (size_t i = 0; i < retiredRecords.size();) {
    CameraEventRecord *record = retiredRecords[i];
    if (!watcherEnded(record)) {
      ++i;
      continue;
    }
    closeWatcherHandles(record);
    mxFree(record);
    retiredRecords.erase(retiredRecords.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

// The record at registry index i hands its still-running watcher over to
// the retired list and is replaced by a fresh record for the same camera.
CameraEventRecord *retireRecord(int index) {
  CameraEventRecord *old = eventRecords[index];
  // The old object's events, queued or still to come, must call nothing.
  if (old->asyncMex != nullptr) {
    old->asyncMex->dispatchRoutine = nullptr;
    retiredAsyncMexObjects.push_back(old->asyncMex);
  }
  retiredRecords.push_back(old);
  CameraEventRecord *fresh = makeRecord(old->cameraHandle, old->cameraObject);
  old->cameraObject = nullptr;
  fresh->asyncMex = makeAsyncMex(dispatchCameraEvent, fresh);
  eventRecords[index] = fresh;
  return fresh;
}

int indexOf(const CameraEventRecord *record) {
  for (int i = 0; i < eventRecordCount; ++i)
    if (eventRecords[i] == record) return i;
  return -1;
}

// Stops the record's watcher, takes the event back from the driver and drops
// the callback. Returns the record to go on with: the same one, or a fresh one
// when the watcher outlived its time (at exit the wait goes on instead).
CameraEventRecord *clearEventRecord(CameraEventRecord *record, bool libraryGoing) {
  record->active = false;
  if (record->stopEvent != nullptr) {
    SetEvent(record->stopEvent);
    DWORD result = WaitForSingleObject(record->watcherThread, watcherStopTimeout);
    if (result == WAIT_ABANDONED || result == WAIT_TIMEOUT) {
      MessageBoxA(nullptr, "Failed to process shutdown an asynhchronous event handling thread.", nullptr,
                  MB_OK);
      // The library's code must outlive the thread that runs it.
      if (libraryGoing) WaitForSingleObject(record->watcherThread, INFINITE);
    }
  }
  {
    AndorCameraSelection selected(record->cameraHandle);
    setDriverEvent(nullptr);
  }
  if (record->callback != nullptr) mxDestroyArray(record->callback);
  record->callback = nullptr;
  if (!watcherEnded(record)) {
    int index = indexOf(record);
    if (index >= 0) return retireRecord(index);
  }
  closeWatcherHandles(record);
  return record;
}

void releaseEventRegistry(void) {
  for (int i = 0; i < eventRecordCount; ++i) clearEventRecord(eventRecords[i], true);
  for (CameraEventRecord *record : retiredRecords) WaitForSingleObject(record->watcherThread, INFINITE);
  reapRetiredRecords();
  // Every producer has ended: no event queued from here on may reach an
  // object or a record about to be freed.
  discardAsyncMexEvents();
  for (int i = 0; i < eventRecordCount; ++i) {
    CameraEventRecord *record = eventRecords[i];
    AsyncMexObject *asyncMex = record->asyncMex;
    if (record->cameraObject != nullptr) mxDestroyArray(record->cameraObject);
    mxFree(record);
    eventRecords[i] = nullptr;
    releaseAsyncMex(asyncMex);
  }
  for (AsyncMexObject *object : retiredAsyncMexObjects) releaseAsyncMex(object);
  retiredAsyncMexObjects.clear();
  if (emptyEventData != nullptr) mxDestroyArray(emptyEventData);
  emptyEventData = nullptr;
  // A library kept loaded past its clear starts its next load from here.
  eventRecordCount = 0;
}

// The camera handle of the object in the first argument, or a MATLAB error.
int32_t readCameraHandle(int nrhs, const mxArray *prhs[]) {
  if (nrhs < 1)
    mexErrMsgTxt(
        "watchDriverSignal: the first argument must be a camera object with a cameraHandle property.");
  mxArray *property = mxGetProperty(prhs[0], 0, "cameraHandle");
  if (property == nullptr || !mxIsNumeric(property) || mxGetNumberOfElements(property) != 1)
    mexErrMsgTxt("watchDriverSignal: the first argument must be a camera object with a numeric scalar "
                 "cameraHandle property.");
  double value = mxGetScalar(property);
  mxDestroyArray(property);
  if (!std::isfinite(value) || value <= -2147483649.0 || value >= 2147483648.0)
    mexErrMsgTxt("watchDriverSignal: the camera object's cameraHandle is not a camera handle.");
  return static_cast<int32_t>(value); // truncated toward zero: 3.7 names camera 3
}

bool isRegisterCall(int nrhs, const mxArray *prhs[]) {
  if (nrhs < 2 || mxIsEmpty(prhs[1])) return false;
  if (mxGetClassID(prhs[1]) == mxFUNCTION_CLASS && mxGetNumberOfElements(prhs[1]) == 1) return true;
  mexErrMsgTxt("watchDriverSignal: the second argument must be a function handle, or empty to clear.");
  return false;
}

CameraEventRecord *findRecord(int32_t cameraHandle) {
  for (int i = 0; i < eventRecordCount; ++i)
    if (eventRecords[i]->cameraHandle == cameraHandle) return eventRecords[i];
  return nullptr;
}

} // namespace

void mexFunction(int, mxArray *[], int nrhs, const mxArray *prhs[]) {
  // Every argument is checked before anything changes.
  const int32_t cameraHandle = readCameraHandle(nrhs, prhs);
  const bool registering = isRegisterCall(nrhs, prhs);
  CameraEventRecord *record = findRecord(cameraHandle);
  if (registering && record == nullptr && eventRecordCount >= registryCapacity)
    mexErrMsgTxt("watchDriverSignal: callbacks are registered for 100 cameras already; clear the library "
                 "to register others.");

  if (emptyEventData == nullptr) {
    mexAtExit(releaseEventRegistry);
    emptyEventData = mxCreateStructMatrix(0, 0, 0, nullptr);
    mexMakeArrayPersistent(emptyEventData);
  }
  reapRetiredRecords();

  if (!registering) {
    if (record != nullptr) clearEventRecord(record, false);
    return;
  }

  const bool isNew = record == nullptr;
  if (isNew) {
    mxArray *cameraObject = mxDuplicateArray(prhs[0]);
    mexMakeArrayPersistent(cameraObject);
    record = makeRecord(cameraHandle, cameraObject);
    record->asyncMex = makeAsyncMex(dispatchCameraEvent, record);
  } else if (record->callback != nullptr) {
    record = clearEventRecord(record, false);
  }

  // The watcher ends at once if it finds the record inactive.
  record->active = true;
  record->callback = mxDuplicateArray(prhs[1]);
  mexMakeArrayPersistent(record->callback);
  record->stopEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  record->dataEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  record->watcherThread = CreateThread(nullptr, 0, eventWatcherThread, record, 0, &record->watcherThreadId);
  {
    AndorCameraSelection selected(cameraHandle);
    setDriverEvent(record->dataEvent);
  }

  if (isNew) eventRecords[eventRecordCount++] = record;
}
