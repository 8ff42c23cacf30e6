// The QCam camera a MEX function is handed: the driver's handle held by the
// camera object, and what the driver tells of that camera.
#ifndef CAMERA_MEX_COMMON_QCAMCAMERA_H
#define CAMERA_MEX_COMMON_QCAMCAMERA_H

#include "drivers/qcam_driver.h"
#include "mex.h"

#include <stdint.h>
#include <stdio.h>
#include <string.h>

// The cameraHandle property of the object in the first argument, or a MATLAB
// error that starts with functionName, the MEX function the user called.
inline int32_t readCameraHandle(const char *functionName, int nrhs, const mxArray *prhs[]) {
  mxArray *property = nrhs < 1 ? nullptr : mxGetProperty(prhs[0], 0, "cameraHandle");
  if (property == nullptr ||
      (mxGetClassID(property) != mxINT32_CLASS && mxGetClassID(property) != mxUINT32_CLASS) ||
      mxGetNumberOfElements(property) < 1) {
    if (property != nullptr) mxDestroyArray(property);
    char message[256];
    snprintf(
        message, sizeof message,
        "%s: the first argument must be a camera object whose cameraHandle property is a 32-bit integer.",
        functionName);
    mexErrMsgTxt(message);
  }
  int32_t handle;
  memcpy(&handle, mxGetData(property), sizeof handle); // the first integer, unchanged
  mxDestroyArray(property);
  return handle;
}

// One QCAM_INFO_ value of the camera; 0 when the driver cannot tell it.
inline uint32_t cameraInfo(int32_t cameraHandle, uint32_t key) {
  uint32_t value = 0; // what a failed query leaves
  qcamGetInfo(cameraHandle, key, &value);
  return value;
}

#endif
