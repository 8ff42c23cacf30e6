#include "camsimCommand.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

const mxArray *argument(const CamsimCall &call, int index) {
  if (index >= call.nrhs) mexErrMsgIdAndTxt("camsim:arguments", "camsim: argument %d is missing.", index + 2);
  return call.prhs[index];
}

} // namespace

double numberArgument(const CamsimCall &call, int index) {
  const mxArray *value = argument(call, index);
  // A complex or sparse value is refused, not read by its real part.
  if ((!mxIsNumeric(value) && !mxIsLogical(value)) || mxIsComplex(value) || mxIsSparse(value) ||
      mxGetNumberOfElements(value) != 1)
    mexErrMsgIdAndTxt("camsim:arguments", "camsim: argument %d must be a number.", index + 2);
  return mxGetScalar(value);
}

int32_t integerArgument(const CamsimCall &call, int index) {
  double value = numberArgument(call, index);
  if (!std::isfinite(value) || value != std::floor(value) || value < -2147483648.0 || value > 2147483647.0)
    mexErrMsgIdAndTxt("camsim:arguments", "camsim: argument %d must be a 32-bit integer.", index + 2);
  return static_cast<int32_t>(value);
}

uint32_t unsigned32Argument(const CamsimCall &call, int index) {
  double value = numberArgument(call, index);
  if (!std::isfinite(value) || value != std::floor(value) || value < 0 || value > 4294967295.0)
    mexErrMsgIdAndTxt("camsim:arguments", "camsim: argument %d must be a whole number from 0 to 4294967295.",
                      index + 2);
  return static_cast<uint32_t>(value);
}

std::string textArgument(const CamsimCall &call, int index) {
  const mxArray *value = argument(call, index);
  if (!mxIsChar(value)) mexErrMsgIdAndTxt("camsim:arguments", "camsim: argument %d must be text.", index + 2);
  char *text = mxArrayToString(value);
  std::string result = text != nullptr ? text : "";
  mxFree(text);
  return result;
}

int whenArgument(const CamsimCall &call, int index) {
  if (index >= call.nrhs) return 0;
  std::string when = textArgument(call, index);
  if (when == "once") return 0;
  if (when == "always") return 1;
  mexErrMsgIdAndTxt("camsim:arguments", "camsim: argument %d must be 'once' or 'always'.", index + 2);
  return 0;
}

void setOutput(const CamsimCall &call, mxArray *value) {
  call.plhs[0] = value; // MEX always has a slot for ans
}

void setScalarOutput(const CamsimCall &call, double value) { setOutput(call, mxCreateDoubleScalar(value)); }

void setCallLogOutput(const CamsimCall &call, size_t count, long (*line)(size_t, char *, size_t)) {
  mxArray *lines = mxCreateCellMatrix(count, 1);
  std::vector<char> text(256);
  for (size_t i = 0; i < count; ++i) {
    long length = line(i, text.data(), text.size());
    if (length >= 0 && static_cast<size_t>(length) >= text.size()) {
      text.resize(static_cast<size_t>(length) + 1);
      length = line(i, text.data(), text.size());
    }
    mxSetCell(lines, i, mxCreateString(length >= 0 ? text.data() : ""));
  }
  setOutput(call, lines);
}
