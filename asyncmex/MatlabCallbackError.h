/* Printing the error that a MATLAB callback raised. Shared by the libraries
 * whose dispatch routines call MATLAB function handles. */
#ifndef CAMERA_ASYNCMEX_MATLABCALLBACKERROR_H
#define CAMERA_ASYNCMEX_MATLABCALLBACKERROR_H

#include "mex.h"

/* Prints "ERROR in event callback of AndorCamera object: <message>" with the
 * exception's message cut to 255 characters, then destroys the exception.
 * MATLAB hands back an MException object whose property is "message";
 * Octave a struct with a field of that name: either is read. */
void printCallbackError(mxArray *exception);

#endif
