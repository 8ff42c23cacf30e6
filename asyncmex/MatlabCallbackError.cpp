#include "MatlabCallbackError.h"

#include <cstring>

namespace {
const mwSize errorTextSize = 256;

void printErrorText(const mxArray *message) {
  char *text = static_cast<char *>(mxCalloc(errorTextSize, 1));
  if (message != nullptr && mxIsChar(message)) mxGetString(message, text, errorTextSize);
  mexPrintf("ERROR in event callback of AndorCamera object: %s\n", text);
  mxFree(text);
}

#ifdef HAVE_OCTAVE
// Octave's trapped call discards the error it trapped and hands back its
// own fixed text ("mexCallMATLABWithTrap: function call <feval> failed").
// cellfun's error handler is handed the error itself: it leaves the message
// where lasterr reads it, as an error at the prompt does, and raises again
// so that the trap still reports the failure.
const char *const errorKeepingHandler =
    "@(err, varargin) error('%s', [lasterr(err.message)(1:0), err.message])";

void printLastError(mxArray *exception) {
  mxArray *message = nullptr;
  mxArray *failed = mexCallMATLABWithTrap(1, &message, 0, nullptr, "lasterr");
  if (failed != nullptr || message == nullptr) {
    if (failed != nullptr) mxDestroyArray(failed);
    printCallbackError(exception);
    return;
  }
  printErrorText(message);
  mxDestroyArray(message);
  mxDestroyArray(exception);
}

void callKeepingError(mxArray *callback, mxArray *camera, mxArray *data) {
  // A dispatch run by another library's clear runs outside any MEX call
  // (Octave then names the function "unknown"): Octave has nowhere to put
  // an output there, so the handler cannot be made, and plain feval runs.
  mxArray *handler = nullptr;
  mxArray *refused = nullptr;
  const char *running = mexFunctionName();
  if (running != nullptr && std::strcmp(running, "unknown") != 0) {
    mxArray *handlerText = mxCreateString(errorKeepingHandler);
    refused = mexCallMATLABWithTrap(1, &handler, 1, &handlerText, "str2func");
    mxDestroyArray(handlerText);
  }
  if (handler == nullptr || refused != nullptr) {
    if (refused != nullptr) mxDestroyArray(refused);
    mxArray *arguments[3] = {callback, camera, data};
    mxArray *exception = mexCallMATLABWithTrap(0, nullptr, 3, arguments, "feval");
    if (exception != nullptr) printCallbackError(exception);
    return;
  }
  // Each cell holds the caller's array only for the call: Octave copies
  // the arguments into its own values, and the cells give them back.
  mxArray *cells[2] = {mxCreateCellMatrix(1, 1), mxCreateCellMatrix(1, 1)};
  mxSetCell(cells[0], 0, camera);
  mxSetCell(cells[1], 0, data);
  // Not uniform: a callback may answer any value, as feval lets it.
  mxArray *options[3] = {mxCreateString("UniformOutput"), mxCreateLogicalScalar(false),
                         mxCreateString("ErrorHandler")};
  mxArray *arguments[7] = {callback, cells[0], cells[1], options[0], options[1], options[2], handler};
  mxArray *exception = mexCallMATLABWithTrap(0, nullptr, 7, arguments, "cellfun");
  for (mxArray *cell : cells) {
    mxSetCell(cell, 0, nullptr);
    mxDestroyArray(cell);
  }
  for (mxArray *option : options) mxDestroyArray(option);
  mxDestroyArray(handler);
  if (exception != nullptr) printLastError(exception);
}

#endif
} // namespace

void printCallbackError(mxArray *exception) {
  if (mxIsStruct(exception)) {
    printErrorText(mxGetField(exception, 0, "message")); // part of the struct: not ours to free
  } else {
    mxArray *message = mxGetProperty(exception, 0, "message");
    printErrorText(message);
    if (message != nullptr) mxDestroyArray(message);
  }
  mxDestroyArray(exception);
}

void callMatlabCallback(mxArray *callback, mxArray *camera, mxArray *data) {
#ifdef HAVE_OCTAVE
  callKeepingError(callback, camera, data);
#else
  mxArray *arguments[3] = {callback, camera, data};
  mxArray *exception = mexCallMATLABWithTrap(0, nullptr, 3, arguments, "feval");
  if (exception != nullptr) printCallbackError(exception);
#endif
}
