// The bridge's binding, posting, hook and release.
#include "AsyncMex.h"

#include "mex.h"

#include <stdlib.h>

namespace {
// Library-wide: set by the first binding, and reset when the hook goes with
// the objects at exit, so that a library kept loaded past its clear starts
// its next load as a fresh one does.
UINT asyncMexMessage = 0;
HHOOK asyncMexHook = nullptr;
// A pin lasts as long as the process.
bool libraryPinned = false;

// Marks the end of what a drain takes. Every hook that takes it calls its
// routine, so it is a real object whose routine does nothing.
void ignoreEvent(uint32_t, void *) {}
AsyncMexObject endOfQueue = {nullptr, 0, nullptr, nullptr, ignoreEvent};

const int locationDuplicateHandle = 166;
const int locationRegisterMessage = 182;
} // namespace

extern "C" {

int initAsyncMex(AsyncMexObject *object) {
  if (!DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &object->threadHandle, 0,
                       FALSE, DUPLICATE_SAME_ACCESS)) {
    printWindowsErrorMessage(locationDuplicateHandle);
    return -1;
  }
  object->threadId = GetCurrentThreadId();
  object->hookHandle = nullptr;
  if (asyncMexMessage == 0) {
    asyncMexMessage = RegisterWindowMessageA("AsyncMex_Event");
    if (asyncMexMessage == 0) {
      printWindowsErrorMessage(locationRegisterMessage);
      return -2;
    }
  }
  if (asyncMexHook == nullptr) {
    asyncMexHook = SetWindowsHookExA(WH_GETMESSAGE, asyncMexHookProc, nullptr, GetCurrentThreadId());
    if (asyncMexHook == nullptr) return -3;
  }
  object->hookHandle = asyncMexHook;
  return 0;
}

AsyncMexObject *makeAsyncMex(AsyncMexDispatchRoutine routine, void *context) {
  AsyncMexObject *object = static_cast<AsyncMexObject *>(calloc(1, sizeof(AsyncMexObject)));
  if (object == nullptr) return nullptr;
  object->dispatchRoutine = routine;
  object->dispatchContext = context;
  int status = initAsyncMex(object);
  if (status != 0) {
    mexPrintf("Failed to initialize AsyncMex object (@%p): %d", static_cast<void *>(object), status);
    releaseAsyncMex(object);
    return nullptr;
  }
  return object;
}

int postAsyncMex(AsyncMexObject *object, uint32_t argument) {
  if (object == nullptr || object->threadId == 0) return 0;
  return PostThreadMessageA(object->threadId, asyncMexMessage, reinterpret_cast<WPARAM>(object),
                            static_cast<LPARAM>(argument)) != FALSE;
}

LRESULT CALLBACK asyncMexHookProc(int code, WPARAM wParam, LPARAM lParam) {
  // A peeked message stays queued; it is dispatched when it is removed, so
  // each post runs its routine once. Other hooks still see the peek.
  if (code != HC_ACTION || wParam == PM_NOREMOVE) return CallNextHookEx(nullptr, code, wParam, lParam);
  MSG *msg = reinterpret_cast<MSG *>(lParam);
  if (asyncMexMessage == 0 || msg->message != asyncMexMessage)
    return CallNextHookEx(nullptr, code, wParam, lParam);
  AsyncMexObject *object = reinterpret_cast<AsyncMexObject *>(msg->wParam);
  if (object != nullptr && object->dispatchRoutine != nullptr) {
    // Another library's routine may run MATLAB code that clears this one,
    // whose hook it then returns into. Its own routines look after that
    // themselves; an object never bound (a drain's marker) runs no MATLAB.
    if (object->hookHandle != nullptr && object->hookHandle != asyncMexHook) pinAsyncMexLibrary();
    object->dispatchRoutine(static_cast<uint32_t>(msg->lParam), object->dispatchContext);
  }
  return 0;
}

int pinAsyncMexLibrary(void) {
  if (libraryPinned) return 1;
  HMODULE module = nullptr;
  // Any address inside the library names it.
  libraryPinned = GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                                     reinterpret_cast<LPCSTR>(&asyncMexMessage), &module) != FALSE;
  return libraryPinned ? 1 : 0;
}

void discardAsyncMexEvents(void) {
  if (asyncMexMessage == 0) return;
  // Only what is queued now is taken: producers of other libraries may go on
  // posting, and a drain that chased them would never end.
  const WPARAM marker = reinterpret_cast<WPARAM>(&endOfQueue);
  const bool marked = PostThreadMessageA(GetCurrentThreadId(), asyncMexMessage, marker, 0) != FALSE;
  const int unmarkedLimit = 10000; // a full queue holds no more
  MSG msg;
  for (int taken = 0; marked || taken < unmarkedLimit; ++taken) {
    if (!PeekMessageA(&msg, nullptr, asyncMexMessage, asyncMexMessage, PM_REMOVE)) break;
    if (msg.message == WM_QUIT) {
      // A quit is retrieved whatever the filter; it is not ours to take.
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (msg.wParam == marker) break;
  }
}

void releaseAsyncMex(AsyncMexObject *object) {
  if (object == nullptr) return;
  if (object->hookHandle != nullptr) {
    UnhookWindowsHookEx(object->hookHandle);
    if (object->hookHandle == asyncMexHook) {
      asyncMexHook = nullptr;
      asyncMexMessage = 0;
    }
  }
  if (object->threadHandle != nullptr) CloseHandle(object->threadHandle);
  free(object);
}

void printWindowsErrorMessage(int locationCode) {
  DWORD error = GetLastError();
  char *text = nullptr;
  DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                                    FORMAT_MESSAGE_FROM_SYSTEM,
                                nullptr, error, 0, reinterpret_cast<LPSTR>(&text), 1024, nullptr);
  if (length == 0) {
    mexPrintf("printWindowsErrorMessage() - Failed to format message for error: %d\n"
              "                             FormatMessage Error: %d\n",
              static_cast<int>(error), static_cast<int>(GetLastError()));
    return;
  }
  mexPrintf("AsyncMex (@ %d) - Windows Error: %d\n"
            "                          %s\n",
            locationCode, static_cast<int>(error), text);
  LocalFree(text);
}

} // extern "C"
