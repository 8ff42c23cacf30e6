// One camera of submitBuffers, and the routines that share it across the
// MATLAB thread and the QCam driver's thread.
#ifndef CAMERA_MEX_SUBMITBUFFERS_CALLBACKDATA_H
#define CAMERA_MEX_SUBMITBUFFERS_CALLBACKDATA_H

#include "AsyncMex.h"
#include "drivers/qcam_driver.h"
#include "mex.h"

#include <stdint.h>

// Plain and zero-filled (mxCalloc): every field below is touched on
// MATLAB's thread only; the driver's thread sees just asyncMex's threadId.
struct CallbackData {
  int32_t cameraHandle;
  mxArray *cameraObject;          // persistent copy from the camera's first call
  mxArray *callback;              // persistent copy from the latest call
  mxArray *frameCellArray;        // the latest call's frames: cell j holds frame j
  QCamFrameRecord **frameArray;   // the latest call's frame records
  int32_t frameCount;             // cells of frameCellArray
  bool framesPosted;              // the latest call's frames carry asyncMex
  AsyncMexObject *asyncMex;       // this camera's own; null if it could not be made
  int32_t framesAwaitingDispatch; // queued with asyncMex and not yet dispatched
};

// The 1-by-1 struct with the one field "frameData" handed to every callback.
extern mxArray *frameEventData;

// The completion routine given to qcamQueueBuffer: the driver's thread.
void WINAPI frameDoneCallback(void *userPointer, uint32_t userData, int32_t errorCode, uint32_t flags);

// The dispatch routine of every record's AsyncMex object: MATLAB's thread.
void dispatchCompletedFrame(uint32_t frameIndex, void *record);

// --- Lifetime of queued frames (frameLifetime.cpp) ---
//
// A frame queued on the driver keeps its matrix, its record and this
// library's code alive until its completion has been dealt with: the
// library stays locked while any frame is out, and the frames of an earlier
// call are released once none of them can still be written or dispatched.

// The driver's thread, around every completion routine; a frame that
// carries no AsyncMex object is done when its routine has run.
void completionRoutineBegins(void);
void completionRoutineEnds(void);
void noteUnpostedFrameDone(void);

// mexFunction, before queueing a frame of record, and after the driver
// refused one.
void noteFrameQueued(CallbackData *record, bool posted);
void noteFrameRefused(CallbackData *record, bool posted);

// Bracket a dispatch: nothing is freed while a callback runs.
void beginDispatch(void);
void endDispatch(CallbackData *record);

// Moves the record's current frames aside, to be released once idle.
void retireFrames(CallbackData *record);

// mexFunction, before it makes a new set: frees the record's frames at once
// when all of them have come back, so a camera never holds two sets for
// nothing and no dispatch pays for freeing them later.
void releaseFinishedFrames(CallbackData *record);

// mexFunction only: locks the library before its first frame goes out, and
// unlocks it and releases idle frames once nothing is out.
void holdLibraryForFrames(void);
void settleLibrary(void);

// True for the call with which a dispatch asks the library to settle.
bool isSettleRequest(int nrhs, const mxArray *prhs[]);
// Remembers the library's name for that call; mexFunction, first call.
void rememberLibraryName(void);

// True while frames are out or completion routines still run.
bool framesOutstanding(void);
// The exit routine: waits for completion routines to return, drops queued
// events and releases every frame set; frames still out are left allocated.
void releaseAllFrames(CallbackData *const *records, int32_t count);

// Set while the exit routine runs: a dispatch then does nothing.
extern bool libraryClosing;

#endif
