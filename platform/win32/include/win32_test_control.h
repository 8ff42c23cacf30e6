/* Test controls of the POSIX Win32 stand-in. Tests and other stand-ins may
 * include this header; shipped code never does. */
#ifndef CAMERA_PLATFORM_WIN32_TEST_CONTROL_H
#define CAMERA_PLATFORM_WIN32_TEST_CONTROL_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* MessageBoxA is headless: it records each text (and caption) and returns
 * IDOK at once. A handler, when set, runs on the calling thread before
 * MessageBoxA returns, in place of the modal loop of a real box: it may
 * pump messages or wait for a test to "close" the box. */
typedef void (*Win32MessageBoxHandler)(const char *text, const char *caption, void *context);

WIN32_STANDIN_API size_t win32MessageBoxCount(void);
/* Copies text number index (from 0) into buffer; returns its full length,
 * or -1 when there is no such box. */
WIN32_STANDIN_API long win32MessageBoxText(size_t index, char *buffer, size_t size);
WIN32_STANDIN_API void win32ClearMessageBoxes(void);
WIN32_STANDIN_API void win32SetMessageBoxHandler(Win32MessageBoxHandler handler, void *context);

/* Accounting, so tests can assert that nothing was left behind. */
WIN32_STANDIN_API size_t win32OpenHandleCount(void);    /* handles not yet closed */
WIN32_STANDIN_API size_t win32RunningThreadCount(void); /* CreateThread threads still running */
WIN32_STANDIN_API size_t win32HookCount(void);          /* hooks installed and not removed */
/* Blocks until at most count CreateThread threads run, at most timeoutMs;
 * 1 then, 0 on time-out. */
WIN32_STANDIN_API int win32WaitForRunningThreads(size_t count, DWORD timeoutMs);

/* Failure injection: the next `times` calls of the named function (for
 * instance "SetWindowsHookExA", "CreateEventA", "CreateMutexA", "CreateThread",
 * "DuplicateHandle", "RegisterWindowMessageA", "FormatMessageA",
 * "WaitForMultipleObjects", "WaitForSingleObject" (each form on its own), and
 * "PostThreadMessage" for both its forms)
 * fail as Windows reports a failure, with the given last error. A negative
 * count fails every call until win32ClearFailures. */
WIN32_STANDIN_API void win32FailNextCalls(const char *function, DWORD error, int times);
WIN32_STANDIN_API void win32ClearFailures(void);

/* Holding waits: from now on, a thread that enters WaitForSingleObject or
 * WaitForMultipleObjects on a list that holds this handle stops there, before
 * it looks at any object, until win32ReleaseHeldWaits. So a test can signal
 * several objects that the waiter will then find signalled together. */
WIN32_STANDIN_API void win32HoldWaitsOn(HANDLE handle);
/* Blocks until a thread is held, at most timeoutMs; 1 then (its wait list is
 * copied to handles, up to MAXIMUM_WAIT_OBJECTS, and its length to count),
 * 0 on time-out. */
WIN32_STANDIN_API int win32WaitForHeldWait(DWORD timeoutMs, HANDLE *handles, DWORD *count);
/* Blocks until some thread waits on the handle (or timeoutMs passes): 1
 * then, 0 on time-out. */
WIN32_STANDIN_API int win32WaitForWaiterOn(HANDLE handle, DWORD timeoutMs);
/* Lets held threads go on and stops holding; a hold set right after applies
 * to the next waits only. */
WIN32_STANDIN_API void win32ReleaseHeldWaits(void);

/* Handle values: by default they grow and are never reused, so a handle used
 * after CloseHandle fails as invalid. With reuse on, the value closed last
 * names the next object made, as on Windows, so a use after close reaches
 * that other object. Turning it on or off forgets the values closed so far. */
WIN32_STANDIN_API void win32ReuseHandleValues(int reuse);

/* Signals the object as abandoned, as a mutex whose owner ended without
 * releasing it is: the next wait that it satisfies returns WAIT_ABANDONED_0
 * plus its index. A mutex's owner loses it, as if it had ended. FALSE for an
 * invalid handle. */
WIN32_STANDIN_API BOOL win32AbandonObject(HANDLE handle);

/* Length of a thread's message queue, or -1 if it has none. */
WIN32_STANDIN_API long win32QueueLength(DWORD threadId);

#ifdef __cplusplus
}
#endif

#endif
