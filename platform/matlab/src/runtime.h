// State of the MATLAB stand-in shared by the mx/mex entry points and the
// session host: live arrays and blocks, the stack of calls in progress, the
// libraries, the workspaces and the command window. Everything here is used
// on the session's thread only, so nothing is locked.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "matlab_session.h"

// Entry points of this library carry this on their definitions.
#if defined(_WIN32)
#define MX_API __declspec(dllexport)
#else
#define MX_API __attribute__((visibility("default")))
#endif

namespace mexhost::detail {

using MexEntry = void (*)(int, mxArray *[], int, const mxArray *[]);

struct Library {
  uint64_t id = 0;
  std::string name;
  std::string path;
  void *module = nullptr;
  MexEntry entry = nullptr;
  void (*exitRoutine)() = nullptr;
  int lockCount = 0;
  int activeCalls = 0; // calls in progress, the exit routine included
  bool loaded = false;
};

enum class CallFrameKind { Mex, Function, ExitRoutine };

// One call in progress: what it made that dies with it.
struct CallFrame {
  uint64_t serial = 0;
  CallFrameKind kind = CallFrameKind::Mex;
  Library *library = nullptr; // whose code runs here, or encloses it
  std::vector<std::pair<mxArray *, uint64_t>> arrays;
  std::vector<std::pair<void *, uint64_t>> blocks;
};

struct Block {
  size_t size = 0;
  uint64_t serial = 0;
  uint64_t callFrame = 0; // 0: made at host level
  Library *library = nullptr;
  bool persistent = false;
};

// A MATLAB error in flight: thrown by mexErrMsgTxt and raiseError, caught
// around every MEX call and every played MATLAB function.
struct MatlabError {
  std::string identifier;
  std::string message;
};

// The storage of one MATLAB value that several array records present: an
// array a library handed to MATLAB code and the shared copies that code
// holds of it (its arguments, what it kept). Freed with the last record.
struct SharedStorage {
  int records = 0;
  const void *data = nullptr, *imagData = nullptr;
  size_t dataBytes = 0;
  const mwIndex *ir = nullptr, *jc = nullptr;
  size_t irBytes = 0, jcBytes = 0;
  uint64_t checksum = 0; // of the elements when the second record came
  bool checked = false;  // whether checksum was taken
};

struct State {
  bool sessionOpen = false;
  Session *session = nullptr;
  std::thread::id mainThread;
  unsigned long mainThreadId = 0;

  std::unordered_set<mxArray *> arrays;
  std::unordered_set<SharedStorage *> sharedStorage; // those with two records or more
  std::unordered_map<void *, Block> blocks;
  std::vector<std::unique_ptr<CallFrame>> callFrames;
  std::vector<std::unique_ptr<Library>> libraries; // cleared ones stay, for accounting

  std::map<std::string, mxArray *> globals;
  std::map<std::string, mxArray *> base;
  std::map<std::string, std::shared_ptr<const Function>> functions;
  std::vector<std::string> paths;

  std::string commandWindow;
  std::vector<std::string> printed;
  std::vector<MexWarning> warnings;
  bool echo = false;
  std::function<void(const std::string &)> printHook;

