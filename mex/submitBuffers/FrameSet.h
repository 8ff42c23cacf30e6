// One call's frames: for each, the struct its callback receives (the matrix
// the camera writes into, and the frame's error code), and the record that
// points the driver at that matrix.
#ifndef CAMERA_MEX_SUBMITBUFFERS_FRAMESET_H
#define CAMERA_MEX_SUBMITBUFFERS_FRAMESET_H

#include "drivers/qcam_driver.h"
#include "mex.h"

#include <stdint.h>

struct CallbackData;

// Plain and zero-filled (mxCalloc); touched on MATLAB's thread only.
//
// MATLAB code keeps what a callback is handed by sharing it, so each frame
// has a struct of its own that the library never changes once its callback
// has it, and each matrix is in that struct alone (an array is in at most
// one container). The struct is made with the frame, so a completion
// allocates nothing.
struct FrameSet {
  CallbackData *owner;       // the record of the call that made it
  mxArray **frames;          // entry j: frame j's struct {frameData, errorCode}, persistent
  QCamFrameRecord **records; // entry j points the driver at frame j's matrix
  int32_t count;
  int32_t framesOut; // queued on the driver and not yet back
  int32_t holders;   // its queueing call, and callbacks holding a frame
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

// Frame index's struct, about to be handed to its callback, with the error
// code the driver completed it with (0 for a good frame).
mxArray *frameEvent(FrameSet *set, int32_t index, int32_t errorCode);

// Frees frame index, whose frame the driver has given back: a stream then
// keeps only the frames out, not the rest of sets they were queued with.
// What MATLAB code kept of its struct stays whole.
void releaseFrame(FrameSet *set, int32_t index);

void freeFrameSet(FrameSet *set);

#endif
