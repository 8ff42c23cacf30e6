// A MEX library for the bridge's tests (not shipped): it binds AsyncMex
// objects, posts from other threads and reports each dispatch by printing
// "<library> dispatch <object> <argument>". Built twice under two names, so
// two copies of the bridge live in one process as in MATLAB.
//
//   probe('init', n)              binds n objects; returns [statuses; sameHook]
//   probe('post', i, arg, count)  a new thread posts count events for object i
//   probe('zeroThread', i)        object i loses its target thread
//   probe('printError', code, e)  printWindowsErrorMessage with last error e
//   probe('flood', i)             a thread posts for object i until 'stopFlood'
//   probe('onDispatch', f)        each dispatch then calls f() as well
//   probe('highObject')           binds an object placed at the highest address
//                                 the system gives; returns [status, address
//                                 bits 63..32, bits 31..0]
//   probe('release')              discards queued events, releases every object
#include "AsyncMex.h"
#include "mex.h"

#include <atomic>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#ifndef _WIN32
#include <sys/mman.h>
#endif

#ifndef PROBE_NAME
#error "PROBE_NAME names this copy of the probe"
#endif

namespace {

const int capacity = 8;
AsyncMexObject *objects[capacity];
int objectCount = 0;
bool exitRegistered = false;

mxArray *onDispatch = nullptr; // persistent

void dispatch(uint32_t argument, void *context) {
  mexPrintf("%s dispatch %d %u\n", PROBE_NAME, static_cast<int>(reinterpret_cast<intptr_t>(context)),
            static_cast<unsigned>(argument));
  if (onDispatch == nullptr) return;
  pinAsyncMexLibrary(); // the function may clear this library
  mxArray *function = mxDuplicateArray(onDispatch);
  mxArray *exception = mexCallMATLABWithTrap(0, nullptr, 1, &function, "feval");
  mxDestroyArray(function);
  if (exception != nullptr) mxDestroyArray(exception);
}

// Memory from the top of what the system gives this process: above 4 GB in
// a 64-bit one, above 2 GB in a large-address-aware 32-bit one.
const size_t highRegionSize = 65536;
void *highRegion = nullptr;
AsyncMexObject *highObject = nullptr;

void *allocateHighRegion() {
#ifdef _WIN32
  return VirtualAlloc(nullptr, highRegionSize, MEM_RESERVE | MEM_COMMIT | MEM_TOP_DOWN, PAGE_READWRITE);
#else
  void *region = mmap(nullptr, highRegionSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return region == MAP_FAILED ? nullptr : region;
#endif
}

void freeHighRegion() {
#ifdef _WIN32
  VirtualFree(highRegion, 0, MEM_RELEASE);
#else
  munmap(highRegion, highRegionSize);
#endif
  highRegion = nullptr;
  highObject = nullptr;
}

// releaseAsyncMex frees with free(): the high object goes through a copy.
void releaseObject(AsyncMexObject *object) {
  if (object != highObject) {
    releaseAsyncMex(object);
    return;
  }
  AsyncMexObject *copy = static_cast<AsyncMexObject *>(calloc(1, sizeof(AsyncMexObject)));
  *copy = *object;
  releaseAsyncMex(copy);
  freeHighRegion();
}

void stopFlood();

void releaseAll() {
  stopFlood();
  discardAsyncMexEvents();
  for (int i = 0; i < objectCount; ++i) {
    if (objects[i] != nullptr) releaseObject(objects[i]);
    objects[i] = nullptr;
  }
  objectCount = 0;
  if (onDispatch != nullptr) mxDestroyArray(onDispatch);
  onDispatch = nullptr;
}

// A probe whose hook ran another library's routine stays loaded after its
// clear; its next load starts from here.
void libraryExit() {
  releaseAll();
  exitRegistered = false;
}

struct PostJob {
  AsyncMexObject *object;
  uint32_t argument;
  int count;
};

DWORD WINAPI postFromThread(LPVOID parameter) {
  PostJob *job = static_cast<PostJob *>(parameter);
  for (int i = 0; i < job->count; ++i) postAsyncMex(job->object, job->argument);
  return 0;
}

HANDLE floodThread = nullptr;
std::atomic<bool> flooding{false};
AsyncMexObject *floodObject = nullptr;

DWORD WINAPI floodFromThread(LPVOID) {
  while (flooding) postAsyncMex(floodObject, 1);
  return 0;
}

void stopFlood() {
  if (floodThread == nullptr) return;
  flooding = false;
  WaitForSingleObject(floodThread, INFINITE);
  CloseHandle(floodThread);
  floodThread = nullptr;
}

int intArgument(int nrhs, const mxArray *prhs[], int index) {
  if (nrhs <= index) mexErrMsgTxt("probe: missing argument");
  return static_cast<int>(mxGetScalar(prhs[index]));
}

AsyncMexObject *objectArgument(int nrhs, const mxArray *prhs[], int index) {
  int i = intArgument(nrhs, prhs, index);
  if (i < 0 || i >= objectCount || objects[i] == nullptr) mexErrMsgTxt("probe: no such object");
  return objects[i];
}

} // namespace

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
  char command[32] = "";
  if (nrhs < 1 || mxGetString(prhs[0], command, sizeof command) != 0) mexErrMsgTxt("probe: no command");
  if (!exitRegistered) {
    mexAtExit(libraryExit);
    exitRegistered = true;
  }
  if (strcmp(command, "init") == 0) {
    int n = intArgument(nrhs, prhs, 1);
    mxArray *result = mxCreateDoubleMatrix(1, static_cast<mwSize>(n) + 1, mxREAL);
    double *out = mxGetPr(result);
    bool sameHook = true;
    for (int i = 0; i < n && objectCount < capacity; ++i) {
      AsyncMexObject *object = static_cast<AsyncMexObject *>(calloc(1, sizeof(AsyncMexObject)));
      object->dispatchRoutine = dispatch;
      object->dispatchContext = reinterpret_cast<void *>(static_cast<intptr_t>(objectCount));
      int status = initAsyncMex(object);
      out[i] = status;
      if (status != 0) {
        if (object->hookHandle != nullptr) mexErrMsgTxt("probe: a failed binding holds a hook");
        releaseAsyncMex(object);
        object = nullptr;
      } else if (objectCount > 0 && objects[0] != nullptr) {
        sameHook = sameHook && object->hookHandle == objects[0]->hookHandle;
      }
      objects[objectCount++] = object;
    }
    out[n] = sameHook ? 1 : 0;
    if (nlhs > 0) plhs[0] = result;
  } else if (strcmp(command, "post") == 0) {
    PostJob job{objectArgument(nrhs, prhs, 1), static_cast<uint32_t>(intArgument(nrhs, prhs, 2)),
                intArgument(nrhs, prhs, 3)};
    HANDLE thread = CreateThread(nullptr, 0, postFromThread, &job, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  } else if (strcmp(command, "zeroThread") == 0) {
    objectArgument(nrhs, prhs, 1)->threadId = 0;
  } else if (strcmp(command, "printError") == 0) {
    int code = intArgument(nrhs, prhs, 1);
    SetLastError(static_cast<DWORD>(intArgument(nrhs, prhs, 2)));
    printWindowsErrorMessage(code);
  } else if (strcmp(command, "flood") == 0) {
    floodObject = objectArgument(nrhs, prhs, 1);
    flooding = true;
    floodThread = CreateThread(nullptr, 0, floodFromThread, nullptr, 0, nullptr);
  } else if (strcmp(command, "stopFlood") == 0) {
    stopFlood();
  } else if (strcmp(command, "onDispatch") == 0) {
    if (nrhs < 2) mexErrMsgTxt("probe: missing argument");
    if (onDispatch != nullptr) mxDestroyArray(onDispatch);
    onDispatch = mxDuplicateArray(prhs[1]);
    mexMakeArrayPersistent(onDispatch);
  } else if (strcmp(command, "highObject") == 0) {
    if (highRegion != nullptr || objectCount >= capacity) mexErrMsgTxt("probe: no room for a high object");
    highRegion = allocateHighRegion();
    if (highRegion == nullptr) mexErrMsgTxt("probe: no memory at a high address");
    // At the region's very end, the highest address it has.
    highObject = reinterpret_cast<AsyncMexObject *>(static_cast<char *>(highRegion) + highRegionSize -
                                                    sizeof(AsyncMexObject));
    memset(highObject, 0, sizeof(AsyncMexObject));
    highObject->dispatchRoutine = dispatch;
    highObject->dispatchContext = reinterpret_cast<void *>(static_cast<intptr_t>(objectCount));
    const int status = initAsyncMex(highObject);
    objects[objectCount++] = highObject;
    const uint64_t address = reinterpret_cast<uintptr_t>(highObject);
    mxArray *result = mxCreateDoubleMatrix(1, 3, mxREAL);
    mxGetPr(result)[0] = status;
    mxGetPr(result)[1] = static_cast<double>(address >> 32);
    mxGetPr(result)[2] = static_cast<double>(address & 0xFFFFFFFFu);
    if (nlhs > 0) plhs[0] = result;
  } else if (strcmp(command, "release") == 0) {
    releaseAll();
  } else {
    mexErrMsgTxt("probe: unknown command");
  }
}
