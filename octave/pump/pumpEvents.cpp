// pumpEvents: takes every message queued to Octave's thread, as MATLAB's
// idle loop does, so that the WH_GETMESSAGE hooks of the loaded MEX
// libraries see each one removed and run its dispatch routine (and with it
// the MATLAB callback) here, on Octave's own thread.
//
//   n = pumpEvents()           % n: how many messages were taken
//   pumpEvents('install')      % once per process: see below
//
// 'install' gives Octave's thread its message queue (a thread has none until
// its first message call, and posts to it fail until then; MATLAB's thread
// has one from the start) and registers pumpEvents with
// add_input_event_hook, so that callbacks also run while Octave waits at its
// prompt. Later installs do nothing, "clear all" included.
#include "mex.h"

#include <windows.h>

#include <cstring>

namespace {
// A callback that keeps posting could keep the loop going forever; Octave
// gets its thread back after this many, and the rest wait for the next call.
const int maximumPerCall = 10000;

bool installed = false;

void install() {
  if (installed) return;
  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE); // makes the queue
  mxArray *name = mxCreateString("pumpEvents");
  mxArray *exception = mexCallMATLABWithTrap(0, nullptr, 1, &name, "add_input_event_hook");
  mxDestroyArray(name);
  if (exception != nullptr) {
    mxDestroyArray(exception);
    mexErrMsgIdAndTxt("pumpEvents:install", "pumpEvents: add_input_event_hook refused the event pump.");
  }
  installed = true;
}

} // namespace

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
  // Octave calls the input event hook by name, and "installed" must outlive
  // "clear all": the library stays loaded.
  if (!mexIsLocked()) mexLock();
  if (nrhs > 0 && mxIsChar(prhs[0])) {
    char *command = mxArrayToString(prhs[0]);
    bool isInstall = command != nullptr && std::strcmp(command, "install") == 0;
    mxFree(command);
    if (!isInstall) mexErrMsgIdAndTxt("pumpEvents:arguments", "pumpEvents: the only command is 'install'.");
    install();
    return;
  }
  MSG msg;
  int taken = 0;
  while (taken < maximumPerCall && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ++taken;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  if (nlhs > 0) plhs[0] = mxCreateDoubleScalar(taken);
}
