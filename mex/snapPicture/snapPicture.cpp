// picture = snapPicture(camera): grabs one image from the QCam camera of the
// first call's camera object, as a height-by-width uint8 matrix.
//
// The grab buffer is a persistent matrix that only this library holds; each
// call hands MATLAB a copy of it. A returned array belongs to MATLAB, which
// frees it when the caller's variable goes (and Octave copies it anyway),
// so the buffer the driver writes into must never be the returned array.
#include "drivers/qcam_driver.h"
#include "mex.h"
#include "mex/common/driverStatusError.h"
#include "mex/common/qcamCamera.h"

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

void releasePicture(void) {
  if (pictureArray != nullptr) mxDestroyArray(pictureArray);
  pictureArray = nullptr;
  memset(&pictureFrame, 0, sizeof pictureFrame);
  setUpDone = false;
}

// Changes nothing until it has run to its end: a refused or failed set-up
// runs again on the next call.
void setUp(int nrhs, const mxArray *prhs[]) {
  const int32_t handle = readCameraHandle("snapPicture", nrhs, prhs);
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
  failOnDriverStatus("snapPicture", qcamGrabImage(cameraHandle, &pictureFrame), QCAM_STATUS_SUCCESS);
  if (nlhs >= 1) plhs[0] = mxDuplicateArray(pictureArray);
}
