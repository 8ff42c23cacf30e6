/* The subset of the Win32 API that this project's libraries use, for POSIX
 * hosts. Names, types, values and semantics follow Windows; the functions are
 * implemented by the process-wide library `win32` on POSIX threads.
 *
 * Shipped code includes <windows.h> and nothing else of this folder, so the
 * same source builds against the real header under MinGW or MSVC. */
#ifndef CAMERA_PLATFORM_WIN32_WINDOWS_H
#define CAMERA_PLATFORM_WIN32_WINDOWS_H

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#error "this stand-in is for POSIX hosts; Windows builds use the real <windows.h>"
#endif

#if defined(WIN32_STANDIN_BUILD)
#define WIN32_STANDIN_API __attribute__((visibility("default")))
#else
#define WIN32_STANDIN_API
#endif

/* Calling conventions exist only on 32-bit x86 Windows. */
#define WINAPI
#define CALLBACK
#define APIENTRY
#define __stdcall
#define __cdecl

#ifdef __cplusplus
extern "C" {
#endif

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef uint32_t DWORD; /* 32 bits, as on Windows (LLP64), not unsigned long */
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef unsigned int UINT;
typedef char CHAR;
typedef void VOID;
typedef void *PVOID;
typedef void *LPVOID;
typedef const void *LPCVOID;
typedef char *LPSTR;
typedef const char *LPCSTR;
typedef DWORD *LPDWORD;
typedef uintptr_t UINT_PTR;
typedef intptr_t INT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef ULONG_PTR SIZE_T;
typedef ULONG_PTR DWORD_PTR;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;

typedef void *HANDLE;
typedef HANDLE *LPHANDLE;
typedef struct HWND__ *HWND;
typedef struct HHOOK__ *HHOOK;
typedef struct HINSTANCE__ *HINSTANCE;
typedef HINSTANCE HMODULE;
typedef HANDLE HLOCAL;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

typedef struct tagPOINT {
  LONG x;
  LONG y;
} POINT;

typedef struct tagMSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
} MSG, *PMSG, *LPMSG;

typedef struct _SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

typedef DWORD(WINAPI *LPTHREAD_START_ROUTINE)(LPVOID lpThreadParameter);
typedef LRESULT(CALLBACK *HOOKPROC)(int code, WPARAM wParam, LPARAM lParam);
typedef INT_PTR(WINAPI *FARPROC)(void);

#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)
#define INFINITE 0xFFFFFFFFu

#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_ABANDONED_0 0x00000080u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
#define MAXIMUM_WAIT_OBJECTS 64
#define STILL_ACTIVE 259

#define DUPLICATE_CLOSE_SOURCE 0x00000001u
#define DUPLICATE_SAME_ACCESS 0x00000002u
#define CREATE_SUSPENDED 0x00000004u

#define ERROR_SUCCESS 0L
#define ERROR_INVALID_FUNCTION 1L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_NOT_OWNER 288L
#define ERROR_MR_MID_NOT_FOUND 317L
#define ERROR_INVALID_HOOK_HANDLE 1404L
#define ERROR_INVALID_FILTER_PROC 1427L
#define ERROR_HOOK_NEEDS_HMOD 1428L
#define ERROR_INVALID_THREAD_ID 1444L
#define ERROR_NOT_ENOUGH_QUOTA 1816L

#define WM_NULL 0x0000
#define WM_QUIT 0x0012
#define WM_TIMER 0x0113
#define WM_USER 0x0400
#define WM_APP 0x8000

#define PM_NOREMOVE 0x0000u
#define PM_REMOVE 0x0001u
#define PM_NOYIELD 0x0002u

#define QS_POSTMESSAGE 0x0008u
#define QS_ALLPOSTMESSAGE 0x0100u
#define QS_ALLINPUT 0x04FFu
#define MWMO_INPUTAVAILABLE 0x0004u

#define WH_GETMESSAGE 3
#define HC_ACTION 0

#define MB_OK 0x00000000u
#define IDOK 1

#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100u
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200u
#define FORMAT_MESSAGE_FROM_STRING 0x00000400u
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800u
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000u
#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000u
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FFu

#define GET_MODULE_HANDLE_EX_FLAG_PIN 0x00000001u
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002u
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004u

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

#define MAKELANGID(p, s) ((((WORD)(s)) << 10) | (WORD)(p))
#define LANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01

/* Threads and handles */
WIN32_STANDIN_API HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize,
                                             LPTHREAD_START_ROUTINE start, LPVOID parameter,
                                             DWORD creationFlags, LPDWORD threadId);
