// The engine's store of frame memory.
//
// Only large blocks are kept (small ones cost malloc nothing worth saving),
// and only a few: in a running acquisition one frame is let go for each one
// made. Under AddressSanitizer nothing is kept, so that a frame used after
// its user let it go is still reported.
#include "imaqkit_engine.h"

#include <cstdlib>
#include <mutex>

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

struct Block {
  void *memory;
  std::size_t bytes;
};

class Store {
public:
  void *take(std::size_t bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t i = count_; i-- > 0;)
      if (blocks_[i].bytes == bytes) {
        void *memory = blocks_[i].memory;
        blocks_[i] = blocks_[--count_];
        return memory;
      }
    return nullptr;
  }

  /* A full store frees its oldest block, so a new frame size soon replaces
   * an old one. */
  void keep(void *memory, std::size_t bytes) {
    void *dropped = nullptr;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (count_ == mostKept) {
        dropped = blocks_[0].memory;
        for (std::size_t i = 1; i < count_; ++i) blocks_[i - 1] = blocks_[i];
        --count_;
      }
      blocks_[count_++] = Block{memory, bytes};
    }
    std::free(dropped);
  }

private:
  std::mutex mutex_;
  Block blocks_[mostKept] = {};
  std::size_t count_ = 0;
};

// Never destroyed: a frame held in a static of the program may be let go
// after this library's statics are gone, at exit.
Store &store() {
  static Store *kept = new Store;
  return *kept;
}

bool worthKeeping(std::size_t bytes) { return IMAQKIT_KEEP_FRAME_MEMORY && bytes >= smallestKept; }

} // namespace

void *takeFrameMemory(std::size_t bytes) {
  if (worthKeeping(bytes))
    if (void *memory = store().take(bytes)) return memory;
  return std::malloc(bytes == 0 ? 1 : bytes);
}

void giveFrameMemory(void *block, std::size_t bytes) {
  if (block == nullptr) return;
  if (worthKeeping(bytes))
    store().keep(block, bytes);
  else
    std::free(block);
}

} // namespace imaqkit
