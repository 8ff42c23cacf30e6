/* Calling a MATLAB callback from a dispatch routine, and printing the error
 * it raised. Shared by the libraries whose dispatch routines call MATLAB
 * function handles. */
#ifndef CAMERA_ASYNCMEX_MATLABCALLBACKERROR_H
#define CAMERA_ASYNCMEX_MATLABCALLBACKERROR_H

#include "mex.h"

/* Prints "ERROR in event callback of AndorCamera object: <message>" with the
 * exception's message cut to 255 characters, then destroys the exception.
 * MATLAB hands back an MException object whose property is "message";
 * Octave a struct with a field of that name: either is read. */
void printCallbackError(mxArray *exception);

/* feval(callback, camera, data) with the callback's error trapped and
 * printed as printCallbackError prints it, with the callback's own message.
 * The three arrays stay the caller's: nothing keeps or destroys them. */
void callMatlabCallback(mxArray *callback, mxArray *camera, mxArray *data);

#endif
