#include "FrameSet.h"

FrameSet *makeFrameSet(CallbackData *owner, int32_t count, uint32_t height, uint32_t width,
                       uint32_t imageSize) {
  FrameSet *set = static_cast<FrameSet *>(mxCalloc(1, sizeof(FrameSet)));
  set->owner = owner;
  set->count = count;
  set->cells = mxCreateCellMatrix(static_cast<mwSize>(count), 1);
  if (count > 0)
    set->records =
        static_cast<QCamFrameRecord **>(mxCalloc(static_cast<size_t>(count), sizeof(QCamFrameRecord *)));
  for (int32_t j = 0; j < count; ++j) {
    QCamFrameRecord *record = static_cast<QCamFrameRecord *>(mxCalloc(1, sizeof(QCamFrameRecord)));
    set->records[j] = record;
    mxArray *matrix = mxCreateNumericMatrix(height, width, mxUINT16_CLASS, mxREAL);
    mxSetCell(set->cells, static_cast<mwIndex>(j), matrix);
    record->bufferAddress = mxGetData(matrix);
    record->bufferLength = imageSize;
  }
  return set;
}

void keepFrameSet(FrameSet *set) {
  mexMakeMemoryPersistent(set);
  mexMakeArrayPersistent(set->cells);
  for (int32_t j = 0; j < set->count; ++j) {
    mexMakeMemoryPersistent(set->records[j]);
    mexMakeArrayPersistent(frameMatrix(set, j));
  }
  if (set->records != nullptr) mexMakeMemoryPersistent(set->records);
}

void releaseFrame(FrameSet *set, int32_t index) {
  mxArray *matrix = frameMatrix(set, index);
  mxSetCell(set->cells, static_cast<mwIndex>(index), nullptr);
  if (matrix != nullptr) mxDestroyArray(matrix);
  mxFree(set->records[index]);
  set->records[index] = nullptr;
}

void freeFrameSet(FrameSet *set) {
  for (int32_t j = 0; j < set->count; ++j) mxFree(set->records[j]); // null once released
  if (set->records != nullptr) mxFree(set->records);
  mxDestroyArray(set->cells); // and every matrix in it
  mxFree(set);
}

mxArray *frameMatrix(const FrameSet *set, int32_t index) {
  return mxGetCell(set->cells, static_cast<mwIndex>(index));
}
