// Printing, errors, the exit routine, locking and workspace variables.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "runtime.h"

using namespace mexhost::detail;

namespace {

void print(const std::string &text) {
  State &s = state();
  s.commandWindow += text;
  s.printed.push_back(text);
  if (s.echo) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
  }
  if (s.printHook) {
    // The hook may print or pump messages itself; it does not run again
    // inside itself.
    std::function<void(const std::string &)> hook = std::move(s.printHook);
    s.printHook = nullptr;
    hook(text);
    if (!s.printHook) s.printHook = std::move(hook);
  }
}

Library &requireLibrary(const char *api) {
  Library *library = currentLibrary();
  if (library == nullptr) fault("%s called outside a MEX function", api);
  return *library;
}

std::map<std::string, mxArray *> *workspace(const char *name) {
  if (name == nullptr) return nullptr;
  State &s = state();
  if (std::strcmp(name, "global") == 0) return &s.globals;
  // Every MEX call here comes from the command line, so "caller" is "base".
  if (std::strcmp(name, "base") == 0 || std::strcmp(name, "caller") == 0) return &s.base;
  return nullptr;
}

} // namespace

extern "C" {

MX_API int mexPrintf(const char *format, ...) {
  requireMainThread("mexPrintf");
  va_list args;
  va_start(args, format);
  std::string text = mexhost::detail::format(format, args);
  va_end(args);
  print(text);
  return static_cast<int>(text.size());
}

MX_API void mexWarnMsgTxt(const char *message) {
  requireMainThread("mexWarnMsgTxt");
  std::string text = message != nullptr ? message : "";
  state().warnings.push_back({std::string(), text});
  print("Warning: " + text + "\n");
}

MX_API void mexWarnMsgIdAndTxt(const char *identifier, const char *format, ...) {
  requireMainThread("mexWarnMsgIdAndTxt");
  va_list args;
  va_start(args, format);
  std::string text = mexhost::detail::format(format, args);
  va_end(args);
  state().warnings.push_back({identifier != nullptr ? identifier : "", text});
  print("Warning: " + text + "\n");
}

MX_API void mexErrMsgTxt(const char *message) {
  requireMainThread("mexErrMsgTxt");
  raise(std::string(), message != nullptr ? message : "");
}

MX_API void mexErrMsgIdAndTxt(const char *identifier, const char *format, ...) {
  requireMainThread("mexErrMsgIdAndTxt");
  va_list args;
  va_start(args, format);
  std::string text = mexhost::detail::format(format, args);
  va_end(args);
  raise(identifier != nullptr ? identifier : "", text);
}

MX_API const char *mexFunctionName(void) {
  requireMainThread("mexFunctionName");
  return requireLibrary("mexFunctionName").name.c_str();
}

MX_API int mexAtExit(void (*exitFunction)(void)) {
  requireMainThread("mexAtExit");
  requireLibrary("mexAtExit").exitRoutine = exitFunction;
  return 0;
}

MX_API void mexLock(void) {
  requireMainThread("mexLock");
  ++requireLibrary("mexLock").lockCount;
}

MX_API void mexUnlock(void) {
  requireMainThread("mexUnlock");
  Library &library = requireLibrary("mexUnlock");
  if (library.lockCount > 0) --library.lockCount;
}

MX_API bool mexIsLocked(void) {
  requireMainThread("mexIsLocked");
  return requireLibrary("mexIsLocked").lockCount > 0;
}

MX_API mxArray *mexGetVariable(const char *workspaceName, const char *name) {
  requireMainThread("mexGetVariable");
  auto *variables = workspace(workspaceName);
  if (variables == nullptr || name == nullptr) return nullptr;
  auto found = variables->find(name);
  return found == variables->end() ? nullptr : duplicate(found->second);
}

MX_API const mxArray *mexGetVariablePtr(const char *workspaceName, const char *name) {
  requireMainThread("mexGetVariablePtr");
  auto *variables = workspace(workspaceName);
  if (variables == nullptr || name == nullptr) return nullptr;
  auto found = variables->find(name);
  return found == variables->end() ? nullptr : found->second;
}

MX_API int mexPutVariable(const char *workspaceName, const char *name, const mxArray *value) {
  requireMainThread("mexPutVariable");
  State &s = state();
  if (s.putVariableRefusals > 0) {
    --s.putVariableRefusals;
    return 1;
  }
  auto *variables = workspace(workspaceName);
  if (variables == nullptr || name == nullptr || *name == '\0' || value == nullptr) return 1;
  requireLive(value, "mexPutVariable");
  mxArray *copy = duplicate(value);
  ++copy->hostRefs;
  mxArray *&slot = (*variables)[name];
  mxArray *previous = slot;
  slot = copy;
  if (previous != nullptr) releaseHost(previous, previous->serial);
  return 0;
}

} // extern "C"
