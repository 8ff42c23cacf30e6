// Shared copies, as MATLAB makes them: a function called through feval gets
// its inputs as shared copies, and what it keeps of them (a variable, a
// cell, setappdata) shares them too. A library may destroy its own record
// (the copies stay whole) but must never change a value that a copy shares:
// MATLAB code would see the change. Changes through the API are caught at
// once; changes to the elements through their data pointers are caught by a
// checksum, compared whenever MATLAB code could look (after each played
// function, MEX call and message taken, and when a sharing record goes).
#include <cstring>

#include "runtime.h"

namespace mexhost::detail {

namespace {

uint64_t mix(uint64_t hash, uint64_t word) {
  hash ^= word + 0x9e3779b97f4a7c15ull + (hash << 6) + (hash >> 2);
  return hash * 0xff51afd7ed558ccdull;
}

uint64_t hashBytes(uint64_t hash, const unsigned char *bytes, size_t count) {
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    uint64_t word;
    std::memcpy(&word, bytes + i, 8);
    hash = mix(hash, word);
  }
  for (; i < count; ++i) hash = mix(hash, bytes[i]);
  return hash;
}

// Small values are hashed whole. Of a large one (a frame), its first and
// last 4 KB and 2,048 words spread over the rest: a new image written into
// it changes them, and hashing a large frame whole at every check would
// make the stand-in, not the library, the cost of each dispatch.
const size_t wholeHashLimit = 64 * 1024;
const size_t edgeBytes = 4096;
const size_t sampledWords = 2048;

uint64_t hashPart(uint64_t hash, const void *part, size_t count) {
  if (part == nullptr || count == 0) return mix(hash, count);
  const unsigned char *bytes = static_cast<const unsigned char *>(part);
  if (count <= wholeHashLimit) return hashBytes(hash, bytes, count);
  hash = hashBytes(hash, bytes, edgeBytes);
  hash = hashBytes(hash, bytes + count - edgeBytes, edgeBytes);
  const size_t stride = (count - 2 * edgeBytes) / sampledWords;
  for (size_t k = 0; k < sampledWords; ++k) hash = hashBytes(hash, bytes + edgeBytes + k * stride, 8);
  return hash;
}

uint64_t checksumOf(const SharedStorage &storage) {
  uint64_t hash = hashPart(0, storage.data, storage.dataBytes);
  hash = hashPart(hash, storage.imagData, storage.dataBytes);
  hash = hashPart(hash, storage.ir, storage.irBytes);
  return hashPart(hash, storage.jc, storage.jcBytes);
}

void describeStorage(mxArray *array) {
  auto storage = std::make_shared<SharedStorage>();
  storage->records = 1;
  storage->data = array->data;
  storage->imagData = array->imagData;
  storage->dataBytes = array->dataBytes;
  if (array->sparse) {
    storage->ir = array->ir;
    storage->jc = array->jc;
    storage->irBytes = array->nzmax * sizeof(mwIndex);
    storage->jcBytes = (array->dims[1] + 1) * sizeof(mwIndex);
  }
  array->shared = std::move(storage);
}

} // namespace

mxArray *shareCopy(const mxArray *source) {
  mxArray *original = const_cast<mxArray *>(source);
  if (!original->shared) describeStorage(original);
  SharedStorage &storage = *original->shared;
  if (storage.records == 1) {
    storage.checked = state().checkSharing;
    if (storage.checked) storage.checksum = checksumOf(storage);
    state().sharedStorage.insert(&storage);
  }
  auto copy = std::make_unique<mxArray>();
  copy->classId = source->classId;
  copy->dims = source->dims;
  copy->data = source->data;
  copy->dataBytes = source->dataBytes;
  copy->isComplex = source->isComplex;
  copy->imagData = source->imagData;
  copy->sparse = source->sparse;
  copy->nzmax = source->nzmax;
  copy->ir = source->ir;
  copy->jc = source->jc;
  copy->fields = source->fields;
  copy->className = source->className;
  copy->function = source->function;
  copy->functionName = source->functionName;
  copy->shared = original->shared;
  ++storage.records;
  // Elements are shared the same way before the copy is registered, so a
  // fault in one leaves nothing half made behind.
  copy->slots.assign(source->slots.size(), nullptr);
  for (size_t i = 0; i < source->slots.size(); ++i) {
    if (source->slots[i] == nullptr) continue;
    requireLive(source->slots[i], "a shared copy (an element of the array)");
    copy->slots[i] = shareCopy(source->slots[i]);
    copy->slots[i]->containers = 1;
  }
  // MATLAB's own: made at host level whatever call is in progress.
  mxArray *raw = copy.release();
  raw->serial = nextSerial();
  state().arrays.insert(raw);
  return raw;
}

void requireUnshared(const mxArray *array, const char *api) {
  if (array->shared && array->shared->records > 1)
    fault("%s changes an array that MATLAB code shares (an argument of a MATLAB call in "
          "progress, or a copy that MATLAB code kept): it would see the change",
          api);
}

void verifySharedStorage(const SharedStorage &storage) {
  if (storage.checked && checksumOf(storage) != storage.checksum)
    fault("a MEX library changed the elements of an array that MATLAB code shares (an "
          "argument of a MATLAB call in progress, or a copy that MATLAB code kept): it "
          "would see the change");
}

void verifySharedStorage() {
  for (const SharedStorage *storage : state().sharedStorage) verifySharedStorage(*storage);
}

bool leaveSharedStorage(mxArray *array) {
  if (!array->shared) return false;
  std::shared_ptr<SharedStorage> storage = std::move(array->shared);
  if (--storage->records < 2) state().sharedStorage.erase(storage.get());
  if (storage->records == 0) return false;
  array->data = array->imagData = nullptr;
  array->ir = array->jc = nullptr;
  return true;
}

} // namespace mexhost::detail
