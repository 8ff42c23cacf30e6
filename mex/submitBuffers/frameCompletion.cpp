// A completed frame's way from the driver's thread into a MATLAB callback.
#include "CallbackData.h"
#include "MatlabCallbackError.h"
#include "callLog.h"

namespace {
const size_t timeTextSize = 256;
}

void WINAPI frameDoneCallback(void *userPointer, uint32_t userData, int32_t, uint32_t) {
  completionRoutineBegins();
  char timeText[timeTextSize];
  appendCallLog("Entered QCam callback at time: %s\n", timeText);
  if (userPointer != nullptr)
    postAsyncMex(static_cast<AsyncMexObject *>(userPointer), userData);
  else
    noteUnpostedFrameDone();
  completionRoutineEnds();
}

void dispatchCompletedFrame(uint32_t frameIndex, void *context) {
  if (libraryClosing) return; // an event taken by the exit routine
  CallbackData *record = static_cast<CallbackData *>(context);
  beginDispatch();
  mexPrintf("Reached Matlab Callback Wrapper\n");
  // A frame of an earlier, longer call of this camera has no cell of its
  // index in the current call's cell array: nothing is handed on for it.
  if (frameIndex < static_cast<uint32_t>(record->frameCount) && record->callback != nullptr &&
      frameEventData != nullptr) {
    mxSetField(frameEventData, 0, "frameData", mxGetCell(record->frameCellArray, frameIndex));
    // MATLAB gets its own copy of the function handle: the callback may call
    // submitBuffers for this camera again, which replaces the record's copy.
    mxArray *callback = mxDuplicateArray(record->callback);
    mxArray *arguments[3] = {callback, record->cameraObject, frameEventData};
    mxArray *exception = mexCallMATLABWithTrap(0, nullptr, 3, arguments, "feval");
    mxDestroyArray(callback);
    // The struct never keeps a matrix past its callback: frame sets are
    // released later, and the struct must not point into one then.
    mxSetField(frameEventData, 0, "frameData", nullptr);
    if (exception != nullptr) printCallbackError(exception);
  }
  endDispatch(record);
}
