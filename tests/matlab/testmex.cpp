/* A MEX library for the runtime's tests: each command exercises one promise
 * of the MATLAB stand-in. It uses only calls that MATLAB's and Octave's
 * headers both declare, so it also builds with mkoctfile --mex.
 *
 *   testmex(command, ...) */
#include <stdint.h>
#include <string.h>

#include "mex.h"

static int callCount = 0;
static mxArray *kept = NULL;      /* persistent */
static void *keptBlock = NULL;    /* persistent */
static mxArray *forgotten = NULL; /* not made persistent: freed when its call ends */
static mxArray *handed = NULL;    /* persistent: handed to a callback, then changed or destroyed */

static void textOf(const mxArray *array, char *buffer, mwSize size) {
  if (mxGetString(array, buffer, size) != 0) mexErrMsgTxt("testmex: expected a text argument");
}

static void dropKept(void) {
  if (kept != NULL) mxDestroyArray(kept);
  if (keptBlock != NULL) mxFree(keptBlock);
  if (handed != NULL) mxDestroyArray(handed);
  kept = NULL;
  keptBlock = NULL;
  handed = NULL;
}

/* A persistent struct {value: a 1-by-4 double matrix of 1 to 4}, handed to
 * the callback prhs[1]; then, as a wrong library would, changed. */
static void handToCallback(const mxArray *callback) {
  const char *fields[] = {"value"};
  mxArray *arguments[2];
  mxArray *value = mxCreateDoubleMatrix(1, 4, mxREAL);
  int e;
  for (e = 0; e < 4; ++e) mxGetPr(value)[e] = e + 1;
  if (handed != NULL) mxDestroyArray(handed);
  handed = mxCreateStructMatrix(1, 1, 1, fields);
  mxSetField(handed, 0, "value", value);
  mexMakeArrayPersistent(handed);
  arguments[0] = (mxArray *)callback;
  arguments[1] = handed;
  mexCallMATLAB(0, NULL, 2, arguments, "feval");
}

static void exitRoutine(void) {
  mexPrintf("testmex exit routine\n");
  dropKept();
}

static void requireInputs(int nrhs, int needed) {
  if (nrhs < needed) mexErrMsgTxt("testmex: not enough inputs");
}

/* Calls a MATLAB function with the trap; an error is printed, not raised. */
static void trappedCall(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
  mxArray *exception = mexCallMATLABWithTrap(nlhs, plhs, nrhs - 1, (mxArray **)(prhs + 1), "feval");
  if (exception != NULL) {
    char *message = (char *)mxCalloc(256, 1);
    /* Octave traps into a struct with a field, MATLAB into an object with a
     * property: read whichever is there. */
    mxArray *text = mxGetField(exception, 0, "message");
    if (text == NULL) text = mxGetProperty(exception, 0, "message");
    if (text != NULL) mxGetString(text, message, 256);
    mexPrintf("ERROR in callback: %s\n", message);
    mxFree(message);
  }
}

static mxArray *describe(const mxArray *value) {
  mxArray *result = mxCreateDoubleMatrix(1, 14, mxREAL);
  double *d = mxGetPr(result);
  d[0] = (double)mxGetClassID(value);
  d[1] = (double)mxGetNumberOfElements(value);
  d[2] = (double)mxGetM(value);
  d[3] = (double)mxGetN(value);
  d[4] = mxIsEmpty(value);
  d[5] = mxIsNumeric(value);
  d[6] = mxIsChar(value);
  d[7] = mxIsCell(value);
  d[8] = mxIsStruct(value);
  d[9] = mxIsLogical(value);
  d[10] = mxIsDouble(value);
  d[11] = mxIsFunctionHandle(value);
  d[12] = mxIsSparse(value);
  d[13] = mxIsComplex(value);
  return result;
}

