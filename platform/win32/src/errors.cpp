// Last error, system message texts, local memory, message boxes, modules.
#include "state.h"

#include <cstdlib>
#include <cstring>

namespace win32 {
namespace {
thread_local DWORD lastError = ERROR_SUCCESS;

// The system texts of the errors this subset can report, worded as Windows
// words them.
const char *systemText(DWORD error) {
  switch (error) {
  case 0:
    return "The operation completed successfully.\r\n";
  case 1:
    return "Incorrect function.\r\n";
  case 2:
    return "The system cannot find the file specified.\r\n";
  case 5:
    return "Access is denied.\r\n";
  case 6:
    return "The handle is invalid.\r\n";
  case 8:
    return "Not enough memory resources are available to process this command.\r\n";
  case 50:
    return "The request is not supported.\r\n";
  case 87:
    return "The parameter is incorrect.\r\n";
  case 183:
    return "Cannot create a file when that file already exists.\r\n";
  case 288:
    return "Attempt to release mutex not owned by caller.\r\n";
  case 1400:
    return "Invalid window handle.\r\n";
  case 1404:
    return "Invalid hook handle.\r\n";
  case 1426:
    return "Invalid hook procedure type.\r\n";
  case 1427:
    return "Invalid hook procedure.\r\n";
  case 1428:
    return "Cannot set nonlocal hook without a module handle.\r\n";
  case 1444:
    return "Invalid thread identifier.\r\n";
  case 1816:
    return "Not enough quota is available to process this command.\r\n";
  default:
    return nullptr;
  }
}
} // namespace

void fail(DWORD error) { lastError = error; }

} // namespace win32

using namespace win32;

extern "C" {

DWORD WINAPI GetLastError(void) { return lastError; }

void WINAPI SetLastError(DWORD error) { lastError = error; }

HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T bytes) {
  void *memory =
      (flags & LMEM_ZEROINIT) != 0 ? std::calloc(1, bytes ? bytes : 1) : std::malloc(bytes ? bytes : 1);
  if (!memory) fail(ERROR_NOT_ENOUGH_MEMORY);
  return memory;
}

HLOCAL WINAPI LocalFree(HLOCAL memory) {
  std::free(memory);
  return nullptr;
}

DWORD WINAPI FormatMessageA(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPSTR buffer, DWORD size,
                            va_list *) {
  if ((flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 || !buffer) {
    // Only system texts are needed here.
    fail(ERROR_INVALID_PARAMETER);
    return 0;
  }
  {
    Lock held(state().mutex);
    if (injectedFailure(held, "FormatMessageA")) return 0;
  }
  const char *text = systemText(messageId);
  if (!text) {
    fail(ERROR_MR_MID_NOT_FOUND);
    return 0;
  }
  const DWORD length = static_cast<DWORD>(std::strlen(text));
  if ((flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0) {
    // The buffer argument receives the address of a LocalAlloc block of at
    // least size bytes.
    DWORD bytes = length + 1 > size ? length + 1 : size;
    char *block = static_cast<char *>(LocalAlloc(LMEM_FIXED, bytes));
    if (!block) return 0;
    std::memcpy(block, text, length + 1);
    *reinterpret_cast<char **>(buffer) = block;
    return length;
  }
  if (size < length + 1) {
    fail(122); // ERROR_INSUFFICIENT_BUFFER
    return 0;
  }
  std::memcpy(buffer, text, length + 1);
  return length;
}

int WINAPI MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT) {
  void (*handler)(const char *, const char *, void *);
  void *context;
  {
    Lock held(state().mutex);
    state().messageBoxes.push_back({text ? text : "", caption ? caption : ""});
    handler = state().messageBoxHandler;
    context = state().messageBoxContext;
  }
  // The handler stands where a real box runs its modal loop.
  if (handler) handler(text ? text : "", caption ? caption : "", context);
  return IDOK;
}

BOOL WINAPI DisableThreadLibraryCalls(HMODULE) { return TRUE; }

} // extern "C"
