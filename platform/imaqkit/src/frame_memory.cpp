// The engine's frame memory: the store of blocks kept for reuse, and the
// account of buffered frames that the frame memory limit bounds.
//
// Only large blocks are kept (small ones cost malloc nothing worth saving),
// and only a few: in a running acquisition one frame is let go for each one
// made. Kept blocks count against the limit with the buffered frames, so
// that the limit bounds the frame memory the engine holds, spare or full,
// but for one block: the store keeps its newest one whatever the limit, so
// that while the limit is reached a dropped frame's memory serves the next
// image, and a camera that outpaces the disk costs a copy per image, not
// fresh pages mapped, faulted in and unmapped again. Under AddressSanitizer
// nothing is kept, so that a frame used after its user let it go is still
// reported.
#include "frame_memory.h"

#include "imaqkit_engine.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
#define IMAQKIT_KEEP_FRAME_MEMORY 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define IMAQKIT_KEEP_FRAME_MEMORY 0
#endif
#endif
#ifndef IMAQKIT_KEEP_FRAME_MEMORY
#define IMAQKIT_KEEP_FRAME_MEMORY 1
#endif

namespace imaqkit {

namespace {

constexpr std::size_t smallestKept = 64 * 1024;
constexpr std::size_t mostKept = 4;
constexpr std::uint64_t oneGiB = std::uint64_t(1) << 30;

std::uint64_t physicalMemory() {
#if defined(_WIN32)
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (GlobalMemoryStatusEx(&status) == 0) return 0;
  return status.ullTotalPhys;
#else
  const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return 0;
  return std::uint64_t(pages) * std::uint64_t(pageSize);
#endif
}

struct Block {
  void *memory;
  std::size_t bytes;
};

class FrameMemory {
public:
  FrameMemory() : limit_(defaultFrameMemoryLimit()) {}

  void *take(std::size_t bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t i = count_; i-- > 0;)
      if (blocks_[i].bytes == bytes) {
        void *memory = blocks_[i].memory;
        keptBytes_ -= bytes;
        blocks_[i] = blocks_[--count_];
        return memory;
      }
    return nullptr;
  }

  /* A full store frees its oldest block, so a new frame size soon replaces
   * an old one; so does a store that the limit leaves no room for beside
   * the buffered frames, down to the block just kept. */
  void keep(void *memory, std::size_t bytes) {
    Freed freed;
    std::lock_guard<std::mutex> lock(mutex_);
    if (count_ == mostKept) freed.add(popOldest());
    blocks_[count_++] = Block{memory, bytes};
    keptBytes_ += bytes;
    popOverLimit(freed);
  }

  bool hold(std::size_t bytes) {
    Freed freed;
    std::lock_guard<std::mutex> lock(mutex_);
    if (heldBytes_ + bytes > limit_) return false;
    heldBytes_ += bytes;
    ++heldFrames_;
    peakBytes_ = std::max(peakBytes_, heldBytes_);
    peakFrames_ = std::max(peakFrames_, heldFrames_);
    popOverLimit(freed);
    return true;
  }

  void release(std::size_t bytes, std::size_t frames) {
    std::lock_guard<std::mutex> lock(mutex_);
    heldBytes_ -= std::min<std::uint64_t>(heldBytes_, bytes);
    heldFrames_ -= std::min<std::uint64_t>(heldFrames_, frames);
  }

  void setLimit(std::uint64_t bytes) {
    Freed freed;
    std::lock_guard<std::mutex> lock(mutex_);
    limit_ = bytes;
    popOverLimit(freed);
  }

  FrameMemoryUse use() {
    std::lock_guard<std::mutex> lock(mutex_);
    FrameMemoryUse use;
    use.limit = limit_;
    use.bytesHeld = heldBytes_;
    use.framesHeld = heldFrames_;
    use.peakBytesHeld = peakBytes_;
    use.peakFramesHeld = peakFrames_;
    return use;
  }

  void resetPeak() {
    std::lock_guard<std::mutex> lock(mutex_);
    peakBytes_ = heldBytes_;
    peakFrames_ = heldFrames_;
  }

private:
  // Blocks taken out of the store, freed once the lock is let go (declared
  // before the lock guard, so destroyed after it).
  struct Freed {
    void *blocks[mostKept + 1] = {};
    std::size_t count = 0;
    void add(void *memory) { blocks[count++] = memory; }
    ~Freed() {
      for (std::size_t i = 0; i < count; ++i) std::free(blocks[i]);
    }
  };

  // mutex_ held, count_ > 0.
  void *popOldest() {
    void *oldest = blocks_[0].memory;
    keptBytes_ -= blocks_[0].bytes;
    for (std::size_t i = 1; i < count_; ++i) blocks_[i - 1] = blocks_[i];
    --count_;
    return oldest;
  }

  // mutex_ held: the oldest kept blocks that no longer fit beside the
  // buffered frames, all but the newest.
  void popOverLimit(Freed &freed) {
    while (count_ > 1 && heldBytes_ + keptBytes_ > limit_) freed.add(popOldest());
  }

  std::mutex mutex_;
  Block blocks_[mostKept] = {};
  std::size_t count_ = 0;
  std::uint64_t keptBytes_ = 0;
  std::uint64_t limit_;
  std::uint64_t heldBytes_ = 0, heldFrames_ = 0;
  std::uint64_t peakBytes_ = 0, peakFrames_ = 0;
};

// Never destroyed: a frame held in a static of the program may be let go
// after this library's statics are gone, at exit.
FrameMemory &frameMemory() {
  static FrameMemory *memory = new FrameMemory;
  return *memory;
}

bool worthKeeping(std::size_t bytes) { return IMAQKIT_KEEP_FRAME_MEMORY && bytes >= smallestKept; }

} // namespace

void *takeFrameMemory(std::size_t bytes) {
  if (worthKeeping(bytes))
    if (void *memory = frameMemory().take(bytes)) return memory;
  return std::malloc(bytes == 0 ? 1 : bytes);
}

void giveFrameMemory(void *block, std::size_t bytes) {
  if (block == nullptr) return;
  if (worthKeeping(bytes))
    frameMemory().keep(block, bytes);
  else
    std::free(block);
}

std::uint64_t defaultFrameMemoryLimit() {
  const std::uint64_t physical = physicalMemory();
  std::uint64_t limit = physical > 0 ? physical / 4 : oneGiB;
  if (sizeof(void *) < 8) limit = std::min(limit, oneGiB);
  return limit;
}

void setFrameMemoryLimit(std::uint64_t bytes) { frameMemory().setLimit(bytes); }
std::uint64_t frameMemoryLimit() { return frameMemory().use().limit; }
FrameMemoryUse frameMemoryUse() { return frameMemory().use(); }
void resetFrameMemoryPeak() { frameMemory().resetPeak(); }

namespace detail {

bool holdFrameMemory(std::size_t bytes) { return frameMemory().hold(bytes); }
void releaseFrameMemory(std::size_t bytes, std::size_t frames) { frameMemory().release(bytes, frames); }

} // namespace detail

} // namespace imaqkit