/* sparse(x) of a full double matrix: room for its nonzero elements only. */
static mxArray *sparseOf(const mxArray *full) {
  const mwSize m = mxGetM(full), n = mxGetN(full);
  const double *re = mxGetPr(full);
  const double *im = mxIsComplex(full) ? mxGetPi(full) : NULL;
  mwSize count = 0, i, j, k = 0;
  mxArray *result;
  mwIndex *ir, *jc;
  double *pr, *pi;
  for (i = 0; i < m * n; ++i) count += re[i] != 0 || (im != NULL && im[i] != 0);
  result = mxCreateSparse(m, n, count, im != NULL ? mxCOMPLEX : mxREAL);
  ir = mxGetIr(result);
  jc = mxGetJc(result);
  pr = mxGetPr(result);
  pi = mxGetPi(result);
  for (j = 0; j < n; ++j) {
    jc[j] = k;
    for (i = 0; i < m; ++i) {
      const mwSize e = j * m + i;
      if (re[e] == 0 && (im == NULL || im[e] == 0)) continue;
      ir[k] = i;
      pr[k] = re[e];
      if (im != NULL) pi[k] = im[e];
      ++k;
    }
  }
  jc[n] = k;
  return result;
}

/* full(s) of a sparse double matrix. */
static mxArray *fullOf(const mxArray *sparse) {
  const mwSize m = mxGetM(sparse), n = mxGetN(sparse);
  const mwIndex *ir = mxGetIr(sparse), *jc = mxGetJc(sparse);
  const double *pr = mxGetPr(sparse), *pi = mxGetPi(sparse);
  mxArray *result = mxCreateDoubleMatrix(m, n, mxIsComplex(sparse) ? mxCOMPLEX : mxREAL);
  double *re = mxGetPr(result), *im = mxGetPi(result);
  mwSize j;
  mwIndex k;
  for (j = 0; j < n; ++j)
    for (k = jc[j]; k < jc[j + 1]; ++k) {
      re[j * m + ir[k]] = pr[k];
      if (im != NULL) im[j * m + ir[k]] = pi[k];
    }
  return result;
}

/* A struct {frames: k-by-1 cell of m-by-n uint16 matrices filled with their
 * index, frameData: a copy of the last matrix}. */
