/* The MATLAB MEX API (libmex) as this project's libraries use it: the entry
 * point, persistence, the exit routine, printing, errors, calls into MATLAB,
 * workspace variables and locking. Names and signatures are MATLAB's. */
#ifndef CAMERA_PLATFORM_MATLAB_MEX_H
#define CAMERA_PLATFORM_MATLAB_MEX_H

#include "matrix.h"

/* mexFunction is the one symbol a MEX library exports. */
#if defined(_WIN32)
#define MEXFUNCTION_LINKAGE __declspec(dllexport)
#else
#define MEXFUNCTION_LINKAGE __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

MEXFUNCTION_LINKAGE void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]);

const char *mexFunctionName(void);

/* Printing goes to the MATLAB command window. */
int mexPrintf(const char *format, ...);
void mexWarnMsgTxt(const char *message);
void mexWarnMsgIdAndTxt(const char *identifier, const char *format, ...);

/* End the MEX call with a MATLAB error; they do not return. */
void mexErrMsgTxt(const char *message);
void mexErrMsgIdAndTxt(const char *identifier, const char *format, ...);

/* Call a MATLAB function ("feval" evaluates a function handle given as the
 * first input). mexCallMATLAB ends the MEX call if the function raises an
 * error; mexCallMATLABWithTrap returns null on success and otherwise an
 * MException object whose property "message" holds the error text. */
int mexCallMATLAB(int nlhs, mxArray *plhs[], int nrhs, mxArray *prhs[], const char *name);
mxArray *mexCallMATLABWithTrap(int nlhs, mxArray *plhs[], int nrhs, mxArray *prhs[], const char *name);

/* Workspace variables ("base", "caller" or "global"): mexGetVariable returns
 * a copy (null if there is none), mexPutVariable stores a copy (0 on
 * success). */
mxArray *mexGetVariable(const char *workspace, const char *name);
const mxArray *mexGetVariablePtr(const char *workspace, const char *name);
int mexPutVariable(const char *workspace, const char *name, const mxArray *value);

/* Keep an array or an mxCalloc block past the end of the current call. */
void mexMakeArrayPersistent(mxArray *pa);
void mexMakeMemoryPersistent(void *ptr);

/* The routine runs when MATLAB clears the library; one per library, the last
 * registered wins. */
int mexAtExit(void (*exitFunction)(void));

/* A locked library is not cleared. */
void mexLock(void);
void mexUnlock(void);
bool mexIsLocked(void);

#ifdef __cplusplus
}
#endif

#endif
