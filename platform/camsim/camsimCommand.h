// The simulator control MEX (camsim): one command per row of a table, each
// taking the MATLAB arguments after the command name.
#ifndef CAMERA_PLATFORM_CAMSIM_CAMSIMCOMMAND_H
#define CAMERA_PLATFORM_CAMSIM_CAMSIMCOMMAND_H

#include "mex.h"

#include <stddef.h>
#include <stdint.h>
#include <string>

struct CamsimCall {
  int nlhs;
  mxArray **plhs;
  int nrhs; // arguments after the command name
  const mxArray **prhs;
};

struct CamsimCommand {
  const char *name;
  int minArguments;
  int maxArguments;
  void (*run)(const CamsimCall &call);
};

// Tables of each part, ended by a row with a null name.
extern const CamsimCommand andorCommands[];
extern const CamsimCommand qcamCommands[];
extern const CamsimCommand hostCommands[];

// Argument readers; each refuses a wrong value with a MATLAB error naming
// the command's argument.
int32_t integerArgument(const CamsimCall &call, int index);
double numberArgument(const CamsimCall &call, int index);
// 0 to 4294967295: image numbers and seeds.
uint32_t unsigned32Argument(const CamsimCall &call, int index);
std::string textArgument(const CamsimCall &call, int index);
// "once" or "always" as the simulators count them (0, 1).
int whenArgument(const CamsimCall &call, int index);

// The first output, when one is asked for or none: MATLAB's ans.
void setOutput(const CamsimCall &call, mxArray *value);
void setScalarOutput(const CamsimCall &call, double value);
// A driver's call log, as a column cell array of its lines (oldest first):
// count lines, each copied out by line (the drivers' ...CallLogLine).
void setCallLogOutput(const CamsimCall &call, size_t count, long (*line)(size_t, char *, size_t));

#endif
