/* A MEX file with the exports of the other Windows architecture: a 32-bit
 * one that also answers MATLAB's API-version query, or a 64-bit one that
 * does not. check_mex_exports.cmake must refuse it. */
#include "mex.h"

MEXFUNCTION_LINKAGE void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
  (void)nlhs;
  (void)plhs;
  (void)nrhs;
  (void)prhs;
}

#ifdef PROBE_API_VERSION_EXPORT
MEXFUNCTION_LINKAGE void mexfilerequiredapiversion(unsigned int *builtByRelease,
                                                   unsigned int *targetApiVersion);

void mexfilerequiredapiversion(unsigned int *builtByRelease, unsigned int *targetApiVersion) {
  *builtByRelease = 0;
  *targetApiVersion = 0;
}
#endif
