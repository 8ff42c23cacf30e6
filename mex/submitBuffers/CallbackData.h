// One camera of submitBuffers, and the library-wide state that the queue
// (mexFunction), the completion and the dispatch share.
#ifndef CAMERA_MEX_SUBMITBUFFERS_CALLBACKDATA_H
#define CAMERA_MEX_SUBMITBUFFERS_CALLBACKDATA_H

#include "AsyncMex.h"
#include "FrameLedger.h"
#include "mex.h"

#include <stdint.h>

// Plain and zero-filled (mxCalloc), touched on MATLAB's thread only; the
// driver's thread sees just asyncMex's threadId. The record's frames belong
// to the ledger, which finds a completed frame's matrix by its ticket.
struct CallbackData {
  int32_t cameraHandle;
  mxArray *cameraObject;    // persistent copy from the camera's first call
  mxArray *callback;        // persistent copy from the latest call
  AsyncMexObject *asyncMex; // this camera's own; null if it could not be made
};

extern FrameLedger frameLedger;

// The completion routine given to qcamQueueBuffer, with the frame's ticket
// as its user data: the driver's thread.
void WINAPI frameDoneCallback(void *userPointer, uint32_t ticket, int32_t errorCode, uint32_t flags);

// The dispatch routine of every record's AsyncMex object: MATLAB's thread.
void dispatchCompletedFrame(uint32_t ticket, void *record);

#endif
