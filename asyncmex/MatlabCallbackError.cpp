#include "MatlabCallbackError.h"

namespace {
const mwSize errorTextSize = 256;
}

void printCallbackError(mxArray *exception) {
  char *text = static_cast<char *>(mxCalloc(errorTextSize, 1));
  mxArray *propertyCopy = nullptr;
  const mxArray *message = nullptr;
  if (mxIsStruct(exception)) {
    message = mxGetField(exception, 0, "message"); // part of the struct: not ours to free
  } else {
    propertyCopy = mxGetProperty(exception, 0, "message");
    message = propertyCopy;
  }
  if (message != nullptr) mxGetString(message, text, errorTextSize);
  mexPrintf("ERROR in event callback of AndorCamera object: %s\n", text);
  mxFree(text);
  if (propertyCopy != nullptr) mxDestroyArray(propertyCopy);
  mxDestroyArray(exception);
}
