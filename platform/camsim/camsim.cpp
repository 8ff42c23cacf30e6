// camsim(command, ...): drives the simulated Andor and QCam cameras (and,
// where the Win32 stand-in is used, reads its records) from MATLAB or
// Octave. Shipped in the toolbox's simulation folder: loading it loads the
// simulated drivers beside it, which users then drive in place of cameras;
// the tests and the demo play the camera hardware with it too.
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
