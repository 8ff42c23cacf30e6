/* A small MATLAB-like session host for the MEX libraries: it loads a MEX
 * library by file name and calls its mexFunction on the session's thread
 * (MATLAB's main thread), clears and unloads libraries, plays MATLAB
 * functions with C++ callables, keeps a global workspace and a command
 * window, runs the thread's message loop the way MATLAB's idle loop does,
 * and accounts for the memory the libraries keep or leave behind.
 *
 * Tests and test programs use this header; shipped code never does.
 *
 * Memory rules, as in MATLAB:
 * - Arrays and mxCalloc blocks made during a call of a MEX function (or of a
 *   MATLAB function it calls) are really freed when that call ends, unless
 *   they were made persistent, returned as outputs, or set into a container.
 * - An array returned as an output passes to the caller. That includes an
 *   array that was made persistent: the library keeps a pointer to an array
 *   it no longer owns, which the caller frees when it drops the value.
 * - MATLAB shares arrays: a function called through feval gets shared
 *   copies of its inputs, a MEX function gets the caller's values, and what
 *   MATLAB code keeps shares them (Session::share). A library may destroy
 *   its reference (the copies stay whole), never change an array a copy
 *   shares: a change through the API, or to the elements (found by a
 *   checksum, of the whole of small arrays and of samples of large ones),
 *   is a fault.
 * - An array is in at most one container (cell, field, property) at a time,
 *   is destroyed with it and never alone, and only an array outside any
 *   container is made persistent.
 * - Misuse that MATLAB would punish with a crash (destroying an input,
 *   setting an input into a container, reading a cell past its end, freeing
 *   a block twice, calling the API off the main thread, the rules above)
 *   stops the process with a message on stderr naming the call. */
#ifndef CAMERA_PLATFORM_MATLAB_SESSION_H
#define CAMERA_PLATFORM_MATLAB_SESSION_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "mex.h"

#if defined(MATLAB_RUNTIME_BUILD)
#if defined(_WIN32)
#define MEXHOST_API __declspec(dllexport)
#else
#define MEXHOST_API __attribute__((visibility("default")))
#endif
#elif defined(_WIN32)
#define MEXHOST_API __declspec(dllimport)
#else
#define MEXHOST_API
#endif

namespace mexhost {

/* A MATLAB value held by the host (a test or a MATLAB function played in
 * C++). Copies share the array; the last copy to go destroys it. A Value
 * that outlives its session is inert. */
class MEXHOST_API Value {
public:
  Value() = default;
  /* The array, or null for an empty Value or one whose session ended. */
  const mxArray *get() const;
  /* For filling a value before it is handed to a MEX function. */
  mxArray *mutableArray() const;
  explicit operator bool() const { return get() != nullptr; }

  mxClassID classId() const;
  std::string className() const;
  size_t rows() const;
  size_t columns() const;
  size_t elements() const;
  double scalar() const;    /* first element as double, 0 if none */
  std::string text() const; /* a char array's text, "" otherwise */

  /* Takes over an array made outside any MEX call (host level). */
  static Value adopt(mxArray *array);

private:
  Value(std::shared_ptr<mxArray> array, uint64_t serial) : array_(std::move(array)), serial_(serial) {}
  std::shared_ptr<mxArray> array_;
  uint64_t serial_ = 0;
  friend struct ValueAccess;
};

/* A MATLAB function played by C++: it receives the arguments and the number
 * of outputs asked for, and returns the outputs. As in MATLAB, the arguments
 * are shared copies of the caller's arrays, gone when the call returns; it
 * keeps one as MATLAB code would with Session::share (or takes a deep copy
 * with Session::copy). It may raise a MATLAB error with raiseError, pump the
 * message loop, or call MEX functions through the session. */
using Function = std::function<std::vector<Value>(const std::vector<const mxArray *> &args, int nargout)>;

/* Raises a MATLAB error from a played function (like MATLAB's error()). */
[[noreturn]] MEXHOST_API void raiseError(const std::string &message,
                                         const std::string &identifier = std::string());

struct CallResult {
  bool ok = false;
  std::vector<Value> outputs;
  std::string errorMessage; /* the MATLAB error's text, byte for byte */
  std::string errorIdentifier;
};

struct MemoryCount {
  size_t arrays = 0; /* arrays not inside another array */
  size_t blocks = 0; /* mxCalloc/mxMalloc blocks */
  size_t bytes = 0;  /* block bytes and array data, contents included */
  bool empty() const { return arrays == 0 && blocks == 0; }
};

struct LibraryMemory {
  std::string library; /* name, e.g. "watchDriverSignal" */
  std::string path;
  bool loaded = false;
  MemoryCount persistent; /* kept by the library while it is loaded */
  MemoryCount leaked;     /* left behind when it was cleared */
};

struct ClearReport {
  std::string library;
  bool cleared = false;
  std::string reason; /* why it stays: "not loaded", "locked", "in use" */
  bool exitRoutineRan = false;
  std::string exitError; /* a MATLAB error raised by the exit routine */
  MemoryCount leaked;    /* what the library left behind */
};

struct SessionReport {
  std::vector<ClearReport> cleared;     /* the libraries cleared at the end */
  std::vector<LibraryMemory> libraries; /* every library that left something */
  MemoryCount leaked;                   /* all of it together */
  MemoryCount host;                     /* values the host itself still held: not leaks */
};

/* A warning a MEX library raised with mexWarnMsgTxt or mexWarnMsgIdAndTxt. */
struct MexWarning {
  std::string identifier;
  std::string message;
};

/* One session at a time per process, on the thread that constructs it. */
class MEXHOST_API Session {
public:
  Session();
  ~Session(); /* closes the session if close() was not called */
  Session(const Session &) = delete;
  Session &operator=(const Session &) = delete;

