// submitBuffers(camera, callbackFunc, numBufferedFrames): queues that many
// frames on the QCam camera of the camera object; each frame the camera
// fills is handed, uncopied, to callbackFunc(camera, s) in MATLAB's thread,
// with s.frameData the frame's height-by-width uint16 matrix and s.errorCode
// the driver's error code for it (0 for a good frame).
#include "CallbackData.h"
#include "callLog.h"
#include "mex/common/qcamCamera.h"

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

FrameLedger frameLedger;

namespace {

const int32_t registryCapacity = 100;
const size_t serialTextSize = 256;
const size_t timeTextSize = 256;

CallbackData *callbackRecords[registryCapacity];
int32_t callbackRecordCount = 0;
char queueTimeText[timeTextSize]; // mexFunction's own; completions use theirs
bool exitRoutineRegistered = false;

int32_t readFrameCount(const mxArray *argument) {
  if (!mxIsNumeric(argument))
    mexErrMsgTxt("The 'numBufferedFrames' argument must be a number specifying number of frames to queue.");
  double value = mxGetScalar(argument);
  // Truncated toward zero: -0.5 still asks for no frame.
  if (!(value > -1.0) || value >= 2147483648.0)
    mexErrMsgTxt("submitBuffers: the 'numBufferedFrames' argument must be from 0 to 2147483647.");
  return static_cast<int32_t>(value);
}

CallbackData *findRecord(int32_t cameraHandle) {
  for (int32_t i = 0; i < callbackRecordCount; ++i)
    if (callbackRecords[i]->cameraHandle == cameraHandle) return callbackRecords[i];
  return nullptr;
}

// The driver is told each buffer's length as the camera's image size; it
// must never be told more than the matrix holds.
void refuseOversizedImages(uint32_t height, uint32_t width, uint32_t imageSize) {
  const uint64_t pixels = static_cast<uint64_t>(height) * width;
  char message[256];
  // No array can be larger than PTRDIFF_MAX bytes: in a 32-bit MATLAB a
  // frame of 2 GB cannot be made, and its byte count can wrap: it is refused before
  // anything is made.
  if (pixels > static_cast<uint64_t>(PTRDIFF_MAX) / 2) {
    snprintf(
        message, sizeof message,
        "submitBuffers: the camera's %u-by-%u uint16 frame matrix of %.0f bytes is larger than this MATLAB "
        "can hold.",
        static_cast<unsigned>(height), static_cast<unsigned>(width), 2.0 * static_cast<double>(pixels));
    mexErrMsgTxt(message);
  }
  const uint64_t matrixBytes = 2 * pixels;
  if (imageSize <= matrixBytes) return;
  snprintf(message, sizeof message,
           "submitBuffers: the camera's images of %u bytes do not fit its %u-by-%u uint16 frame matrix.",
           static_cast<unsigned>(imageSize), static_cast<unsigned>(height), static_cast<unsigned>(width));
  mexErrMsgTxt(message);
}

CallbackData *makeRecord(int32_t cameraHandle, const mxArray *cameraObject) {
  CallbackData *record = static_cast<CallbackData *>(mxCalloc(1, sizeof(CallbackData)));
  record->cameraHandle = cameraHandle;
  record->cameraObject = mxDuplicateArray(cameraObject);
  return record;
}

void keepRecord(CallbackData *record) {
  mexMakeMemoryPersistent(record);
  mexMakeArrayPersistent(record->cameraObject);
  callbackRecords[callbackRecordCount++] = record;
}

// The record's frames stay with the ledger until they have come back.
void clearCallbackRecord(CallbackData *record) {
  if (record->callback != nullptr) mxDestroyArray(record->callback);
  record->callback = nullptr;
}

void releaseCallbackRecords(void) {
  frameLedger.close();
  for (int32_t i = 0; i < callbackRecordCount; ++i) {
    CallbackData *record = callbackRecords[i];
    clearCallbackRecord(record);
    if (record->cameraObject != nullptr) mxDestroyArray(record->cameraObject);
    if (record->asyncMex != nullptr) releaseAsyncMex(record->asyncMex);
    mxFree(record);
    callbackRecords[i] = nullptr;
  }
  callbackRecordCount = 0;
  exitRoutineRegistered = false;
}

int addressText(const void *address) { return static_cast<int>(reinterpret_cast<intptr_t>(address)); }

} // namespace

