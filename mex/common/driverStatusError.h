// The error every MEX function raises when a camera driver's call fails.
#ifndef CAMERA_MEX_COMMON_DRIVERSTATUSERROR_H
#define CAMERA_MEX_COMMON_DRIVERSTATUSERROR_H

#include "mex.h"

#include <stdint.h>
#include <stdio.h>

// Ends the call with "ERROR in <functionName> call. Status code <status> was
// returned" unless the driver returned successStatus (each driver has its own).
inline void failOnDriverStatus(const char *functionName, int32_t status, int32_t successStatus) {
  if (status == successStatus) return;
  char message[128];
  snprintf(message, sizeof message, "ERROR in %s call. Status code %d was returned", functionName,
           static_cast<int>(status));
  mexErrMsgTxt(message);
}

#endif