  bool checkSharing = true;
  size_t allocationLimit = 0;
  int putVariableRefusals = 0;
  uint64_t nextSerial = 1;
};

State &state();
uint64_t nextSerial();

// Stops the process: MATLAB would crash or corrupt itself here.
[[noreturn]] void fault(const char *format, ...);
[[noreturn]] void raise(const std::string &identifier, const std::string &message);
[[noreturn]] void raiseOutOfMemory();
// API calls are MATLAB-thread only, as in MATLAB.
void requireMainThread(const char *api);

CallFrame *topCallFrame();
Library *currentLibrary();
bool callFrameActive(uint64_t serial);
CallFrame &pushCallFrame(CallFrameKind kind, Library *library);
// Pops the top frame and frees what it made that nothing else claimed.
void endFrame();

// Arrays (arrays.cpp)
bool isLive(const mxArray *array);
void requireLive(const mxArray *array, const char *api);
size_t elementSize(mxClassID classId);
bool isNumericClass(mxClassID classId);
mxArray *newArray(mxClassID classId, const std::vector<size_t> &dims);
// Zero-filled, as MATLAB makes new arrays; a copy, whose every byte is about
// to be written, asks for its data unfilled.
enum class Fill { zeros, none };
// A complex array keeps its imaginary parts in a buffer of their own.
mxArray *newNumeric(mxClassID classId, const std::vector<size_t> &dims, Fill fill = Fill::zeros,
                    bool hasImaginary = false);
// Double or logical, stored as MATLAB stores it: room for nzmax nonzero
// values and their rows, and the columns' starts; never the full m-by-n.
mxArray *newSparse(mxClassID classId, size_t m, size_t n, size_t nzmax, bool hasImaginary,
                   Fill fill = Fill::zeros);
mxArray *duplicate(const mxArray *array);
void destroy(mxArray *array);
// Frees the array's element storage, not its contents or the record.
void freeStorage(mxArray *array);
size_t numberOfElements(const mxArray *array);
// Ownership
void placeIntoContainer(mxArray *value, const char *api);
void displaceFromContainer(mxArray *value);
void markInput(const mxArray *array, int delta);
// The array the caller receives for an output (the array itself, or a copy
// when the callee did not own it).
mxArray *claimOutput(mxArray *array, int index);
void releaseHost(mxArray *array, uint64_t serial);
bool isRoot(const mxArray *array);
void measure(const mxArray *array, MemoryCount &count, std::unordered_set<const mxArray *> &seen);

// Shared copies (sharing.cpp)
// What MATLAB code gets of an array: a record of its own over the same
// storage, its elements shared the same way, held by the host.
mxArray *shareCopy(const mxArray *array);
// Faults when the array's value is also seen through a shared copy: the
// library would change what MATLAB code holds.
void requireUnshared(const mxArray *array, const char *api);
// Faults when the elements of a shared value changed since it was shared.
void verifySharedStorage();
void verifySharedStorage(const SharedStorage &storage);
// Gives up the record's part of its storage; true if other records keep it.
bool leaveSharedStorage(mxArray *array);

// Blocks (mx_memory.cpp)
void *allocateBlock(size_t bytes, bool zero);
void freeBlock(void *block);

// Text
mxArray *newString(const std::string &text);
std::string textOf(const mxArray *array);
std::string format(const char *format, va_list args);

// Objects
mxArray *newObject(const std::string &className);
void setProperty(mxArray *object, const std::string &name, mxArray *value);
mxArray *newMException(const MatlabError &error);

// Calls (calls.cpp)
std::vector<Value> invokeMex(Library &library, const std::vector<const mxArray *> &inputs, int nlhs);
void callFunction(const std::string &name, int nlhs, mxArray *plhs[], int nrhs, mxArray *prhs[]);
Value wrapHost(mxArray *array); // the array's first host reference

// Libraries (loader.cpp)
Library *findLoaded(const std::string &nameOrPath);
Library &loadLibrary(const std::string &nameOrPath);
bool locateLibrary(const std::string &nameOrPath, std::string &path, std::string &name);
void unloadModule(Library &library);
ClearReport clearLibrary(Library &library, bool force);

// Accounting (accounting.cpp)
std::vector<LibraryMemory> memoryByLibrary();
MemoryCount leakedBy(const Library &library);
MemoryCount hostMemory();

} // namespace mexhost::detail

// The array record. Opaque to MEX code, which sees only mxArray pointers.
struct mxArray_tag {
  mxClassID classId = mxUNKNOWN_CLASS;
  std::vector<mwSize> dims;
  void *data = nullptr; // numeric, logical and char elements (real parts)
  size_t dataBytes = 0;
  bool isComplex = false;
  void *imagData = nullptr; // the imaginary parts, dataBytes long too (null if none)
  // Sparse: data holds nzmax values, ir their rows, and column j's entries
  // are jc[j] to jc[j + 1] - 1 (jc has n + 1 entries).
  bool sparse = false;
  size_t nzmax = 0;
  mwIndex *ir = nullptr;
  mwIndex *jc = nullptr;
  // Cell elements; struct fields element by element; object properties.
  std::vector<mxArray *> slots;
  std::vector<std::string> fields; // struct field or property names
  std::string className;           // objects
  std::shared_ptr<const mexhost::Function> function;
  std::string functionName;

  // Lifetime
  uint64_t serial = 0;
  uint64_t callFrame = 0; // the call that made it; 0: host level
  mexhost::detail::Library *library = nullptr;
  int containers = 0; // container slots that hold it
  int hostRefs = 0;   // Values and workspace entries
  int inputRefs = 0;  // calls in progress that received it as an input
  bool persistent = false;
  std::shared_ptr<mexhost::detail::SharedStorage> shared; // null until first shared
};
