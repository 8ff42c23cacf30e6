// One call's frames: the matrices the camera writes into, and the records
// that point the driver at them.
#ifndef CAMERA_MEX_SUBMITBUFFERS_FRAMESET_H
#define CAMERA_MEX_SUBMITBUFFERS_FRAMESET_H

#include "drivers/qcam_driver.h"
#include "mex.h"

#include <stdint.h>

struct CallbackData;

// Plain and zero-filled (mxCalloc); touched on MATLAB's thread only.
struct FrameSet {
  CallbackData *owner;       // the record of the call that made it
  mxArray *cells;            // count-by-1: cell j holds frame j's matrix
  QCamFrameRecord **records; // entry j points the driver at frame j's matrix
  int32_t count;
  int32_t framesOut; // queued on the driver and not yet back
  int32_t holders;   // its queueing call, and callbacks holding a matrix
  FrameSet *next;    // the ledger's list of sets
};

// Makes count frames of height x width uint16 pixels, each record telling
// the driver imageSize bytes. Everything is a temporary of the current call
// until keepFrameSet, so an allocation that fails (and so ends the call)
// leaves nothing behind and changes nothing.
FrameSet *makeFrameSet(CallbackData *owner, int32_t count, uint32_t height, uint32_t width,
                       uint32_t imageSize);

// From here on the set outlives the call.
void keepFrameSet(FrameSet *set);

// Frees frame index, whose frame the driver has given back: a stream then
// keeps only the frames out, not the rest of sets they were queued with.
void releaseFrame(FrameSet *set, int32_t index);

void freeFrameSet(FrameSet *set);

mxArray *frameMatrix(const FrameSet *set, int32_t index);

#endif
