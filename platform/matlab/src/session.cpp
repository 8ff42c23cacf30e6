// The session host: values, libraries, workspace, command window, reports.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <windows.h>

#include "runtime.h"

namespace mexhost {

using namespace detail;

namespace {

Value hold(mxArray *array) {
  ++array->hostRefs;
  return wrapHost(array);
}

template <typename T> void fillPart(void *part, size_t count, const std::vector<double> &values) {
  T *data = static_cast<T *>(part);
  for (size_t i = 0; i < count && i < values.size(); ++i) data[i] = static_cast<T>(values[i]);
}

void fill(void *part, mxClassID classId, size_t count, const std::vector<double> &values) {
  switch (classId) {
  case mxDOUBLE_CLASS:
    fillPart<double>(part, count, values);
    break;
  case mxSINGLE_CLASS:
    fillPart<float>(part, count, values);
    break;
  case mxINT8_CLASS:
    fillPart<int8_t>(part, count, values);
    break;
  case mxUINT8_CLASS:
    fillPart<uint8_t>(part, count, values);
    break;
  case mxINT16_CLASS:
    fillPart<int16_t>(part, count, values);
    break;
  case mxUINT16_CLASS:
    fillPart<uint16_t>(part, count, values);
    break;
  case mxINT32_CLASS:
    fillPart<int32_t>(part, count, values);
    break;
  case mxUINT32_CLASS:
    fillPart<uint32_t>(part, count, values);
    break;
  case mxINT64_CLASS:
    fillPart<int64_t>(part, count, values);
    break;
  case mxUINT64_CLASS:
    fillPart<uint64_t>(part, count, values);
    break;
  case mxLOGICAL_CLASS:
    fillPart<mxLogical>(part, count, values);
    break;
  default:
    break;
  }
}

void add(MemoryCount &total, const MemoryCount &part) {
  total.arrays += part.arrays;
  total.blocks += part.blocks;
  total.bytes += part.bytes;
}

// Frees every array and block at once, without following containers, so
// arrays shared by two containers or left dangling cannot trip the teardown.
void freeEverything() {
  State &s = state();
  // Deleting a function handle can release Values its callable captured;
  // with the records already out of the set, those releases find nothing.
  std::unordered_set<mxArray *> arrays;
  arrays.swap(s.arrays);
  for (mxArray *array : arrays) {
    freeStorage(array);
    delete array;
  }
  std::unordered_map<void *, Block> blocks;
  blocks.swap(s.blocks);
  for (auto &item : blocks) std::free(item.first);
}

} // namespace

// --- Value ---

const mxArray *Value::get() const {
  mxArray *array = array_.get();
  return isLive(array) && array->serial == serial_ ? array : nullptr;
}

mxArray *Value::mutableArray() const { return const_cast<mxArray *>(get()); }

mxClassID Value::classId() const { return get() ? get()->classId : mxUNKNOWN_CLASS; }
std::string Value::className() const { return get() ? mxGetClassName(get()) : ""; }
size_t Value::rows() const { return get() ? mxGetM(get()) : 0; }
size_t Value::columns() const { return get() ? mxGetN(get()) : 0; }
size_t Value::elements() const { return get() ? numberOfElements(get()) : 0; }
double Value::scalar() const { return get() ? mxGetScalar(get()) : 0.0; }
std::string Value::text() const { return textOf(get()); }

Value Value::adopt(mxArray *array) {
  requireMainThread("Value::adopt");
  requireLive(array, "Value::adopt");
  if (array->containers > 0 || array->hostRefs > 0 || array->inputRefs > 0)
    fault("Value::adopt was given an array that something else owns");
  return hold(array);
}

// --- Session ---

Session::Session() {
  State &s = state();
  if (s.sessionOpen) fault("a MATLAB session is already open in this process");
  s.sessionOpen = true;
  s.session = this;
  s.mainThread = std::this_thread::get_id();
  s.mainThreadId = GetCurrentThreadId();
  s.commandWindow.clear();
  s.printed.clear();
  s.warnings.clear();
  s.allocationLimit = 0;
  s.putVariableRefusals = 0;
  s.checkSharing = true;
  s.echo = std::getenv("MEXHOST_ECHO") != nullptr;
  // MATLAB's main thread has a message queue from the start, so threads can
  // post to it before its first idle loop.
  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
}

Session::~Session() {
  if (closed_) return;
  SessionReport report = close();
  if (!report.leaked.empty()) {
    std::fprintf(stderr, "MATLAB session ended with memory left behind by MEX libraries:\n");
    for (const LibraryMemory &entry : report.libraries)
      std::fprintf(stderr, "  %s: %zu arrays, %zu blocks, %zu bytes\n", entry.library.c_str(),
                   entry.leaked.arrays, entry.leaked.blocks, entry.leaked.bytes);
  }
}

Session *Session::current() { return state().session; }

void Session::addPath(const std::string &folder) { state().paths.push_back(folder); }

CallResult Session::call(const std::string &function, const std::vector<Value> &inputs, int nlhs) {
  std::vector<const mxArray *> arrays;
  for (const Value &input : inputs) {
    if (!input) fault("Session::call was given an empty Value as input %zu", arrays.size() + 1);
    arrays.push_back(input.get());
  }
  return call(function, arrays, nlhs);
}

CallResult Session::call(const std::string &function, const std::vector<const mxArray *> &inputs, int nlhs) {
  requireMainThread("Session::call");
  CallResult result;
  try {
    Library &library = loadLibrary(function);
    result.outputs = invokeMex(library, inputs, nlhs);
    result.ok = true;
  } catch (const MatlabError &error) {
    result.errorMessage = error.message;
    result.errorIdentifier = error.identifier;
  }
  return result;
}

bool Session::isLoaded(const std::string &library) const { return findLoaded(library) != nullptr; }

ClearReport Session::clear(const std::string &library) {
  requireMainThread("Session::clear");
  if (Library *loaded = findLoaded(library)) return clearLibrary(*loaded, false);
  ClearReport report;
  report.library = library;
  report.reason = "not loaded";
  return report;
}

std::vector<ClearReport> Session::clearAll() {
  requireMainThread("Session::clearAll");
  std::vector<ClearReport> reports;
  State &s = state();
  for (size_t i = 0; i < s.libraries.size(); ++i)
    if (s.libraries[i]->loaded) reports.push_back(clearLibrary(*s.libraries[i], false));
  return reports;
}

Value Session::number(double value) {
  requireMainThread("Session::number");
  mxArray *array = newNumeric(mxDOUBLE_CLASS, {1, 1});
  *static_cast<double *>(array->data) = value;
  return hold(array);
}

Value Session::int32(int32_t value) { return numbers(mxINT32_CLASS, 1, 1, {double(value)}); }

Value Session::numbers(mxClassID classId, size_t rows, size_t columns, const std::vector<double> &values) {
  requireMainThread("Session::numbers");
  if (!isNumericClass(classId) && classId != mxLOGICAL_CLASS)
    fault("Session::numbers: class %d is not numeric", static_cast<int>(classId));
  mxArray *array = newNumeric(classId, {rows, columns});
  fill(array->data, classId, numberOfElements(array), values);
  return hold(array);
}

Value Session::complexNumbers(mxClassID classId, size_t rows, size_t columns, const std::vector<double> &real,
                              const std::vector<double> &imaginaryParts) {
  requireMainThread("Session::complexNumbers");
  if (!isNumericClass(classId))
    fault("Session::complexNumbers: class %d is not numeric", static_cast<int>(classId));
  mxArray *array = newNumeric(classId, {rows, columns}, Fill::zeros, true);
  fill(array->data, classId, numberOfElements(array), real);
  fill(array->imagData, classId, numberOfElements(array), imaginaryParts);
  return hold(array);
}

Value Session::sparse(mxClassID classId, size_t rows, size_t columns, const std::vector<double> &values,
                      const std::vector<double> &imaginaryParts) {
  requireMainThread("Session::sparse");
  if (classId != mxDOUBLE_CLASS && (classId != mxLOGICAL_CLASS || !imaginaryParts.empty()))
    fault("Session::sparse: only double (real or complex) and logical arrays are sparse");
  const size_t given = std::max(values.size(), imaginaryParts.size());
  auto part = [](const std::vector<double> &from, size_t i) { return i < from.size() ? from[i] : 0.0; };
  auto nonzero = [&](size_t i) { return part(values, i) != 0 || part(imaginaryParts, i) != 0; };
  size_t count = 0;
  for (size_t j = 0; j < columns; ++j)
    for (size_t r = 0; r < rows && j * rows + r < given; ++r) count += nonzero(j * rows + r) ? 1 : 0;
  mxArray *array = newSparse(classId, rows, columns, count, !imaginaryParts.empty());
  size_t k = 0;
  for (size_t j = 0; j < columns; ++j) {
    array->jc[j] = k;
    for (size_t r = 0; r < rows && j * rows + r < given; ++r) {
      const size_t i = j * rows + r;
      if (!nonzero(i)) continue;
      array->ir[k] = r;
      if (classId == mxLOGICAL_CLASS) {
        static_cast<mxLogical *>(array->data)[k] = true;
      } else {
        static_cast<double *>(array->data)[k] = part(values, i);
        if (array->imagData != nullptr) static_cast<double *>(array->imagData)[k] = part(imaginaryParts, i);
      }
      ++k;
    }
  }
  array->jc[columns] = k;
  return hold(array);
}

Value Session::text(const std::string &value) {
  requireMainThread("Session::text");
  return hold(newString(value));
}

Value Session::empty() {
  requireMainThread("Session::empty");
  return hold(newNumeric(mxDOUBLE_CLASS, {0, 0}));
}

Value Session::emptyStruct() {
  requireMainThread("Session::emptyStruct");
  return hold(newArray(mxSTRUCT_CLASS, {0, 0}));
}

Value Session::object(const std::string &className,
                      const std::vector<std::pair<std::string, Value>> &properties) {
  requireMainThread("Session::object");
  mxArray *object = newObject(className);
  for (const auto &[name, value] : properties) {
    if (!value) fault("Session::object: property %s has an empty Value", name.c_str());
    setProperty(object, name, duplicate(value.get()));
  }
  return hold(object);
}

Value Session::functionHandle(Function function, const std::string &name) {
  requireMainThread("Session::functionHandle");
  mxArray *handle = newArray(mxFUNCTION_CLASS, {1, 1});
  handle->function = std::make_shared<const Function>(std::move(function));
  handle->functionName = name;
  return hold(handle);
}

Value Session::copy(const mxArray *array) {
  requireMainThread("Session::copy");
  requireLive(array, "Session::copy");
  return hold(duplicate(array));
}

Value Session::share(const mxArray *array) {
  requireMainThread("Session::share");
  requireLive(array, "Session::share");
  return hold(shareCopy(array));
}

void Session::defineFunction(const std::string &name, Function function) {
  state().functions[name] = std::make_shared<const Function>(std::move(function));
}

void Session::setGlobal(const std::string &name, const Value &value) {
  requireMainThread("Session::setGlobal");
  if (!value) fault("Session::setGlobal: empty Value for %s", name.c_str());
  mxArray *copy = duplicate(value.get());
  ++copy->hostRefs;
  mxArray *&slot = state().globals[name];
  mxArray *previous = slot;
  slot = copy;
  if (previous != nullptr) releaseHost(previous, previous->serial);
}

Value Session::global(const std::string &name) const {
  requireMainThread("Session::global");
  auto found = state().globals.find(name);
  return found == state().globals.end() ? Value() : hold(duplicate(found->second));
}

bool Session::hasGlobal(const std::string &name) const { return state().globals.count(name) != 0; }

void Session::clearGlobal(const std::string &name) {
  requireMainThread("Session::clearGlobal");
  auto found = state().globals.find(name);
  if (found == state().globals.end()) return;
  mxArray *array = found->second;
  state().globals.erase(found);
  releaseHost(array, array->serial);
}

const std::string &Session::commandWindow() const { return state().commandWindow; }
const std::vector<std::string> &Session::printed() const { return state().printed; }
const std::vector<MexWarning> &Session::warnings() const { return state().warnings; }

void Session::clearCommandWindow() {
  state().commandWindow.clear();
  state().printed.clear();
  state().warnings.clear();
}

void Session::setEcho(bool echo) { state().echo = echo; }

void Session::setPrintHook(std::function<void(const std::string &)> hook) {
  state().printHook = std::move(hook);
}

unsigned long Session::mainThreadId() const { return state().mainThreadId; }

std::vector<LibraryMemory> Session::memory() const { return memoryByLibrary(); }

void Session::setAllocationLimit(size_t bytes) { state().allocationLimit = bytes; }

void Session::refuseNextPutVariables(int count) { state().putVariableRefusals = count; }

void Session::setSharingChecks(bool check) { state().checkSharing = check; }

SessionReport Session::close() {
  SessionReport report;
  if (closed_) return report;
  requireMainThread("Session::close");
  State &s = state();
  if (!s.callFrames.empty()) fault("Session::close called while a MEX call is in progress");
  verifySharedStorage();
  for (size_t i = 0; i < s.libraries.size(); ++i)
    if (s.libraries[i]->loaded) report.cleared.push_back(clearLibrary(*s.libraries[i], true));
  report.libraries = memoryByLibrary();
  for (const LibraryMemory &entry : report.libraries) add(report.leaked, entry.leaked);
  report.host = hostMemory();

  s.printHook = nullptr;
  s.globals.clear();
  s.base.clear();
  s.functions.clear();
  freeEverything();
  s.libraries.clear();
  s.paths.clear();
  s.sessionOpen = false;
  s.session = nullptr;
  closed_ = true;
  return report;
}

} // namespace mexhost
