// mxCalloc blocks and persistence.
#include <cstdlib>
#include <cstring>

#include "runtime.h"

namespace mexhost::detail {

void *allocateBlock(size_t bytes, bool zero) {
  State &s = state();
  if (s.allocationLimit != 0 && bytes > s.allocationLimit) raiseOutOfMemory();
  // A zero-byte request still yields a distinct block that mxFree accepts.
  void *block = zero ? std::calloc(1, bytes == 0 ? 1 : bytes) : std::malloc(bytes == 0 ? 1 : bytes);
  if (block == nullptr) raiseOutOfMemory();
  Block record;
  record.size = bytes;
  record.serial = nextSerial();
  if (CallFrame *frame = topCallFrame()) {
    record.callFrame = frame->serial;
    record.library = frame->library;
    frame->blocks.emplace_back(block, record.serial);
  }
  s.blocks[block] = record;
  return block;
}

void freeBlock(void *block) {
  state().blocks.erase(block);
  std::free(block);
}

} // namespace mexhost::detail

using namespace mexhost::detail;

extern "C" {

MX_API void *mxCalloc(size_t n, size_t size) {
  requireMainThread("mxCalloc");
  if (size != 0 && n > static_cast<size_t>(-1) / size) raiseOutOfMemory();
  return allocateBlock(n * size, true);
}

MX_API void *mxMalloc(size_t n) {
  requireMainThread("mxMalloc");
  return allocateBlock(n, false);
}

MX_API void *mxRealloc(void *ptr, size_t size) {
  requireMainThread("mxRealloc");
  if (ptr == nullptr) return allocateBlock(size, false);
  State &s = state();
  auto found = s.blocks.find(ptr);
  if (found == s.blocks.end())
    fault("mxRealloc was given memory that mxCalloc/mxMalloc did not allocate, or that "
          "was already freed");
  if (s.allocationLimit != 0 && size > s.allocationLimit) raiseOutOfMemory();
  void *moved = std::realloc(ptr, size == 0 ? 1 : size);
  if (moved == nullptr) raiseOutOfMemory();
  Block record = found->second;
  s.blocks.erase(found);
  record.size = size;
  s.blocks[moved] = record;
  // The call that owns the block must find it under its new address.
  for (auto &frame : s.callFrames)
    for (auto &entry : frame->blocks)
      if (entry.first == ptr && entry.second == record.serial) entry.first = moved;
  return moved;
}

MX_API void mxFree(void *ptr) {
  requireMainThread("mxFree");
  if (ptr == nullptr) return;
  if (state().blocks.count(ptr) == 0)
    fault("mxFree was given memory that mxCalloc/mxMalloc did not allocate, or that was "
          "already freed");
  freeBlock(ptr);
}

MX_API void mexMakeMemoryPersistent(void *ptr) {
  requireMainThread("mexMakeMemoryPersistent");
  State &s = state();
  auto found = s.blocks.find(ptr);
  if (found == s.blocks.end())
    fault("mexMakeMemoryPersistent was given memory that mxCalloc/mxMalloc did not "
          "allocate, or that was already freed");
  found->second.persistent = true;
  found->second.library = currentLibrary();
}

MX_API void mexMakeArrayPersistent(mxArray *pa) {
  requireMainThread("mexMakeArrayPersistent");
  requireLive(pa, "mexMakeArrayPersistent");
  if (pa->hostRefs > 0 || pa->inputRefs > 0)
    fault("mexMakeArrayPersistent was given an array the MEX function does not own (an "
          "input, or a workspace value)");
  // Its container decides its lifetime; MATLAB makes persistent only arrays
  // that stand alone.
  if (pa->containers > 0)
    fault("mexMakeArrayPersistent was given an array inside a container (a cell, a field "
          "or a property): make the container persistent instead");
  pa->persistent = true;
  pa->library = currentLibrary();
}

} // extern "C"
