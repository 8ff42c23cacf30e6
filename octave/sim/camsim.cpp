// camsim(command, ...): drives the simulated Andor and QCam cameras and
// reads the Win32 stand-in's records, from Octave. Not shipped: the tests
// and the demo use it to play the camera hardware.
#include "camsimCommand.h"

#include <string.h>
#include <string>

namespace {

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
