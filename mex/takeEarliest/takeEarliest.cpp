// image = takeEarliest(camera, bitDepth)
// image = takeEarliest(camera, bitDepth, outputSize)
// takeEarliest(camera, bitDepth, 'globalName')
//
// Copies the oldest unread image of the Andor driver's current camera, as
// int16 (bit depth 16) or int32 (bit depth 32) pixels, into a new array of
// camera.expectedM-by-camera.expectedN, n-by-1 or m-by-n, or into the global
// variable of that name. Whichever camera was selected last is read.
#include "drivers/andor_camera_lock.h"
#include "drivers/andor_driver.h"
#include "mex.h"
#include "mex/common/driverStatusError.h"

#include <math.h>
#include <stddef.h>
#include <stdio.h>
#include <stdint.h>

namespace {

const size_t nameSize = 64;
const size_t messageSize = 256;

// Truncated toward zero; what no int32 can hold is clamped (NaN reads 0).
int32_t truncatedInt32(double value) {
  if (isnan(value)) return 0;
  if (value <= -2147483648.0) return INT32_MIN;
  if (value >= 2147483647.0) return INT32_MAX;
  return static_cast<int32_t>(value);
}

int32_t readBitDepth(const mxArray *argument) {
  int32_t bitDepth = 0;
  if (mxIsNumeric(argument) && !mxIsEmpty(argument)) bitDepth = truncatedInt32(mxGetScalar(argument));
  // Any other depth would give the driver a buffer of the wrong width.
  if (bitDepth != 16 && bitDepth != 32) mexErrMsgTxt("takeEarliest: the bit depth must be 16 or 32.");
  return bitDepth;
}

int32_t readSizeProperty(const mxArray *camera, const char *name) {
  mxArray *property = mxGetProperty(camera, 0, name);
  if (property == nullptr || !mxIsNumeric(property) || mxIsEmpty(property))
    mexErrMsgTxt("takeEarliest: without an output size the camera object must have numeric expectedM and "
                 "expectedN properties.");
  const int32_t value = truncatedInt32(mxGetScalar(property));
  mxDestroyArray(property);
  return value;
}

// The size of a new array from the third input (null: none given).
void readOutputSize(const mxArray *camera, const mxArray *size, int32_t &rows, int32_t &columns) {
  if (size == nullptr || mxIsEmpty(size)) {
    rows = readSizeProperty(camera, "expectedM");
    columns = readSizeProperty(camera, "expectedN");
  } else if (mxIsSparse(size)) {
    // Its storage holds only the nonzero elements: [0 5] keeps the 5 alone,
    // where the second element would be read.
    mexErrMsgTxt("takeEarliest: the output size must be a full array; it is sparse.");
  } else if (mxGetNumberOfElements(size) == 1) {
    rows = truncatedInt32(mxGetScalar(size));
    columns = 1;
  } else if (mxGetNumberOfElements(size) == 2) {
    if (!mxIsDouble(size))
      mexErrMsgTxt(
          " At this time, if an output size array is specified, it must be given as class 'double'.");
    rows = truncatedInt32(mxGetPr(size)[0]);
    columns = truncatedInt32(mxGetPr(size)[1]);
  } else {
    mexErrMsgTxt("Either a scalar valure or a 2 element array must be supplied as the outputSize");
  }
}

// Takes the oldest unread image from the driver into data, or ends the call.
// The current camera is read as whoever selected it last left it (in a
// watchDriverSignal callback, the camera whose event it is), under the
// process's lock, so that no other library switches cameras mid-read.
void takeOldestImage(int32_t bitDepth, void *data, uint32_t pixels) {
  int32_t status;
  {
    AndorCameraSelection locked = AndorCameraSelection::currentCamera();
    status = bitDepth == 16 ? readOldestImage16(static_cast<uint16_t *>(data), pixels)
                            : readOldestImage32(static_cast<uint32_t *>(data), pixels);
  }
  failOnDriverStatus("takeEarliest", status, ANDOR_STATUS_SUCCESS);
}

void readIntoNewArray(int nlhs, mxArray *plhs[], int32_t bitDepth, int32_t rows, int32_t columns) {
  // No array can be larger than PTRDIFF_MAX bytes: in a 32-bit MATLAB an
  // image of 2 GB cannot be made, and its byte count can wrap: it is refused before
  // anything is made or read.
  const double bytes = static_cast<double>(rows) * columns * (bitDepth / 8);
  if (rows > 0 && columns > 0 && bytes > static_cast<double>(PTRDIFF_MAX)) {
    char message[messageSize];
    snprintf(message, sizeof message,
             "takeEarliest: a %d-by-%d %s array of %.0f bytes is larger than this MATLAB can hold.",
             static_cast<int>(rows), static_cast<int>(columns), bitDepth == 16 ? "int16" : "int32", bytes);
    mexErrMsgTxt(message);
  }
  // The pixel count is the 32-bit product of the sides, as the driver takes
  // it; a product that wrapped asks for fewer pixels than the array holds.
  const int32_t pixelCount =
      static_cast<int32_t>(static_cast<uint32_t>(rows) * static_cast<uint32_t>(columns));
  mxArray *image = mxCreateNumericMatrix(static_cast<mwSize>(rows), static_cast<mwSize>(columns),
                                         bitDepth == 16 ? mxINT16_CLASS : mxINT32_CLASS, mxREAL);
  uint64_t pixels = static_cast<uint32_t>(pixelCount);
  if (pixels > mxGetNumberOfElements(image)) pixels = mxGetNumberOfElements(image);
  takeOldestImage(bitDepth, mxGetData(image), static_cast<uint32_t>(pixels));
  if (nlhs >= 1)
    plhs[0] = image;
  else
    mxDestroyArray(image); // the image has been taken from the driver all the same
}

void readIntoGlobal(int32_t bitDepth, const mxArray *nameArgument) {
  char name[nameSize] = "";
  mxGetString(nameArgument, name, nameSize);
  mxArray *variable = mexGetVariable("global", name);
  if (variable == nullptr) {
    mexPrintf("Failed to find variable '%s' in workspace. Aborting read.\n", name);
    return;
  }
  // The driver writes a whole pixel per element: a narrower element, or an
  // array that holds no numbers, would be written past its end.
  const size_t pixelBytes = static_cast<size_t>(bitDepth / 8);
  if ((!mxIsNumeric(variable) && !mxIsChar(variable)) || mxGetElementSize(variable) < pixelBytes) {
    char message[messageSize];
    snprintf(message, sizeof message,
             "takeEarliest: the global variable '%s' must be a numeric array whose elements are at least %d "
             "bits wide.",
             name, static_cast<int>(bitDepth));
    mexErrMsgTxt(message);
  }
  // A sparse array stores only its nonzero elements, far fewer than its
  // element count, so the driver would write past its storage. A complex
  // one would take the image in its real parts only, next to imaginary
  // parts of before: not the frame.
  if (mxIsSparse(variable) || mxIsComplex(variable)) {
    char message[messageSize];
    snprintf(message, sizeof message,
             "takeEarliest: the global variable '%s' must be a full, real array; it is %s.", name,
             mxIsSparse(variable) ? "sparse" : "complex");
    mexErrMsgTxt(message);
  }
  size_t elements = mxGetNumberOfElements(variable);
  if (elements > UINT32_MAX) elements = UINT32_MAX;
  takeOldestImage(bitDepth, mxGetData(variable), static_cast<uint32_t>(elements));
  if (mexPutVariable("global", name, variable) != 0) mexPrintf("Error occurred in mexPutVariable()\n");
}

} // namespace

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
  if (nrhs < 2)
    mexErrMsgTxt("takeEarliest: at least two inputs are needed, the camera object and the bit depth.");
  const int32_t bitDepth = readBitDepth(prhs[1]);
  const mxArray *third = nrhs >= 3 ? prhs[2] : nullptr;
  if (third != nullptr && !mxIsEmpty(third) && !mxIsNumeric(third) && !mxIsChar(third))
    mexErrMsgTxt("takeEarliest: the third input must be an output size or the name of a global variable.");
  if (third != nullptr && !mxIsEmpty(third) && mxIsChar(third)) {
    readIntoGlobal(bitDepth, third);
    return;
  }
  int32_t rows = 0, columns = 0;
  readOutputSize(prhs[0], third, rows, columns);
  readIntoNewArray(nlhs, plhs, bitDepth, rows, columns);
}