  static Session *current();

  /* --- MEX libraries --- */
  /* Folders searched for "<name>.mexa64" (.mexw64, .mexw32) before the
   * current folder. */
  void addPath(const std::string &folder);
  /* Calls a MEX function by name or by path, loading it first if needed. */
  CallResult call(const std::string &function, const std::vector<Value> &inputs = {}, int nlhs = 0);
  CallResult call(const std::string &function, const std::vector<const mxArray *> &inputs, int nlhs);
  bool isLoaded(const std::string &library) const;
  /* Runs the exit routine, then unloads: the next call loads the library
   * afresh. A locked library, or one whose call is in progress, stays. */
  ClearReport clear(const std::string &library);
  std::vector<ClearReport> clearAll();

  /* --- Values --- */
  Value number(double value);
  Value int32(int32_t value);
  /* A real numeric matrix of the class, filled column by column. */
  Value numbers(mxClassID classId, size_t rows, size_t columns, const std::vector<double> &values = {});
  /* The same with imaginary parts, kept apart from the real ones as MATLAB
   * keeps them. */
  Value complexNumbers(mxClassID classId, size_t rows, size_t columns, const std::vector<double> &real = {},
                       const std::vector<double> &imaginaryParts = {});
  /* A sparse double or logical matrix of the values given in full, column by
   * column; only the nonzero ones are stored (room for them, at least one).
   * Imaginary parts make a complex double one. */
  Value sparse(mxClassID classId, size_t rows, size_t columns, const std::vector<double> &values = {},
               const std::vector<double> &imaginaryParts = {});
  Value text(const std::string &value);
  Value empty();       /* [] */
  Value emptyStruct(); /* 0-by-0 struct with no fields */
  /* An object of a class with properties, e.g. an "AndorCamera" with
   * cameraHandle 3.0. */
  Value object(const std::string &className, const std::vector<std::pair<std::string, Value>> &properties);
  Value functionHandle(Function function, const std::string &name = "callback");
  Value copy(const mxArray *array); /* a deep copy held by the host */
  /* What MATLAB code holds when it keeps a value (last = s, a cell, a
   * variable): a shared copy, over the same elements, whose fields are shared
   * copies too. While it lives, the library must not change the array (its
   * fields, cells or elements: a fault), but may destroy it: the copy stays
   * whole. */
  Value share(const mxArray *array);
  /* A named MATLAB function, callable through mexCallMATLAB. */
  void defineFunction(const std::string &name, Function function);

  /* --- Global workspace --- */
  void setGlobal(const std::string &name, const Value &value); /* stores a copy */
  Value global(const std::string &name) const;                 /* a copy; empty if none */
  bool hasGlobal(const std::string &name) const;
  void clearGlobal(const std::string &name);

  /* --- Command window --- */
  const std::string &commandWindow() const;        /* everything printed */
  const std::vector<std::string> &printed() const; /* one entry per mexPrintf */
  const std::vector<MexWarning> &warnings() const;
  void clearCommandWindow();
  void setEcho(bool echo); /* also copy what is printed to stdout */
  /* Runs after each text reaches the command window, on the main thread,
   * inside the call that printed it, as MATLAB's command window may process
   * events while it prints: the hook may pump messages. Null removes it. */
  void setPrintHook(std::function<void(const std::string &)> hook);

  /* --- The main thread's message loop --- */
  unsigned long mainThreadId() const;
  /* Takes every queued message with removal (WH_GETMESSAGE hooks see each
   * one), including those queued meanwhile; returns how many. */
  size_t pumpMessages();
  /* Takes messages, blocking while the queue is empty, until the condition
   * holds (tested before and after every message) or the timeout passes.
   * Returns whether the condition holds. */
  bool runUntil(const std::function<bool()> &condition, std::chrono::milliseconds timeout);

  /* --- Accounting and failure injection --- */
  std::vector<LibraryMemory> memory() const;
  /* Clears every library (locked ones too), reports what is left, frees it
   * and ends the session. */
  SessionReport close();
  /* Any single allocation larger than this fails as MATLAB's do: the call
   * ends with an out-of-memory error. 0 lifts the limit. */
  void setAllocationLimit(size_t bytes);
  /* The next count mexPutVariable calls fail (return 1) and change nothing,
   * as when MATLAB cannot store the variable. */
  void refuseNextPutVariables(int count);
  /* Whether the session models MATLAB's sharing in full (on by default):
   * played functions and MEX functions get their inputs as shared copies,
   * and changes to the elements of shared arrays are looked for. Off, they
   * get the caller's arrays themselves and nothing is checksummed, which
   * costs the libraries nothing: benchmarks time the libraries, not the
   * stand-in's checks. Session::share, and the rules of the API (changing a
   * shared array, an array in two containers), hold either way. */
  void setSharingChecks(bool check);

private:
  bool closed_ = false;
};

} // namespace mexhost

#endif
