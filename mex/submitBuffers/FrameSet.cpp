#include "FrameSet.h"

namespace {
const char *const frameFieldNames[2] = {"frameData", "errorCode"};
}

FrameSet *makeFrameSet(CallbackData *owner, int32_t count, uint32_t height, uint32_t width,
                       uint32_t imageSize) {
  FrameSet *set = static_cast<FrameSet *>(mxCalloc(1, sizeof(FrameSet)));
  set->owner = owner;
  set->count = count;
  if (count > 0) {
    set->frames = static_cast<mxArray **>(mxCalloc(static_cast<size_t>(count), sizeof(mxArray *)));
    set->records =
        static_cast<QCamFrameRecord **>(mxCalloc(static_cast<size_t>(count), sizeof(QCamFrameRecord *)));
  }
  for (int32_t j = 0; j < count; ++j) {
    QCamFrameRecord *record = static_cast<QCamFrameRecord *>(mxCalloc(1, sizeof(QCamFrameRecord)));
    set->records[j] = record;
    mxArray *frame = mxCreateStructMatrix(1, 1, 2, const_cast<const char **>(frameFieldNames));
    set->frames[j] = frame;
    mxArray *matrix = mxCreateNumericMatrix(height, width, mxUINT16_CLASS, mxREAL);
    mxSetField(frame, 0, "frameData", matrix);
    mxSetField(frame, 0, "errorCode", mxCreateDoubleScalar(0));
    record->bufferAddress = mxGetData(matrix);
    record->bufferLength = imageSize;
  }
  return set;
}

void keepFrameSet(FrameSet *set) {
  mexMakeMemoryPersistent(set);
  for (int32_t j = 0; j < set->count; ++j) {
    mexMakeMemoryPersistent(set->records[j]);
    mexMakeArrayPersistent(set->frames[j]); // and the matrix and code inside it
  }
  if (set->records != nullptr) mexMakeMemoryPersistent(set->records);
  if (set->frames != nullptr) mexMakeMemoryPersistent(set->frames);
}

mxArray *frameEvent(FrameSet *set, int32_t index, int32_t errorCode) {
  mxArray *frame = set->frames[index];
  *mxGetPr(mxGetField(frame, 0, "errorCode")) = errorCode;
  return frame;
}

void releaseFrame(FrameSet *set, int32_t index) {
  if (set->frames[index] != nullptr) mxDestroyArray(set->frames[index]);
  set->frames[index] = nullptr;
  mxFree(set->records[index]);
  set->records[index] = nullptr;
}

void freeFrameSet(FrameSet *set) {
  for (int32_t j = 0; j < set->count; ++j) {
    if (set->frames[j] != nullptr) mxDestroyArray(set->frames[j]); // null once released
    mxFree(set->records[j]);
  }
  if (set->records != nullptr) mxFree(set->records);
  if (set->frames != nullptr) mxFree(set->frames);
  mxFree(set);
}
