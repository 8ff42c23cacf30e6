// picture = snapPicture(camera): grabs one image from the QCam camera of the
// first call's camera object, as a height-by-width uint8 matrix.
//
// The grab buffer is a persistent matrix that only this library holds; each
// call hands MATLAB a copy of it. A returned array belongs to MATLAB, which
// frees it when the caller's variable goes (and Octave copies it anyway),
// so the buffer the driver writes into must never be the returned array.
#include "drivers/qcam_driver.h"
#include "mex.h"

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

namespace {

bool setUpDone = false;
int32_t cameraHandle = 0;
uint32_t height = 0, width = 0, imageSize = 0;
mxArray *pictureArray = nullptr;
QCamFrameRecord pictureFrame;

int32_t readCameraHandle(int nrhs, const mxArray *prhs[]) {
  mxArray *property = nrhs < 1 ? nullptr : mxGetProperty(prhs[0], 0, "cameraHandle");
  if (property == nullptr ||
      (mxGetClassID(property) != mxINT32_CLASS && mxGetClassID(property) != mxUINT32_CLASS) ||
      mxGetNumberOfElements(property) < 1) {
    if (property != nullptr) mxDestroyArray(property);
    mexErrMsgTxt("snapPicture: the first argument must be a camera object whose cameraHandle property is a "
                 "32-bit integer.");
  }
  int32_t handle;
  memcpy(&handle, mxGetData(property), sizeof handle); // the first integer, unchanged
  mxDestroyArray(property);
  return handle;
}

uint32_t cameraInfo(int32_t handle, uint32_t key) {
  uint32_t value = 0; // what a failed query leaves
  qcamGetInfo(handle, key, &value);
  return value;
}

void releasePicture(void) {
  if (pictureArray != nullptr) mxDestroyArray(pictureArray);
  pictureArray = nullptr;
  memset(&pictureFrame, 0, sizeof pictureFrame);
  setUpDone = false;
}

// Changes nothing until it has run to its end: a refused or failed set-up
// runs again on the next call.
void setUp(int nrhs, const mxArray *prhs[]) {
  const int32_t handle = readCameraHandle(nrhs, prhs);
  const uint32_t rows = cameraInfo(handle, QCAM_INFO_IMAGE_HEIGHT);
  const uint32_t columns = cameraInfo(handle, QCAM_INFO_IMAGE_WIDTH);
  const uint32_t bytes = cameraInfo(handle, QCAM_INFO_IMAGE_SIZE);
  // No array can be larger than PTRDIFF_MAX bytes: in a 32-bit MATLAB a
  // picture of 2 GB cannot be made, and its byte count can wrap.
  const uint64_t pictureBytes = static_cast<uint64_t>(rows) * columns;
  if (pictureBytes > static_cast<uint64_t>(PTRDIFF_MAX)) {
    char message[256];
    snprintf(
        message, sizeof message,
        "snapPicture: the camera's %u-by-%u uint8 picture of %.0f bytes is larger than this MATLAB can hold.",
        static_cast<unsigned>(rows), static_cast<unsigned>(columns), static_cast<double>(pictureBytes));
    mexErrMsgTxt(message);
  }
  // The driver is told the buffer is the image size long: never more than the matrix.
  if (bytes > pictureBytes) {
    char message[256];
    snprintf(message, sizeof message,
             "snapPicture: the camera's images of %u bytes do not fit its %u-by-%u uint8 picture; only 8-bit "
             "images can be grabbed.",
             static_cast<unsigned>(bytes), static_cast<unsigned>(rows), static_cast<unsigned>(columns));
    mexErrMsgTxt(message);
  }
  mxArray *picture = mxCreateNumericMatrix(rows, columns, mxUINT8_CLASS, mxREAL);
  mexMakeArrayPersistent(picture);
  mexAtExit(releasePicture);
  cameraHandle = handle;
  height = rows;
  width = columns;
  imageSize = bytes;
  pictureArray = picture;
  memset(&pictureFrame, 0, sizeof pictureFrame);
  pictureFrame.bufferAddress = mxGetData(pictureArray);
  pictureFrame.bufferLength = imageSize;
  setUpDone = true;
}

} // namespace

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
  if (!setUpDone) setUp(nrhs, prhs);
  int32_t status = qcamGrabImage(cameraHandle, &pictureFrame);
  if (status != QCAM_STATUS_SUCCESS) {
    char message[128];
    snprintf(message, sizeof message, "ERROR in %s call. Status code %d was returned", "snapPicture",
             static_cast<int>(status));
    mexErrMsgTxt(message);
  }
  if (nlhs >= 1) plhs[0] = mxDuplicateArray(pictureArray);
}
