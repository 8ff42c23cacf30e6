// Process-wide state, faults, MATLAB errors and the stack of calls.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "runtime.h"

namespace mexhost::detail {

State &state() {
  static State instance;
  return instance;
}

uint64_t nextSerial() { return state().nextSerial++; }

void fault(const char *format, ...) {
  std::fflush(stdout);
  std::fputs("MATLAB runtime fault: ", stderr);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
  std::fflush(stderr);
  std::abort();
}

void raise(const std::string &identifier, const std::string &message) {
  throw MatlabError{identifier, message};
}

void raiseOutOfMemory() { raise("MATLAB:nomem", "Out of memory. Type \"help memory\" for your options."); }

void requireMainThread(const char *api) {
  State &s = state();
  if (s.sessionOpen && std::this_thread::get_id() != s.mainThread)
    fault("%s called on a thread other than MATLAB's main thread", api);
}

CallFrame *topCallFrame() {
  State &s = state();
  return s.callFrames.empty() ? nullptr : s.callFrames.back().get();
}

Library *currentLibrary() {
  CallFrame *frame = topCallFrame();
  return frame ? frame->library : nullptr;
}

bool callFrameActive(uint64_t serial) {
  if (serial == 0) return false;
  for (const auto &frame : state().callFrames)
    if (frame->serial == serial) return true;
  return false;
}

CallFrame &pushCallFrame(CallFrameKind kind, Library *library) {
  State &s = state();
  auto frame = std::make_unique<CallFrame>();
  frame->serial = nextSerial();
  frame->kind = kind;
  // A MATLAB function played for a MEX call keeps the MEX library as the
  // one that owns what is made persistent inside it.
  frame->library = library ? library : currentLibrary();
  s.callFrames.push_back(std::move(frame));
  return *s.callFrames.back();
}

void endFrame() {
  State &s = state();
  std::unique_ptr<CallFrame> frame = std::move(s.callFrames.back());
  s.callFrames.pop_back();
  for (const auto &[array, serial] : frame->arrays) {
    if (!isLive(array) || array->serial != serial) continue; // gone already
    if (array->containers > 0 || array->persistent || array->hostRefs > 0 || array->inputRefs > 0) continue;
    destroy(array);
  }
  for (const auto &[pointer, serial] : frame->blocks) {
    auto found = s.blocks.find(pointer);
    if (found == s.blocks.end() || found->second.serial != serial) continue;
    if (found->second.persistent) continue;
    freeBlock(pointer);
  }
}

} // namespace mexhost::detail
