// A completed frame's way from the driver's thread into a MATLAB callback.
#include "CallbackData.h"
#include "MatlabCallbackError.h"
#include "callLog.h"

namespace {
const size_t timeTextSize = 256;
}

void WINAPI frameDoneCallback(void *userPointer, uint32_t ticket, int32_t errorCode, uint32_t) {
  frameLedger.completionBegins();
  char timeText[timeTextSize];
  appendCallLog("Entered QCam callback at time: %s\n", timeText);
  frameLedger.frameCompleted(ticket, errorCode);
  // A frame whose event cannot reach MATLAB's thread has still come back:
  // its callback is lost, its matrix and the library's hold are not.
  if (!postAsyncMex(static_cast<AsyncMexObject *>(userPointer), ticket))
    frameLedger.frameBackUndispatched(ticket);
  frameLedger.completionEnds();
}

void dispatchCompletedFrame(uint32_t ticket, void *context) {
  if (frameLedger.closing()) {
    frameLedger.frameBackWithoutCallback(ticket); // an event taken by the exit routine
    return;
  }
  CallbackData *record = static_cast<CallbackData *>(context);
  mexPrintf("Reached Matlab Callback Wrapper\n");
  mxArray *frame;
  FrameSet *set = frameLedger.beginDispatch(ticket, record, &frame);
  if (frame != nullptr && record->callback != nullptr) {
    // The frame's own struct: MATLAB may keep it, or be handed the next
    // frame inside this callback (drawnow), and neither changes it. The
    // callback may call submitBuffers for this camera again, which destroys
    // the record's function handle: MATLAB's feval holds shared copies of
    // its inputs, which outlive the library's reference.
    callMatlabCallback(record->callback, record->cameraObject, frame);
  }
  frameLedger.endDispatch(ticket, set);
}