static mxArray *buildFrames(mwSize m, mwSize n, mwSize k) {
  const char *fields[] = {"frames", "frameData"};
  mxArray *cell = mxCreateCellMatrix(k, 1);
  mxArray *result = mxCreateStructMatrix(1, 1, 2, fields);
  mwSize j, i;
  for (j = 0; j < k; ++j) {
    mxArray *frame = mxCreateNumericMatrix(m, n, mxUINT16_CLASS, mxREAL);
    uint16_t *pixels = (uint16_t *)mxGetData(frame);
    for (i = 0; i < m * n; ++i) pixels[i] = (uint16_t)j;
    mxSetCell(cell, j, frame);
  }
  mxSetField(result, 0, "frames", cell);
  if (k > 0) mxSetField(result, 0, "frameData", mxDuplicateArray(mxGetCell(cell, k - 1)));
  return result;
}

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
  char command[64];
  char name[64];
  int i;
  requireInputs(nrhs, 1);
  textOf(prhs[0], command, sizeof command);
  ++callCount;

  if (strcmp(command, "count") == 0) {
    plhs[0] = mxCreateDoubleScalar(callCount);
  } else if (strcmp(command, "name") == 0) {
    plhs[0] = mxCreateString(mexFunctionName());
  } else if (strcmp(command, "echo") == 0) {
    for (i = 0; i < nlhs && i + 1 < nrhs; ++i) plhs[i] = mxDuplicateArray(prhs[i + 1]);
  } else if (strcmp(command, "print") == 0) {
    char *text;
    requireInputs(nrhs, 2);
    text = mxArrayToString(prhs[1]);
    mexPrintf("%s", text);
    mxFree(text);
  } else if (strcmp(command, "format") == 0) {
    requireInputs(nrhs, 3);
    textOf(prhs[2], name, sizeof name);
    mexPrintf("value %d:\t%s\n", (int)mxGetScalar(prhs[1]), name);
  } else if (strcmp(command, "error") == 0) {
    requireInputs(nrhs, 2);
    textOf(prhs[1], name, sizeof name);
    mexErrMsgTxt(name);
  } else if (strcmp(command, "errorId") == 0) {
    char text[64];
    requireInputs(nrhs, 3);
    textOf(prhs[1], name, sizeof name);
    textOf(prhs[2], text, sizeof text);
    mexErrMsgIdAndTxt(name, "%s (code %d)", text, 42);
  } else if (strcmp(command, "errorAfterAlloc") == 0) {
    mxArray *cell = mxCreateCellMatrix(1, 1);
    mxSetCell(cell, 0, mxCreateDoubleMatrix(10, 10, mxREAL));
    mxCalloc(100, 1);
    plhs[0] = mxCreateDoubleScalar(1);
    mexErrMsgTxt("failed after allocating");
  } else if (strcmp(command, "keep") == 0) {
    requireInputs(nrhs, 2);
    dropKept();
    kept = mxDuplicateArray(prhs[1]);
    mexMakeArrayPersistent(kept);
    keptBlock = mxCalloc(16, 1);
    mexMakeMemoryPersistent(keptBlock);
  } else if (strcmp(command, "kept") == 0) {
    if (kept == NULL) mexErrMsgTxt("testmex: nothing kept");
    plhs[0] = mxDuplicateArray(kept);
  } else if (strcmp(command, "returnKept") == 0) {
    if (kept == NULL) mexErrMsgTxt("testmex: nothing kept");
    plhs[0] = kept;
  } else if (strcmp(command, "drop") == 0) {
    dropKept();
  } else if (strcmp(command, "keepForgotten") == 0) {
    requireInputs(nrhs, 2);
    forgotten = mxDuplicateArray(prhs[1]);
  } else if (strcmp(command, "readForgotten") == 0) {
    plhs[0] = mxCreateDoubleScalar(mxGetScalar(forgotten));
  } else if (strcmp(command, "leak") == 0) {
    mxArray *array = mxCreateNumericMatrix(8, 1, mxUINT8_CLASS, mxREAL);
    mexMakeArrayPersistent(array);
    mexMakeMemoryPersistent(mxCalloc(8, 1));
  } else if (strcmp(command, "atexit") == 0) {
    mexAtExit(exitRoutine);
  } else if (strcmp(command, "lock") == 0) {
    mexLock();
  } else if (strcmp(command, "unlock") == 0) {
    mexUnlock();
  } else if (strcmp(command, "isLocked") == 0) {
    plhs[0] = mxCreateDoubleScalar(mexIsLocked() ? 1 : 0);
  } else if (strcmp(command, "feval") == 0) {
    requireInputs(nrhs, 2);
    trappedCall(nlhs, plhs, nrhs, prhs);
  } else if (strcmp(command, "call") == 0) {
    requireInputs(nrhs, 2);
    textOf(prhs[1], name, sizeof name);
    mexCallMATLAB(nlhs, plhs, nrhs - 2, (mxArray **)(prhs + 2), name);
  } else if (strcmp(command, "getGlobal") == 0) {
    mxArray *value;
    requireInputs(nrhs, 2);
    textOf(prhs[1], name, sizeof name);
    value = mexGetVariable("global", name);
    if (value == NULL)
      mexPrintf("Failed to find variable '%s'\n", name);
    else
      plhs[0] = value;
  } else if (strcmp(command, "putGlobal") == 0) {
    requireInputs(nrhs, 3);
    textOf(prhs[1], name, sizeof name);
    plhs[0] = mxCreateDoubleScalar(mexPutVariable("global", name, prhs[2]));
  } else if (strcmp(command, "scaleGlobal") == 0) {
    /* Changes the copy only: the workspace sees it once it is put back. */
    mxArray *value;
    double *data;
    size_t count, e;
    requireInputs(nrhs, 3);
    textOf(prhs[1], name, sizeof name);
    value = mexGetVariable("global", name);
    if (value == NULL) mexErrMsgTxt("testmex: no such global");
    data = mxGetPr(value);
    count = mxGetNumberOfElements(value);
    for (e = 0; e < count; ++e) data[e] *= mxGetScalar(prhs[2]);
    plhs[0] = mxCreateDoubleScalar(data[0]);
    if (nrhs > 3 && mxGetScalar(prhs[3]) != 0) mexPutVariable("global", name, value);
  } else if (strcmp(command, "property") == 0) {
    mxArray *value;
    requireInputs(nrhs, 3);
    textOf(prhs[2], name, sizeof name);
    value = mxGetProperty(prhs[1], 0, name);
    if (value == NULL) mexErrMsgTxt("testmex: no such property");
    plhs[0] = value;
  } else if (strcmp(command, "handle") == 0) {
    mxArray *value;
    requireInputs(nrhs, 2);
    value = mxGetProperty(prhs[1], 0, "cameraHandle");
    if (value == NULL) mexErrMsgTxt("testmex: no cameraHandle");
    plhs[0] = mxCreateDoubleScalar(*(int32_t *)mxGetData(value));
  } else if (strcmp(command, "describe") == 0) {
    requireInputs(nrhs, 2);
    plhs[0] = describe(prhs[1]);
  } else if (strcmp(command, "string") == 0) {
    char *buffer;
    int status;
    requireInputs(nrhs, 3);
    buffer = (char *)mxCalloc((size_t)mxGetScalar(prhs[2]) + 1, 1);
    status = mxGetString(prhs[1], buffer, (mwSize)mxGetScalar(prhs[2]));
    plhs[0] = mxCreateString(buffer);
    if (nlhs > 1) plhs[1] = mxCreateDoubleScalar(status);
  } else if (strcmp(command, "sparse") == 0) {
    requireInputs(nrhs, 2);
    plhs[0] = sparseOf(prhs[1]);
  } else if (strcmp(command, "full") == 0) {
    requireInputs(nrhs, 2);
    plhs[0] = fullOf(prhs[1]);
  } else if (strcmp(command, "fillAll") == 0) {
    /* Writes as many bytes as the size says, whatever the storage holds. */
    mxArray *copy;
    requireInputs(nrhs, 2);
    copy = mxDuplicateArray(prhs[1]);
    memset(mxGetData(copy), 1, mxGetNumberOfElements(copy) * mxGetElementSize(copy));
    plhs[0] = copy;
  } else if (strcmp(command, "frames") == 0) {
    requireInputs(nrhs, 4);
    plhs[0] =
        buildFrames((mwSize)mxGetScalar(prhs[1]), (mwSize)mxGetScalar(prhs[2]), (mwSize)mxGetScalar(prhs[3]));
  } else if (strcmp(command, "cell") == 0) {
    requireInputs(nrhs, 3);
    plhs[0] = mxDuplicateArray(mxGetCell(prhs[1], (mwIndex)mxGetScalar(prhs[2])));
  } else if (strcmp(command, "twoCells") == 0) {
    /* Wrong: one array in two cells, freed twice with the cell array. */
    mxArray *cell = mxCreateCellMatrix(2, 1);
    mxArray *matrix = mxCreateDoubleMatrix(2, 2, mxREAL);
    mxSetCell(cell, 0, matrix);
    mxSetCell(cell, 1, matrix);
    plhs[0] = cell;
  } else if (strcmp(command, "persistInside") == 0) {
    /* Wrong: a persistent array that its cell array frees at the call's end. */
    mxArray *cell = mxCreateCellMatrix(1, 1);
    mxSetCell(cell, 0, mxCreateDoubleMatrix(1, 1, mxREAL));
    mexMakeArrayPersistent(mxGetCell(cell, 0));
  } else if (strcmp(command, "destroyInside") == 0) {
    /* Wrong: the cell array is left with a dangling element. */
    mxArray *cell = mxCreateCellMatrix(1, 1);
    mxSetCell(cell, 0, mxCreateDoubleMatrix(1, 1, mxREAL));
    mxDestroyArray(mxGetCell(cell, 0));
  } else if (strcmp(command, "writeInput") == 0) {
    /* Wrong: the input is the caller's value, and whatever shares it. */
    requireInputs(nrhs, 2);
    mxGetPr(prhs[1])[0] = -1;
  } else if (strcmp(command, "handAndSetField") == 0) {
    requireInputs(nrhs, 2);
    handToCallback(prhs[1]);
    mxSetField(handed, 0, "value", mxCreateDoubleScalar(0));
  } else if (strcmp(command, "handAndWrite") == 0) {
    requireInputs(nrhs, 2);
    handToCallback(prhs[1]);
    mxGetPr(mxGetField(handed, 0, "value"))[0] = 0;
  } else if (strcmp(command, "handAndDestroy") == 0) {
    requireInputs(nrhs, 2);
    handToCallback(prhs[1]);
    mxDestroyArray(handed);
    handed = NULL;
  } else if (strcmp(command, "allocate") == 0) {
    requireInputs(nrhs, 2);
    plhs[0] = mxCreateNumericMatrix((mwSize)mxGetScalar(prhs[1]), 1, mxUINT8_CLASS, mxREAL);
  } else {
    mexErrMsgIdAndTxt("testmex:unknownCommand", "testmex: unknown command '%s'", command);
  }
}
