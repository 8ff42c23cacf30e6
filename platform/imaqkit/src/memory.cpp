// The toolbox's allocator, with the failure plan and block count that tests
// use to prove an adaptor survives a null allocation and leaks nothing.
#include "imaqkit.h"
#include "imaqkit_test_control.h"

#include <atomic>
#include <cstdlib>
#include <mutex>

namespace {

std::mutex planMutex;
long skipLeft = 0; // successes still to give before failing
long failLeft = 0; // failures still to give; negative: without end
std::atomic<long> calls{0};
std::atomic<long> live{0};

bool shouldFail() {
  std::lock_guard<std::mutex> lock(planMutex);
  if (failLeft == 0) return false;
  if (skipLeft > 0) {
    --skipLeft;
    return false;
  }
  if (failLeft > 0) --failLeft;
  return true;
}

} // namespace

void *imaqmalloc(std::size_t size) {
  calls.fetch_add(1);
  if (shouldFail()) return nullptr;
  // malloc(0) may answer null; a caller must still get a distinct block.
  void *block = std::malloc(size == 0 ? 1 : size);
  if (block != nullptr) live.fetch_add(1);
  return block;
}

void imaqfree(void *block) {
  if (block == nullptr) return;
  live.fetch_sub(1);
  std::free(block);
}

namespace imaqkit::test {

void failAllocations(long skip, long count) {
  std::lock_guard<std::mutex> lock(planMutex);
  skipLeft = skip < 0 ? 0 : skip;
  failLeft = count;
}

void stopFailingAllocations() { failAllocations(0, 0); }

long allocationCalls() { return calls.load(); }
long liveBlocks() { return live.load(); }

} // namespace imaqkit::test
