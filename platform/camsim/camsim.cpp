// camsim(command, ...): drives the simulated Andor and QCam cameras (and,
// where the Win32 stand-in is used, reads its records) from MATLAB or
// Octave. Shipped in the toolbox's simulation folder: loading it loads the
// simulated drivers beside it, which users then drive in place of cameras;
// the tests and the demo play the camera hardware with it too.
#include "camsimCommand.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <string.h>
#include <string>

#ifndef CAMSIM_ANDOR_DRIVER
#define CAMSIM_ANDOR_DRIVER "ATMCD32D.dll"
#endif
#ifndef CAMSIM_QCAM_DRIVER
#define CAMSIM_QCAM_DRIVER "QCamDriver.dll"
#endif

namespace {

// Windows binds camsim's imports to drivers of those module names already
// in the process, and a vendor's driver lacks the simulator's controls: its
// load fails. Wine binds the missing ones to stubs that end the process when
// called, so the drivers are asked before any control is called. ELF builds
// bind every symbol at load (-z now) instead.
void requireSimulatedDrivers() {
#ifdef _WIN32
  static bool checked = false;
  if (checked) return;
  const char *const drivers[2][2] = {{CAMSIM_ANDOR_DRIVER, "andorSimReset"},
                                     {CAMSIM_QCAM_DRIVER, "qcamSimReset"}};
  for (const auto &driver : drivers) {
    HMODULE module = GetModuleHandleA(driver[0]);
    if (module == nullptr || GetProcAddress(module, driver[1]) == nullptr)
      mexErrMsgIdAndTxt(
          "camsim:driver",
          "camsim: the %s loaded in this MATLAB is not the simulated driver; restart MATLAB and "
          "call useSimulatedCameras before any camera function.",
          driver[0]);
  }
  checked = true;
#endif
}

const CamsimCommand *findCommand(const std::string &name) {
  for (const CamsimCommand *table : {andorCommands, qcamCommands, hostCommands})
    for (const CamsimCommand *command = table; command->name != nullptr; ++command)
      if (name == command->name) return command;
  return nullptr;
}

} // namespace

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
  // The simulated drivers and the Win32 stand-in hold the whole process's
  // cameras, queues and hooks: they must stay loaded across "clear mex",
  // as the real ones stay in MATLAB's process.
  requireSimulatedDrivers();
  if (!mexIsLocked()) mexLock();
  if (nrhs < 1 || !mxIsChar(prhs[0]))
    mexErrMsgIdAndTxt("camsim:arguments", "camsim: the first argument must be a command name.");
  char *text = mxArrayToString(prhs[0]);
  std::string name = text != nullptr ? text : "";
  mxFree(text);
  const CamsimCommand *command = findCommand(name);
  if (command == nullptr) mexErrMsgIdAndTxt("camsim:unknown", "camsim: unknown command '%s'.", name.c_str());
  int count = nrhs - 1;
  if (count < command->minArguments || count > command->maxArguments)
    mexErrMsgIdAndTxt("camsim:arguments", "camsim: '%s' takes %d to %d arguments.", command->name,
                      command->minArguments, command->maxArguments);
  CamsimCall call{nlhs, plhs, count, prhs + 1};
  command->run(call);
}
