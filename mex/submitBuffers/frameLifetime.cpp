// How long queued frames, their records and the library itself must live.
//
// Nothing takes a frame back from the driver, so a frame's matrix and record
// stay allocated, and the library stays locked, until the frame has come
// back: through its dispatch when it carries an AsyncMex object, through its
// completion routine when it does not. Frames of an earlier call of a camera
// are kept aside until none of that camera's frames is still out.
#include "CallbackData.h"

#include <windows.h>

#include <atomic>
#include <string.h>
#include <vector>

bool libraryClosing = false;

namespace {

struct FrameSet {
  CallbackData *owner;
  mxArray *cells;
  QCamFrameRecord **records;
  int32_t count;
  bool posted;
};

std::vector<FrameSet> retiredSets;
int32_t framesAwaitingDispatch = 0; // all records together
std::atomic<int32_t> unpostedFrames{0};
std::atomic<int32_t> completionsRunning{0};
int dispatchDepth = 0;
bool libraryLocked = false;

// mexUnlock is only valid inside a call of this library, so a dispatch that
// finds nothing left out calls the library by its own name with this token.
char libraryName[64] = "submitBuffers";
const char settleAnchor = 0;
uint64_t settleToken() { return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(&settleAnchor)); }

const DWORD completionReturnTimeout = 5000;

void freeFrameSet(const FrameSet &set) {
  if (set.records != nullptr) {
    for (int32_t j = 0; j < set.count; ++j) mxFree(set.records[j]);
    mxFree(set.records);
  }
  if (set.cells != nullptr) mxDestroyArray(set.cells);
}

bool setIdle(const FrameSet &set) {
  return set.posted ? set.owner->framesAwaitingDispatch == 0 : unpostedFrames.load() == 0;
}

// A callback may hold a matrix of any set, so nothing is freed under one.
void releaseIdleFrames() {
  if (dispatchDepth > 0) return;
  for (size_t i = 0; i < retiredSets.size();) {
    if (!setIdle(retiredSets[i])) {
      ++i;
      continue;
    }
    freeFrameSet(retiredSets[i]);
    retiredSets.erase(retiredSets.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

void requestSettle() {
  mxArray *token = mxCreateNumericMatrix(1, 1, mxUINT64_CLASS, mxREAL);
  *static_cast<uint64_t *>(mxGetData(token)) = settleToken();
  mxArray *exception = mexCallMATLABWithTrap(0, nullptr, 1, &token, libraryName);
  mxDestroyArray(token);
  // Not fatal: the next call of the library settles it.
  if (exception != nullptr) mxDestroyArray(exception);
}

} // namespace

void completionRoutineBegins(void) { completionsRunning.fetch_add(1); }
void completionRoutineEnds(void) { completionsRunning.fetch_sub(1); }
void noteUnpostedFrameDone(void) { unpostedFrames.fetch_sub(1); }

void noteFrameQueued(CallbackData *record, bool posted) {
  if (posted) {
    ++record->framesAwaitingDispatch;
    ++framesAwaitingDispatch;
  } else {
    unpostedFrames.fetch_add(1);
  }
}

void noteFrameRefused(CallbackData *record, bool posted) {
  if (posted) {
    --record->framesAwaitingDispatch;
    --framesAwaitingDispatch;
  } else {
    unpostedFrames.fetch_sub(1);
  }
}

bool framesOutstanding(void) { return framesAwaitingDispatch > 0 || unpostedFrames.load() > 0; }

void beginDispatch(void) { ++dispatchDepth; }

void endDispatch(CallbackData *record) {
  --dispatchDepth;
  if (record->framesAwaitingDispatch > 0) {
    --record->framesAwaitingDispatch;
    --framesAwaitingDispatch;
  }
  if (dispatchDepth > 0) return;
  releaseIdleFrames();
  if (libraryLocked && !framesOutstanding()) requestSettle();
}

void retireFrames(CallbackData *record) {
  if (record->frameCellArray != nullptr || record->frameArray != nullptr)
    retiredSets.push_back(
        {record, record->frameCellArray, record->frameArray, record->frameCount, record->framesPosted});
  record->frameCellArray = nullptr;
  record->frameArray = nullptr;
  record->frameCount = 0;
  record->framesPosted = false;
}

void releaseFinishedFrames(CallbackData *record) {
  if (dispatchDepth > 0) return;
  const bool finished =
      record->framesPosted ? record->framesAwaitingDispatch == 0 : unpostedFrames.load() == 0;
  if (!finished) return;
  retireFrames(record);
  releaseIdleFrames();
}

void holdLibraryForFrames(void) {
  if (libraryLocked) return;
  mexLock();
  libraryLocked = true;
}

void settleLibrary(void) {
  releaseIdleFrames();
  if (libraryLocked && !framesOutstanding()) {
    mexUnlock();
    libraryLocked = false;
  }
}

bool isSettleRequest(int nrhs, const mxArray *prhs[]) {
  return nrhs == 1 && prhs[0] != nullptr && mxGetClassID(prhs[0]) == mxUINT64_CLASS &&
         mxGetNumberOfElements(prhs[0]) == 1 && *static_cast<const uint64_t *>(mxGetData(prhs[0])) == settleToken();
}

void rememberLibraryName(void) {
  const char *name = mexFunctionName();
  if (name == nullptr || *name == '\0' || strlen(name) >= sizeof libraryName) return;
  strcpy(libraryName, name);
}

void releaseAllFrames(CallbackData *const *records, int32_t count) {
  libraryClosing = true;
  // A routine that has posted its frame may still be returning into this
  // library's code, which is about to be unloaded.
  for (DWORD waited = 0; completionsRunning.load() > 0 && waited < completionReturnTimeout; ++waited) Sleep(1);
  discardAsyncMexEvents();
  // Only a forced clear comes here with frames out: their buffers are left
  // allocated rather than handed back while the driver may still write them.
  if (!framesOutstanding()) {
    for (int32_t i = 0; i < count; ++i) retireFrames(records[i]);
    for (const FrameSet &set : retiredSets) freeFrameSet(set);
  }
  retiredSets.clear();
  framesAwaitingDispatch = 0;
  unpostedFrames.store(0);
  libraryLocked = false;
}
