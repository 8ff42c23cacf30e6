// Array records: creation, copies, destruction and who owns an array.
#include <cstdlib>
#include <cstring>
#include <limits>

#include "runtime.h"

namespace mexhost::detail {

bool isLive(const mxArray *array) {
  return array != nullptr && state().arrays.count(const_cast<mxArray *>(array)) != 0;
}

void requireLive(const mxArray *array, const char *api) {
  if (array == nullptr) fault("%s was given a null array", api);
  if (!isLive(array))
    fault("%s was given an array that no longer exists (destroyed, or freed at the end "
          "of the MEX call that made it)",
          api);
}

size_t elementSize(mxClassID classId) {
  switch (classId) {
  case mxLOGICAL_CLASS:
  case mxINT8_CLASS:
  case mxUINT8_CLASS:
    return 1;
  case mxCHAR_CLASS:
  case mxINT16_CLASS:
  case mxUINT16_CLASS:
    return 2;
  case mxSINGLE_CLASS:
  case mxINT32_CLASS:
  case mxUINT32_CLASS:
    return 4;
  case mxDOUBLE_CLASS:
  case mxINT64_CLASS:
  case mxUINT64_CLASS:
    return 8;
  case mxCELL_CLASS:
  case mxSTRUCT_CLASS:
    return sizeof(mxArray *);
  default:
    return 0;
  }
}

bool isNumericClass(mxClassID classId) { return classId >= mxDOUBLE_CLASS && classId <= mxUINT64_CLASS; }

static size_t countOf(const std::vector<size_t> &dims) {
  size_t count = 1;
  for (size_t d : dims) {
    if (d != 0 && count > std::numeric_limits<size_t>::max() / d) raiseOutOfMemory();
    count *= d;
  }
  return count;
}

size_t numberOfElements(const mxArray *array) { return countOf(array->dims); }

static std::vector<size_t> normalised(std::vector<size_t> dims) {
  while (dims.size() < 2) dims.push_back(dims.empty() ? 0 : 1);
  // Trailing singleton dimensions beyond the second are dropped, as MATLAB does.
  while (dims.size() > 2 && dims.back() == 1) dims.pop_back();
  return dims;
}

static void registerArray(mxArray *array) {
  State &s = state();
  array->serial = nextSerial();
  s.arrays.insert(array);
  if (CallFrame *frame = topCallFrame()) {
    array->callFrame = frame->serial;
    array->library = frame->library;
    frame->arrays.emplace_back(array, array->serial);
  }
}

mxArray *newArray(mxClassID classId, const std::vector<size_t> &dims) {
  auto array = std::make_unique<mxArray>();
  array->classId = classId;
  array->dims = normalised(dims);
  size_t count = countOf(array->dims);
  if (classId == mxCELL_CLASS) array->slots.assign(count, nullptr);
  mxArray *raw = array.release();
  registerArray(raw);
  return raw;
}

// Element storage under the session's allocation limit; null for 0 bytes.
static void *allocateStorage(size_t count, size_t size, Fill fill) {
  if (count != 0 && size > std::numeric_limits<size_t>::max() / count) raiseOutOfMemory();
  const size_t bytes = count * size;
  const size_t limit = state().allocationLimit;
  if (limit != 0 && bytes > limit) raiseOutOfMemory();
  if (bytes == 0) return nullptr;
  void *storage = fill == Fill::zeros ? std::calloc(1, bytes) : std::malloc(bytes);
  if (storage == nullptr) raiseOutOfMemory();
  return storage;
}

namespace {

// Holds new storage until a record takes it; on failure frees what it holds.
struct Storage {
  void *data = nullptr, *imag = nullptr;
  mwIndex *ir = nullptr, *jc = nullptr;
  ~Storage() {
    std::free(data);
    std::free(imag);
    std::free(ir);
    std::free(jc);
  }
  void moveInto(mxArray *array) {
    array->data = data;
    array->imagData = imag;
    array->ir = ir;
    array->jc = jc;
    data = imag = nullptr;
    ir = jc = nullptr;
  }
};

} // namespace

mxArray *newNumeric(mxClassID classId, const std::vector<size_t> &dims, Fill fill, bool hasImaginary) {
  std::vector<size_t> shape = normalised(dims);
  const size_t count = countOf(shape);
  const size_t size = elementSize(classId);
  Storage storage;
  storage.data = allocateStorage(count, size, fill);
  if (hasImaginary) storage.imag = allocateStorage(count, size, fill);
  mxArray *array = newArray(classId, shape);
  storage.moveInto(array);
  array->dataBytes = count * size;
  array->isComplex = hasImaginary;
  return array;
}

mxArray *newSparse(mxClassID classId, size_t m, size_t n, size_t nzmax, bool hasImaginary, Fill fill) {
  // MATLAB keeps room for at least one value, so an all-zero array still has
  // a first element to point at.
  if (nzmax == 0) nzmax = 1;
  if (n == std::numeric_limits<size_t>::max()) raiseOutOfMemory();
  const size_t size = elementSize(classId);
  Storage storage;
  storage.data = allocateStorage(nzmax, size, fill);
  if (hasImaginary) storage.imag = allocateStorage(nzmax, size, fill);
  storage.ir = static_cast<mwIndex *>(allocateStorage(nzmax, sizeof(mwIndex), fill));
  // The column starts are always read, whatever the values hold.
  storage.jc = static_cast<mwIndex *>(allocateStorage(n + 1, sizeof(mwIndex), Fill::zeros));
  mxArray *array = newArray(classId, {m, n});
  storage.moveInto(array);
  array->dataBytes = nzmax * size;
  array->isComplex = hasImaginary;
  array->sparse = true;
  array->nzmax = nzmax;
  return array;
}

static bool holdsElements(mxClassID classId) {
  return classId == mxLOGICAL_CLASS || classId == mxCHAR_CLASS || isNumericClass(classId);
}

mxArray *duplicate(const mxArray *source) {
  mxArray *copy = nullptr;
  if (source->sparse) {
    copy = newSparse(source->classId, source->dims[0], source->dims[1], source->nzmax, source->isComplex,
                     Fill::none);
    std::memcpy(copy->ir, source->ir, source->nzmax * sizeof(mwIndex));
    std::memcpy(copy->jc, source->jc, (source->dims[1] + 1) * sizeof(mwIndex));
  } else if (holdsElements(source->classId)) {
    copy = newNumeric(source->classId, source->dims, Fill::none, source->isComplex);
  } else {
    copy = newArray(source->classId, source->dims);
  }
  if (source->dataBytes != 0) std::memcpy(copy->data, source->data, source->dataBytes);
  if (source->isComplex && source->dataBytes != 0)
    std::memcpy(copy->imagData, source->imagData, source->dataBytes);
  copy->fields = source->fields;
  copy->className = source->className;
  copy->function = source->function;
  copy->functionName = source->functionName;
  copy->slots.assign(source->slots.size(), nullptr);
  for (size_t i = 0; i < source->slots.size(); ++i) {
    if (source->slots[i] == nullptr) continue;
    requireLive(source->slots[i], "mxDuplicateArray (an element of the array)");
    mxArray *element = duplicate(source->slots[i]);
    element->containers = 1;
    copy->slots[i] = element;
  }
  return copy;
}

void destroy(mxArray *array) {
  State &s = state();
  // The last moment to catch a change that a shared copy would carry on.
  if (array->shared && array->shared->records > 1) verifySharedStorage(*array->shared);
  s.arrays.erase(array);
  for (mxArray *element : array->slots) {
    if (element == nullptr) continue;
    // MATLAB frees contents whoever else holds them; a second holder is left
    // with a dangling pointer, and destroying it later is caught here.
    if (!isLive(element))
      fault("an array holds an element that was already destroyed (an array set into "
            "two containers, or destroyed while still inside one)");
    destroy(element);
  }
  freeStorage(array);
  delete array;
}

void freeStorage(mxArray *array) {
  if (leaveSharedStorage(array)) return; // another record still presents it
  std::free(array->data);
  std::free(array->imagData);
  std::free(array->ir);
  std::free(array->jc);
  array->data = array->imagData = nullptr;
  array->ir = array->jc = nullptr;
}

void placeIntoContainer(mxArray *value, const char *api) {
  if (value == nullptr) return;
  requireLive(value, api);
  if (value->hostRefs > 0 || value->inputRefs > 0)
    fault("%s was given an array the MEX function does not own (an input, or a "
          "workspace value)",
          api);
  // Each container frees its contents: a second one would free it again.
  if (value->containers > 0)
    fault("%s was given an array that is already inside a container (a cell, a field or a "
          "property): an array is in at most one at a time",
          api);
  ++value->containers;
}

void displaceFromContainer(mxArray *value) {
  if (value == nullptr || !isLive(value)) return;
  if (value->containers > 0) --value->containers;
  // A displaced array that no call will free any more is left to whoever
  // holds it (or leaked), as in MATLAB.
}

void markInput(const mxArray *array, int delta) {
  if (array == nullptr || !isLive(array)) return;
  const_cast<mxArray *>(array)->inputRefs += delta;
}

mxArray *claimOutput(mxArray *array, int index) {
  if (!isLive(array)) fault("output %d of the MEX call is an array that no longer exists", index + 1);
  if (array->containers > 0 || array->hostRefs > 0 || array->inputRefs > 0) {
    // Not the callee's to give away: the caller gets its own copy.
    mxArray *copy = duplicate(array);
    ++copy->hostRefs;
    return copy;
  }
  array->persistent = false;
  ++array->hostRefs;
  return array;
}

void releaseHost(mxArray *array, uint64_t serial) {
  if (!isLive(array) || array->serial != serial) return;
  if (array->hostRefs > 0) --array->hostRefs;
  if (array->hostRefs == 0 && array->containers == 0 && !array->persistent && array->inputRefs == 0 &&
      !callFrameActive(array->callFrame))
    destroy(array);
}

bool isRoot(const mxArray *array) { return array->containers == 0; }

void measure(const mxArray *array, MemoryCount &count, std::unordered_set<const mxArray *> &seen) {
  if (!seen.insert(array).second) return;
  count.bytes += array->dataBytes;
  if (array->isComplex) count.bytes += array->dataBytes;
  if (array->sparse) count.bytes += (array->nzmax + array->dims[1] + 1) * sizeof(mwIndex);
  for (const mxArray *element : array->slots)
    if (element != nullptr && isLive(element)) measure(element, count, seen);
}

} // namespace mexhost::detail
