/* Built into every MEX file: MATLAB asks it which API the file was built
 * against before it calls mexFunction. This root's API is the one of the
 * _730 entry points (separate complex storage, 64-bit sizes). */
#include "mex.h"

#ifdef __cplusplus
extern "C" {
#endif

MEXFUNCTION_LINKAGE void mexfilerequiredapiversion(unsigned int *builtByRelease,
                                                   unsigned int *targetApiVersion);

void mexfilerequiredapiversion(unsigned int *builtByRelease, unsigned int *targetApiVersion) {
  *builtByRelease = 0x2022b;
  *targetApiVersion = 0x07300000;
}

#ifdef __cplusplus
}
#endif
