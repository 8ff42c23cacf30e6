// Modules: LoadLibraryA, FreeLibrary, GetModuleHandleExA and GetProcAddress
// on the dynamic loader.
#include "state.h"

#include <dlfcn.h>

using namespace win32;

namespace {

// The loaded module that holds the address, with one more reference that
// the caller must drop; null (last error set) when no module holds it.
void *openContaining(const void *address, int extraFlags) {
  Dl_info info{};
  if (address == nullptr || dladdr(address, &info) == 0 || info.dli_fname == nullptr) {
    fail(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  void *module = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD | extraFlags);
  if (module == nullptr) fail(ERROR_MOD_NOT_FOUND); // the main program: not a library here
  return module;
}

} // namespace

extern "C" {

HMODULE WINAPI LoadLibraryA(LPCSTR fileName) {
  if (fileName == nullptr) {
    fail(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  void *module = dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) fail(ERROR_MOD_NOT_FOUND);
  return static_cast<HMODULE>(module);
}

BOOL WINAPI FreeLibrary(HMODULE module) {
  if (module == nullptr || dlclose(module) != 0) {
    fail(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI GetModuleHandleExA(DWORD flags, LPCSTR moduleName, HMODULE *module) {
  const DWORD known = GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT |
                      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS;
  const bool pin = (flags & GET_MODULE_HANDLE_EX_FLAG_PIN) != 0;
  const bool unchanged = (flags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT) != 0;
  if (module == nullptr || (flags & ~known) != 0 || (pin && unchanged)) {
    if (module != nullptr) *module = nullptr;
    fail(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const int extraFlags = pin ? RTLD_NODELETE : 0;
  void *found = nullptr;
  if ((flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) != 0) {
    found = openContaining(moduleName, extraFlags);
  } else if (moduleName == nullptr) {
    found = dlopen(nullptr, RTLD_LAZY);
  } else {
    found = dlopen(moduleName, RTLD_LAZY | RTLD_NOLOAD | extraFlags);
    if (found == nullptr) fail(ERROR_MOD_NOT_FOUND);
  }
  *module = static_cast<HMODULE>(found);
  if (found == nullptr) return FALSE;
  // The lookup took a reference; a pinned module never goes, so it needs none.
  if (pin || unchanged) dlclose(found);
  return TRUE;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName) {
  if (module == nullptr || procName == nullptr) {
    fail(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  void *symbol = dlsym(module, procName);
  if (symbol == nullptr) {
    fail(127); // ERROR_PROC_NOT_FOUND
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(symbol);
}

} // extern "C"
