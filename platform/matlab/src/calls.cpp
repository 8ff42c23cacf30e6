// MEX calls, played MATLAB functions, and errors crossing between them.
#include <exception>

#include "runtime.h"

namespace mexhost {

struct ValueAccess {
  static Value make(mxArray *array) {
    uint64_t serial = array->serial;
    return Value(
        std::shared_ptr<mxArray>(array, [serial](mxArray *held) { detail::releaseHost(held, serial); }),
        serial);
  }
};

void raiseError(const std::string &message, const std::string &identifier) {
  detail::raise(identifier, message);
}

} // namespace mexhost

namespace mexhost::detail {

Value wrapHost(mxArray *array) { return ValueAccess::make(array); }

mxArray *newMException(const MatlabError &error) {
  mxArray *exception = newObject("MException");
  setProperty(exception, "identifier", newString(error.identifier));
  setProperty(exception, "message", newString(error.message));
  setProperty(exception, "stack", newArray(mxSTRUCT_CLASS, {0, 1}));
  return exception;
}

namespace {

// Inputs stay the caller's while a call runs: the callee may not destroy them.
struct InputMarks {
  explicit InputMarks(std::vector<const mxArray *> arrays) : arrays_(std::move(arrays)) {
    for (const mxArray *array : arrays_) markInput(array, +1);
  }
  ~InputMarks() {
    for (const mxArray *array : arrays_) markInput(array, -1);
  }
  std::vector<const mxArray *> arrays_;
};

// Runs body inside a new frame; MATLAB errors end the frame and pass on, any
// other C++ exception becomes a MATLAB error.
template <typename Body> void inCallFrame(CallFrameKind kind, Library *library, Body body) {
  pushCallFrame(kind, library);
  try {
    body();
  } catch (const MatlabError &) {
    endFrame();
    throw;
  } catch (const std::exception &e) {
    endFrame();
    raise("MATLAB:unexpectedCppException", std::string("Unexpected C++ exception: ") + e.what());
  } catch (...) {
    endFrame();
    raise("MATLAB:unexpectedCppException", "Unexpected unknown C++ exception.");
  }
  endFrame();
}

struct ActiveCall {
  explicit ActiveCall(Library &library) : library_(library) { ++library_.activeCalls; }
  ~ActiveCall() { --library_.activeCalls; }
  Library &library_;
};

void requireAssigned(const std::vector<mxArray *> &plhs, int nlhs, const std::string &name) {
  for (int i = 0; i < nlhs; ++i)
    if (plhs[static_cast<size_t>(i)] == nullptr)
      raise("MATLAB:unassignedOutputs",
            "One or more output arguments not assigned during call to \"" + name + "\".");
}

// Shared copies held for as long as a call runs: MATLAB code's view of the
// caller's arrays.
struct SharedViews {
  explicit SharedViews(const std::vector<const mxArray *> &arrays) {
    for (const mxArray *array : arrays) {
      mxArray *copy = shareCopy(array);
      ++copy->hostRefs;
      held.push_back(wrapHost(copy));
      views.push_back(copy);
    }
  }
  std::vector<Value> held;
  std::vector<const mxArray *> views;
};

} // namespace

std::vector<Value> invokeMex(Library &library, const std::vector<const mxArray *> &inputs, int nlhs) {
  if (nlhs < 0) nlhs = 0;
  for (const mxArray *input : inputs) requireLive(input, "a MEX call (one of its inputs)");
  InputMarks marks(inputs);
  // Inputs are the caller's values, shared by whatever else holds them in
  // MATLAB: a MEX function that changed one would change those too.
  SharedViews callers(state().checkSharing ? inputs : std::vector<const mxArray *>());
  ActiveCall active(library);
  std::vector<mxArray *> plhs(static_cast<size_t>(nlhs > 0 ? nlhs : 1), nullptr);
  std::vector<const mxArray *> prhs(inputs);
  std::vector<Value> outputs;
  inCallFrame(CallFrameKind::Mex, &library, [&] {
    library.entry(nlhs, plhs.data(), static_cast<int>(prhs.size()), prhs.data());
    requireAssigned(plhs, nlhs, library.name);
    // With no output asked for, a first output still becomes "ans".
    for (size_t i = 0; i < plhs.size(); ++i)
      if (plhs[i] != nullptr) outputs.push_back(wrapHost(claimOutput(plhs[i], static_cast<int>(i))));
  });
  verifySharedStorage();
  return outputs;
}

void callFunction(const std::string &name, int nlhs, mxArray *plhs[], int nrhs, mxArray *prhs[]) {
  State &s = state();
  std::shared_ptr<const Function> function;
  std::string functionName = name;
  int first = 0;
  if (name == "feval") {
    if (nrhs < 1 || prhs[0] == nullptr) raise("MATLAB:minrhs", "Not enough input arguments.");
    requireLive(prhs[0], "mexCallMATLAB (the function to evaluate)");
    first = 1;
    if (prhs[0]->classId == mxFUNCTION_CLASS) {
      function = prhs[0]->function;
      functionName = prhs[0]->functionName;
    } else if (prhs[0]->classId == mxCHAR_CLASS) {
      functionName = textOf(prhs[0]);
    } else {
      raise("MATLAB:feval:ArgNotStringOrHandle",
            "Argument must contain a character vector or function handle.");
    }
  }
  std::vector<const mxArray *> args;
  for (int i = first; i < nrhs; ++i) args.push_back(prhs[i]);
  for (const mxArray *arg : args) requireLive(arg, "mexCallMATLAB (one of its inputs)");

  std::vector<Value> outputs;
  if (!function) {
    auto defined = s.functions.find(functionName);
    if (defined != s.functions.end()) {
      function = defined->second;
    } else {
      std::string path, library;
      if (findLoaded(functionName) == nullptr && !locateLibrary(functionName, path, library))
        raise("MATLAB:UndefinedFunction", "Undefined function '" + functionName + "' for input arguments.");
      // A MEX function called from MATLAB code or from another MEX function.
      outputs = invokeMex(loadLibrary(functionName), args, nlhs);
    }
  }
  if (function) {
    // MATLAB code gets shared copies of its inputs, and may keep them: the
    // caller may destroy its own arrays, never change them.
    SharedViews callee(s.checkSharing ? args : std::vector<const mxArray *>());
    const std::vector<const mxArray *> &calleeArgs = s.checkSharing ? callee.views : args;
    InputMarks marks(calleeArgs);
    inCallFrame(CallFrameKind::Function, nullptr, [&] { outputs = (*function)(calleeArgs, nlhs); });
  }
  verifySharedStorage();
  if (nlhs > 0 && outputs.size() < static_cast<size_t>(nlhs))
    raise("MATLAB:unassignedOutputs",
          "One or more output arguments not assigned during call to \"" + functionName + "\".");
  // The caller's outputs are its own copies, alive until its call ends.
  for (int i = 0; i < nlhs; ++i) plhs[i] = duplicate(outputs[static_cast<size_t>(i)].get());
}

} // namespace mexhost::detail

using namespace mexhost::detail;

extern "C" {

MX_API int mexCallMATLAB(int nlhs, mxArray *plhs[], int nrhs, mxArray *prhs[], const char *name) {
  requireMainThread("mexCallMATLAB");
  callFunction(name != nullptr ? name : "", nlhs, plhs, nrhs, prhs);
  return 0;
}

MX_API mxArray *mexCallMATLABWithTrap(int nlhs, mxArray *plhs[], int nrhs, mxArray *prhs[],
                                      const char *name) {
  requireMainThread("mexCallMATLABWithTrap");
  try {
    callFunction(name != nullptr ? name : "", nlhs, plhs, nrhs, prhs);
    return nullptr;
  } catch (const MatlabError &error) {
    return newMException(error);
  }
}

} // extern "C"