void mexFunction(int, mxArray *[], int nrhs, const mxArray *prhs[]) {
  if (frameLedger.isSettleRequest(nrhs, prhs)) {
    frameLedger.settle();
    return;
  }
  const int32_t cameraHandle = readCameraHandle("submitBuffers", nrhs, prhs);
  char serial[serialTextSize] = "";
  qcamGetSerialString(cameraHandle, serial, serialTextSize);
  serial[serialTextSize - 1] = '\0';
  mexPrintf("Serial String: %s\n", serial);

  if (nrhs < 3) mexErrMsgTxt("All arguments must be supplied");
  if (mxGetClassID(prhs[1]) != mxFUNCTION_CLASS || mxGetNumberOfElements(prhs[1]) != 1)
    mexErrMsgTxt("The 'callbackFunc' argument must be a function handle");
  const int32_t frameCount = readFrameCount(prhs[2]);
  mexPrintf("Number of Buffered Frames: %d\n", frameCount);

  CallbackData *record = findRecord(cameraHandle);
  if (record == nullptr && callbackRecordCount >= registryCapacity)
    mexErrMsgTxt(
        "submitBuffers: frames are queued for 100 cameras already; clear submitBuffers to queue frames "
        "for another camera.");

  if (!exitRoutineRegistered) {
    frameLedger.rememberLibraryName();
    mexAtExit(releaseCallbackRecords);
    exitRoutineRegistered = true;
  }
  frameLedger.settle();

  const bool isNew = record == nullptr;
  if (!isNew && record->callback != nullptr) mexPrintf("Clearing previous callback record...\n");
  if (isNew) mexPrintf("Detected new camera! Handle: %d\n", cameraHandle);

  const uint32_t height = cameraInfo(cameraHandle, QCAM_INFO_IMAGE_HEIGHT);
  const uint32_t width = cameraInfo(cameraHandle, QCAM_INFO_IMAGE_WIDTH);
  const uint32_t bitDepth = cameraInfo(cameraHandle, QCAM_INFO_BIT_DEPTH);
  const uint32_t imageSize = cameraInfo(cameraHandle, QCAM_INFO_IMAGE_SIZE);
  refuseOversizedImages(height, width, imageSize);

  // Everything the call needs is made before anything of the library
  // changes: an allocation that fails ends the call and leaves the record,
  // its callback and the frames already out as they were.
  if (isNew) record = makeRecord(cameraHandle, prhs[0]);
  mxArray *callback = mxDuplicateArray(prhs[1]);
  FrameSet *frames = makeFrameSet(record, frameCount, height, width, imageSize);
  frameLedger.reserveTickets(frameCount);

  keepFrameSet(frames);
  frameLedger.adopt(frames);
  mexMakeArrayPersistent(callback);
  if (isNew)
    keepRecord(record);
  else
    clearCallbackRecord(record);
  record->callback = callback;
  // The record's own object carries its frames' completions to MATLAB's
  // thread and back to this record; one that could not be made is tried again
  // by the camera's next call.
  if (record->asyncMex == nullptr) record->asyncMex = makeAsyncMex(dispatchCompletedFrame, record);

  mexPrintf("Frame Size -- Height: %d\t Width: %d\t BitDepth: %d\t SizeInBytes: %d\n",
            static_cast<int>(height), static_cast<int>(width), static_cast<int>(bitDepth),
            static_cast<int>(imageSize));
  mexPrintf("CallbackData -- frameCellArray: %d\t frameArray: %d\n", addressText(&frames->frames),
            addressText(&frames->records));

  frameLedger.queueingBegins(frames);
  for (int32_t j = 0; j < frameCount; ++j) {
    const uint32_t ticket = frameLedger.frameGoesOut(frames, j);
    const int32_t status = qcamQueueBuffer(cameraHandle, frames->records[j], frameDoneCallback,
                                           QCAM_CALLBACK_ON_FRAME_DONE, record->asyncMex, ticket);
    if (status != QCAM_STATUS_SUCCESS) frameLedger.frameBackWithoutCallback(ticket);
    mexPrintf("Queued a frame (address: %d) to camera (handle: %d)!\n", addressText(&frames->records[j]),
              cameraHandle);
    appendCallLog("Queued a frame at time: %s\n", queueTimeText);
  }
  frameLedger.queueingEnds(frames);
  frameLedger.settle();
}