WIN32_STANDIN_API DWORD WINAPI ResumeThread(HANDLE thread);
WIN32_STANDIN_API BOOL WINAPI GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
WIN32_STANDIN_API HANDLE WINAPI GetCurrentThread(void);
WIN32_STANDIN_API DWORD WINAPI GetCurrentThreadId(void);
WIN32_STANDIN_API HANDLE WINAPI GetCurrentProcess(void);
WIN32_STANDIN_API DWORD WINAPI GetCurrentProcessId(void);
WIN32_STANDIN_API BOOL WINAPI DuplicateHandle(HANDLE sourceProcess, HANDLE source, HANDLE targetProcess,
                                              LPHANDLE target, DWORD desiredAccess, BOOL inheritHandle,
                                              DWORD options);
WIN32_STANDIN_API BOOL WINAPI CloseHandle(HANDLE object);
WIN32_STANDIN_API void WINAPI Sleep(DWORD milliseconds);
WIN32_STANDIN_API DWORD WINAPI GetTickCount(void);

/* Events, mutexes and waits */
WIN32_STANDIN_API HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset,
                                             BOOL initialState, LPCSTR name);
WIN32_STANDIN_API BOOL WINAPI SetEvent(HANDLE event);
WIN32_STANDIN_API BOOL WINAPI ResetEvent(HANDLE event);
/* Mutexes. A name is the process's (there is no other process here) and is
 * compared case-sensitively; it is free again once the last handle of its
 * mutex is closed. */
WIN32_STANDIN_API HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner,
                                             LPCSTR name);
WIN32_STANDIN_API BOOL WINAPI ReleaseMutex(HANDLE mutex);
WIN32_STANDIN_API DWORD WINAPI WaitForSingleObject(HANDLE object, DWORD milliseconds);
WIN32_STANDIN_API DWORD WINAPI WaitForMultipleObjects(DWORD count, const HANDLE *objects, BOOL waitAll,
                                                      DWORD milliseconds);
WIN32_STANDIN_API DWORD WINAPI MsgWaitForMultipleObjects(DWORD count, const HANDLE *objects, BOOL waitAll,
                                                         DWORD milliseconds, DWORD wakeMask);
WIN32_STANDIN_API DWORD WINAPI MsgWaitForMultipleObjectsEx(DWORD count, const HANDLE *objects,
                                                           DWORD milliseconds, DWORD wakeMask, DWORD flags);

/* Thread messages and hooks */
WIN32_STANDIN_API BOOL WINAPI PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
WIN32_STANDIN_API BOOL WINAPI PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
WIN32_STANDIN_API void WINAPI PostQuitMessage(int exitCode);
WIN32_STANDIN_API BOOL WINAPI GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax);
WIN32_STANDIN_API BOOL WINAPI GetMessageW(LPMSG msg, HWND window, UINT filterMin, UINT filterMax);
WIN32_STANDIN_API BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax,
                                           UINT removeFlags);
WIN32_STANDIN_API BOOL WINAPI PeekMessageW(LPMSG msg, HWND window, UINT filterMin, UINT filterMax,
                                           UINT removeFlags);
WIN32_STANDIN_API BOOL WINAPI TranslateMessage(const MSG *msg);
WIN32_STANDIN_API LRESULT WINAPI DispatchMessageA(const MSG *msg);
WIN32_STANDIN_API LRESULT WINAPI DispatchMessageW(const MSG *msg);
WIN32_STANDIN_API UINT WINAPI RegisterWindowMessageA(LPCSTR name);
WIN32_STANDIN_API HHOOK WINAPI SetWindowsHookExA(int hookId, HOOKPROC procedure, HINSTANCE module,
                                                 DWORD threadId);
WIN32_STANDIN_API LRESULT WINAPI CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);
WIN32_STANDIN_API BOOL WINAPI UnhookWindowsHookEx(HHOOK hook);

/* Errors, texts, message boxes, modules */
WIN32_STANDIN_API DWORD WINAPI GetLastError(void);
WIN32_STANDIN_API void WINAPI SetLastError(DWORD error);
WIN32_STANDIN_API DWORD WINAPI FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                                              LPSTR buffer, DWORD size, va_list *arguments);
WIN32_STANDIN_API HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T bytes);
WIN32_STANDIN_API HLOCAL WINAPI LocalFree(HLOCAL memory);
WIN32_STANDIN_API int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
WIN32_STANDIN_API BOOL WINAPI DisableThreadLibraryCalls(HMODULE module);

/* Modules are the host's shared libraries: an HMODULE is the dlopen handle
 * (not the base address, as on Windows), references are dlopen's, and a
 * pinned module is marked RTLD_NODELETE, so no later unload unmaps it. Names
 * are file names as dlopen takes them. */
WIN32_STANDIN_API HMODULE WINAPI LoadLibraryA(LPCSTR fileName);
WIN32_STANDIN_API BOOL WINAPI FreeLibrary(HMODULE module);
WIN32_STANDIN_API BOOL WINAPI GetModuleHandleExA(DWORD flags, LPCSTR moduleName, HMODULE *module);
WIN32_STANDIN_API FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName);

#define LMEM_FIXED 0x0000u
#define LMEM_ZEROINIT 0x0040u
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)

#ifdef __cplusplus
}
#endif

#endif
