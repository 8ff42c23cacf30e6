/* AsyncMex: carries an event from any thread into the MATLAB thread that
 * bound an object, and runs the object's routine there.
 *
 * Every MEX library that needs callbacks links its own copy: the message id
 * and the hook are per library, the posted object carries its own routine,
 * so whichever library's hook takes a message runs the right code. */
#ifndef CAMERA_ASYNCMEX_ASYNCMEX_H
#define CAMERA_ASYNCMEX_ASYNCMEX_H

#include <windows.h>

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void (*AsyncMexDispatchRoutine)(uint32_t argument, void *context);

typedef struct AsyncMexObject {
  HANDLE threadHandle;   /* real handle of the bound thread; held for life */
  DWORD threadId;        /* every post goes here; 0: post nothing */
  HHOOK hookHandle;      /* the library's hook as it stood at binding */
  void *dispatchContext; /* second argument of dispatchRoutine */
  AsyncMexDispatchRoutine dispatchRoutine;
} AsyncMexObject;

/* Binds the object, allocated zero-filled with calloc and with its context
 * and routine set, to the calling thread. 0 bound; -1 thread handle not
 * duplicated; -2 message not registered; -3 hook not installed. */
int initAsyncMex(AsyncMexObject *object);

/* Allocates an object that runs routine(argument, context) for its events
 * and binds it to the calling thread. Null, after printing why to MATLAB's
 * command window, when it cannot be made; released by releaseAsyncMex. */
AsyncMexObject *makeAsyncMex(AsyncMexDispatchRoutine routine, void *context);

/* Any thread: queues one event for the object's thread. Nonzero when it
 * was queued; 0 for a null object, one without a thread, or a post that
 * Windows refused, which an owner counting its events must know of. */
int postAsyncMex(AsyncMexObject *object, uint32_t argument);

/* The bound thread: removes the hook if the object holds it, frees the object.
 * The next binding after the library's hook is removed installs it again. */
void releaseAsyncMex(AsyncMexObject *object);

/* The bound thread: takes every AsyncMex event queued to it so far, so that
 * none outlives the objects about to be released. Each is dispatched by
 * whichever hook takes it (the owner's routines must tolerate that), or
 * dropped when no hook is left. Call it after the producers have stopped
 * and before objects or their contexts are freed. */
void discardAsyncMexEvents(void);

/* Keeps the library that holds this copy of the bridge loaded until the
 * process ends: its code stays mapped through a clear that happens while a
 * routine of it is on the stack, and its state stays as its exit routine left
 * it, to be used again by its next load. Nonzero when it is kept. A routine
 * that calls MATLAB code, which may clear its library, calls this first. */
int pinAsyncMexLibrary(void);

/* Prints the calling thread's last Windows error with the system's text. */
void printWindowsErrorMessage(int locationCode);

LRESULT CALLBACK asyncMexHookProc(int code, WPARAM wParam, LPARAM lParam);

#ifdef __cplusplus
}
#endif

#endif
