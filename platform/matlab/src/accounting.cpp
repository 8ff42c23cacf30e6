// What the libraries keep, what they left behind, and what the host holds.
#include "runtime.h"

namespace mexhost::detail {

namespace {

enum class Holder { InFlight, Host, Library };

// Who answers for an array that no container holds.
Holder holderOf(const mxArray *array) {
  if (array->hostRefs > 0 || array->inputRefs > 0) return Holder::Host;
  if (!array->persistent && callFrameActive(array->callFrame)) return Holder::InFlight;
  // Persistent, or displaced from a container after its call ended: either
  // way only the library can still free it.
  return array->library != nullptr ? Holder::Library : Holder::Host;
}

Holder holderOf(const Block &block) {
  if (!block.persistent && callFrameActive(block.callFrame)) return Holder::InFlight;
  return block.library != nullptr ? Holder::Library : Holder::Host;
}

void addArray(const mxArray *array, MemoryCount &count, std::unordered_set<const mxArray *> &seen) {
  ++count.arrays;
  measure(array, count, seen);
}

void addBlock(const Block &block, MemoryCount &count) {
  ++count.blocks;
  count.bytes += block.size;
}

// One entry per library load, in load order.
std::vector<std::pair<const Library *, LibraryMemory>> tally() {
  State &s = state();
  std::vector<std::pair<const Library *, LibraryMemory>> entries;
  for (const auto &library : s.libraries)
    entries.push_back({library.get(), {library->name, library->path, library->loaded, {}, {}}});
  auto entryFor = [&](const Library *library) -> LibraryMemory & {
    for (auto &entry : entries)
      if (entry.first == library) return entry.second;
    fault("memory attributed to a library the session does not know");
  };
  std::unordered_set<const mxArray *> seen;
  for (const mxArray *array : s.arrays) {
    if (!isRoot(array) || holderOf(array) != Holder::Library) continue;
    LibraryMemory &entry = entryFor(array->library);
    addArray(array, entry.loaded ? entry.persistent : entry.leaked, seen);
  }
  for (const auto &item : s.blocks) {
    const Block &block = item.second;
    if (holderOf(block) != Holder::Library) continue;
    LibraryMemory &entry = entryFor(block.library);
    addBlock(block, entry.loaded ? entry.persistent : entry.leaked);
  }
  return entries;
}

} // namespace

std::vector<LibraryMemory> memoryByLibrary() {
  std::vector<LibraryMemory> report;
  for (auto &entry : tally())
    if (!entry.second.persistent.empty() || !entry.second.leaked.empty()) report.push_back(entry.second);
  return report;
}

MemoryCount leakedBy(const Library &library) {
  for (auto &entry : tally())
    if (entry.first == &library) return entry.second.leaked;
  return MemoryCount();
}

MemoryCount hostMemory() {
  State &s = state();
  MemoryCount count;
  std::unordered_set<const mxArray *> seen;
  for (const mxArray *array : s.arrays)
    if (isRoot(array) && holderOf(array) == Holder::Host) addArray(array, count, seen);
  for (const auto &item : s.blocks)
    if (holderOf(item.second) == Holder::Host) addBlock(item.second, count);
  return count;
}

} // namespace mexhost::detail
