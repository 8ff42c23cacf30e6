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
WIN32_STANDIN_API size_t win32OpenHandleCount(void);  /* handles not yet closed */
WIN32_STANDIN_API size_t win32RunningThreadCount(void); /* CreateThread threads still running */
WIN32_STANDIN_API size_t win32HookCount(void);          /* hooks installed and not removed */

/* Length of a thread's message queue, or -1 if it has none. */
WIN32_STANDIN_API long win32QueueLength(DWORD threadId);

#ifdef __cplusplus
}
#endif

#endif
