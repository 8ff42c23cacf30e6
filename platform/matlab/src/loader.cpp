// Finding, loading, clearing and unloading MEX libraries.
#include <cstdio>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "runtime.h"

namespace mexhost::detail {

namespace {

#if defined(_WIN32) && defined(_WIN64)
const std::string suffix = ".mexw64";
#elif defined(_WIN32)
const std::string suffix = ".mexw32";
#else
const std::string suffix = ".mexa64";
#endif

bool endsWith(const std::string &text, const std::string &end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool hasFolder(const std::string &text) { return text.find_first_of("/\\") != std::string::npos; }

std::string baseName(const std::string &path) {
  size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (endsWith(name, suffix)) name.resize(name.size() - suffix.size());
  return name;
}

bool exists(const std::string &path) {
  if (FILE *file = std::fopen(path.c_str(), "rb")) {
    std::fclose(file);
    return true;
  }
  return false;
}

void *openModule(const std::string &path, std::string &reason) {
#if defined(_WIN32)
  // As MATLAB loads a MEX file: the DLLs it imports are looked for in its
  // own folder first (not the program's), which takes a full path.
  char full[MAX_PATH];
  DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  if (length == 0 || length >= sizeof full) {
    reason = "its full path is too long or invalid";
    return nullptr;
  }
  HMODULE module = LoadLibraryExA(full, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (module == nullptr) reason = "LoadLibrary failed with error " + std::to_string(GetLastError());
  return reinterpret_cast<void *>(module);
#else
  void *module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) reason = dlerror();
  return module;
#endif
}

void *findSymbol(void *module, const char *name) {
#if defined(_WIN32)
  return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(module), name));
#else
  return dlsym(module, name);
#endif
}

} // namespace

bool locateLibrary(const std::string &nameOrPath, std::string &path, std::string &name) {
  name = baseName(nameOrPath);
  if (hasFolder(nameOrPath)) {
    path = endsWith(nameOrPath, suffix) ? nameOrPath : nameOrPath + suffix;
    return exists(path);
  }
  std::vector<std::string> folders = state().paths;
  folders.push_back(".");
  for (const std::string &folder : folders) {
    std::string candidate = folder + "/" + name + suffix;
    if (exists(candidate)) {
      path = candidate;
      return true;
    }
  }
  return false;
}

Library *findLoaded(const std::string &nameOrPath) {
  std::string name = baseName(nameOrPath);
  for (auto &library : state().libraries)
    if (library->loaded && library->name == name) return library.get();
  return nullptr;
}

Library &loadLibrary(const std::string &nameOrPath) {
  if (Library *loaded = findLoaded(nameOrPath)) return *loaded;
  std::string path, name;
  if (!locateLibrary(nameOrPath, path, name))
    raise("MATLAB:UndefinedFunction", "Undefined function '" + name + "' for input arguments.");
  std::string reason;
  void *module = openModule(path, reason);
  if (module == nullptr) raise("MATLAB:mex:invalidMEXFile", "Invalid MEX-file '" + path + "': " + reason);
  void *entry = findSymbol(module, "mexFunction");
  if (entry == nullptr) {
    auto library = Library();
    library.module = module;
    unloadModule(library);
    raise("MATLAB:mex:invalidMEXFile", "Invalid MEX-file '" + path + "': it does not export mexFunction.");
  }
  auto library = std::make_unique<Library>();
  library->id = nextSerial();
  library->name = name;
  library->path = path;
  library->module = module;
  library->entry = reinterpret_cast<MexEntry>(entry);
  library->loaded = true;
  state().libraries.push_back(std::move(library));
  return *state().libraries.back();
}

void unloadModule(Library &library) {
  if (library.module == nullptr) return;
#if defined(_WIN32)
  FreeLibrary(static_cast<HMODULE>(library.module));
#else
  dlclose(library.module);
#endif
  library.module = nullptr;
  library.entry = nullptr;
}

ClearReport clearLibrary(Library &library, bool force) {
  ClearReport report;
  report.library = library.name;
  if (!library.loaded) {
    report.reason = "not loaded";
    return report;
  }
  if (library.activeCalls > 0) {
    // Its code is on the stack: unloading it now would pull the code away.
    report.reason = "in use";
    return report;
  }
  if (library.lockCount > 0 && !force) {
    report.reason = "locked";
    return report;
  }
  if (void (*exitRoutine)() = library.exitRoutine) {
    ++library.activeCalls;
    pushCallFrame(CallFrameKind::ExitRoutine, &library);
    try {
      exitRoutine();
    } catch (const MatlabError &error) {
      report.exitError = error.message;
    } catch (...) {
      report.exitError = "Unexpected C++ exception in the exit routine.";
    }
    endFrame();
    --library.activeCalls;
    report.exitRoutineRan = true;
  }
  unloadModule(library);
  library.loaded = false;
  library.exitRoutine = nullptr;
  library.lockCount = 0;
  report.cleared = true;
  report.leaked = leakedBy(library);
  return report;
}

} // namespace mexhost::detail
