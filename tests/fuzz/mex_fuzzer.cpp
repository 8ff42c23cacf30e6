// libFuzzer target for one MEX library (FUZZ_LIBRARY), driven through the
// session host: each input is decoded into an argument list of random
// classes, sizes, empties, sparse and complex arrays, camera objects with and
// without the properties read, texts and function handles, a number of
// outputs, and the global variable a call names. A refused call
// must be a MATLAB error with a text; afterwards the cameras deliver what was
// asked of them, the library is cleared, and whatever it left is a failure.
#include "andor_sim_control.h"
#include "matlab_session.h"
#include "qcam_sim_control.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int32_t andorCamera = 3;
constexpr int32_t qcamCamera = 200; // 16-bit, for queued frames
constexpr int32_t grabCamera = 201; // 8-bit, as grabs are

// Reads the input a byte at a time; past its end every byte is 0.
class Bytes {
public:
  Bytes(const uint8_t *data, size_t size) : data_(data), size_(size) {}
  uint8_t next() { return at_ < size_ ? data_[at_++] : 0; }
  bool done() const { return at_ >= size_; }

private:
  const uint8_t *data_;
  size_t size_;
  size_t at_ = 0;
};

// Numbers that sit on the libraries' edges.
double number(Bytes &bytes) {
  static const double table[] = {
      0,   1,        2,         3,    -1,     0.5,          2.9,           16,
      32,  8,        48,        6,    100,    200,          andorCamera,   qcamCamera,
      NAN, INFINITY, -INFINITY, 1e10, 4096.0, 2147483648.0, -2147483648.0, 1e300};
  return table[bytes.next() % (sizeof table / sizeof table[0])];
}

mxClassID numericClass(Bytes &bytes) {
  static const mxClassID classes[] = {mxDOUBLE_CLASS, mxSINGLE_CLASS, mxINT8_CLASS,  mxUINT8_CLASS,
                                      mxINT16_CLASS,  mxUINT16_CLASS, mxINT32_CLASS, mxUINT32_CLASS,
                                      mxINT64_CLASS,  mxUINT64_CLASS};
  return classes[bytes.next() % (sizeof classes / sizeof classes[0])];
}

struct Fuzz {
  static constexpr int clearEvery = 16;
  mexhost::Session session;
  int callbacks = 0;
  long inputs = 0, accepted = 0, refused = 0, clears = 0;

  Fuzz() {
#ifdef MEX_DIR
    session.addPath(MEX_DIR);
#endif
    session.setAllocationLimit(1 << 20);
    andorSimReset();
    andorSimAddCamera(andorCamera, 8, 6);
    selectCamera(andorCamera);
    startAcquisition();
    qcamSimReset();
    qcamSimAddCamera(qcamCamera, "QSIM0200", 8, 6, 16);
    qcamSimAddCamera(grabCamera, "QSIM0201", 8, 6, 8);
  }

  // The argument a well-formed call has at position index, so that random
  // lists reach past the first check as often as they stop there.
  mexhost::Value wellFormed(Bytes &bytes, size_t index) {
    const std::string library = FUZZ_LIBRARY;
    if (index == 0) {
      if (library == "watchDriverSignal")
        return session.object("AndorCamera", {{"cameraHandle", session.number(andorCamera)}});
      if (library == "takeEarliest")
        return session.object("AndorCamera",
                              {{"expectedM", session.number(6)}, {"expectedN", session.number(8)}});
      return session.object(
          "QCamCamera",
          {{"cameraHandle", session.int32(library == "snapPicture" ? grabCamera : qcamCamera)}});
    }
    if (index == 1 && library == "takeEarliest") return session.number(bytes.next() & 1 ? 16 : 32);
    if (index == 1) return callback(bytes);
    if (index == 2 && library == "takeEarliest" && (bytes.next() & 1)) {
      session.setGlobal("frame", frameStore(bytes));
      return session.text("frame");
    }
    return session.number(1 + bytes.next() % 4);
  }

  mexhost::Value callback(Bytes &bytes) {
    const bool raises = bytes.next() & 1;
    return session.functionHandle([this, raises](const std::vector<const mxArray *> &, int) {
      ++callbacks;
      if (raises) mexhost::raiseError("callback failed");
      return std::vector<mexhost::Value>{};
    });
  }

  // Numbers an array of the class can hold: an integer class holds only what
  // it can represent, as MATLAB's conversions make sure. For a sparse array
  // about half are 0, so that it stores fewer elements than it counts.
  static std::vector<double> numbers(Bytes &bytes, mxClassID classId, size_t count, bool sparse = false) {
    const bool floating = classId == mxDOUBLE_CLASS || classId == mxSINGLE_CLASS;
    const bool unsignedClass = classId == mxUINT8_CLASS || classId == mxUINT16_CLASS ||
                               classId == mxUINT32_CLASS || classId == mxUINT64_CLASS;
    std::vector<double> values;
    for (size_t i = 0; i < count; ++i) {
      double value = sparse && (bytes.next() & 1) ? 0 : number(bytes);
      if (!floating) value = std::isfinite(value) ? std::fmod(value, 100) : 0;
      if (unsignedClass) value = std::fabs(value);
      values.push_back(value);
    }
    return values;
  }

  mexhost::Value matrix(Bytes &bytes) {
    const mxClassID classId = numericClass(bytes);
    const size_t rows = bytes.next() % 4, columns = bytes.next() % 4;
    return session.numbers(classId, rows, columns, numbers(bytes, classId, rows * columns));
  }

  // Double, complex double or logical; only the nonzero elements are stored.
  mexhost::Value sparse(Bytes &bytes) {
    const int kind = bytes.next() % 3;
    const size_t rows = bytes.next() % 4, columns = bytes.next() % 4;
    std::vector<double> values = numbers(bytes, mxDOUBLE_CLASS, rows * columns, true);
    if (kind == 2) return session.sparse(mxLOGICAL_CLASS, rows, columns, values);
    return session.sparse(mxDOUBLE_CLASS, rows, columns, values,
                          kind == 1 ? numbers(bytes, mxDOUBLE_CLASS, rows * columns, true)
                                    : std::vector<double>{});
  }

  mexhost::Value complexMatrix(Bytes &bytes) {
    const mxClassID classId = numericClass(bytes);
    const size_t rows = bytes.next() % 4, columns = bytes.next() % 4;
    std::vector<double> real = numbers(bytes, classId, rows * columns);
    return session.complexNumbers(classId, rows, columns, real, numbers(bytes, classId, rows * columns));
  }

  // What the global variable "frame" holds for a call that names it: mostly
  // of the images' element count, of every kind. A few bytes make it, so
  // that the input's other calls get the rest.
  mexhost::Value frameStore(Bytes &bytes) {
    const int kind = bytes.next() % 4;
    if (kind == 3) return value(bytes, 1);
    const mxClassID classId = kind == 1 ? mxDOUBLE_CLASS : numericClass(bytes);
    const size_t every = 1 + bytes.next() % 8; // of a sparse one, the nonzero elements
    const double fill = 1 + bytes.next() % 100;
    std::vector<double> values(48, fill);
    switch (kind) {
    case 0:
      return session.numbers(classId, 8, 6, values);
    case 1:
      for (size_t i = 0; i < values.size(); ++i) values[i] = i % every == 0 ? fill : 0;
      return session.sparse(mxDOUBLE_CLASS, 6, 8, values);
    default:
      return session.complexNumbers(classId, 48, 1, values, values);
    }
  }

  mexhost::Value camera(Bytes &bytes) {
    static const char *const classNames[] = {"AndorCamera", "QCamCamera", "Other"};
    static const char *const names[] = {"cameraHandle", "expectedM", "expectedN", "tag"};
    std::vector<std::pair<std::string, mexhost::Value>> properties;
    const std::string className = classNames[bytes.next() % 3];
    const int count = bytes.next() % 4;
    for (int i = 0; i < count; ++i) properties.emplace_back(names[bytes.next() % 4], value(bytes, 1));
    return session.object(className, properties);
  }

  mexhost::Value value(Bytes &bytes, int depth = 0) {
    switch (bytes.next() % (depth > 0 ? 10 : 12)) {
    case 0:
      return session.number(number(bytes));
    case 1:
      return session.int32(int32_t(number(bytes) == 200 ? qcamCamera : bytes.next()));
    case 2:
      return matrix(bytes);
    case 3:
      return session.empty();
    case 4:
      return session.text(std::string(bytes.next() % 6, char('a' + bytes.next() % 26)));
    case 5:
      return session.emptyStruct();
    case 6:
      return session.text("");
    case 7:
      return session.numbers(mxLOGICAL_CLASS, 1, 1, {double(bytes.next() & 1)});
    case 8:
      return sparse(bytes);
    case 9:
      return complexMatrix(bytes);
    case 10:
      return camera(bytes);
    default:
      return callback(bytes);
    }
  }

  void run(const uint8_t *data, size_t size) {
    Bytes bytes(data, size);
    const int calls = 1 + bytes.next() % 3;
    for (int c = 0; c < calls && !bytes.done(); ++c) {
      const int nlhs = bytes.next() % 3;
      std::vector<mexhost::Value> inputs;
      const int count = bytes.next() % 5;
      for (int i = 0; i < count; ++i)
        inputs.push_back(bytes.next() & 1 ? wellFormed(bytes, size_t(i)) : value(bytes));
      // Something to read, for whichever camera the call may name.
      andorSimProduceImages(andorCamera, 1);
      mexhost::CallResult result = session.call(FUZZ_LIBRARY, inputs, nlhs);
      ++(result.ok ? accepted : refused);
      if (!result.ok && result.errorMessage.empty()) {
        std::fprintf(stderr, "%s refused a call without saying why\n", FUZZ_LIBRARY);
        std::abort();
      }
    }
    // Every frame still queued is completed, and every completion reaches
    // MATLAB before the library may go.
    for (int32_t queued; (queued = qcamSimQueuedFrames(qcamCamera)) > 0;) {
      qcamSimProduceImages(qcamCamera, queued);
      qcamSimWaitUntilDrained(5000);
    }
    session.pumpMessages();
    session.clearGlobal("frame"); // inputs stay independent of each other
    // Loading a library costs more than most calls: it is cleared after
    // every few inputs, and whatever it left is checked then.
    if (++inputs % clearEvery != 0) return;
    mexhost::ClearReport cleared = session.clear(FUZZ_LIBRARY);
    if (!cleared.cleared && cleared.reason != "not loaded") {
      // Completions may still be on their way from the driver's thread.
      session.runUntil([&] { return (cleared = session.clear(FUZZ_LIBRARY)).cleared; },
                       std::chrono::seconds(5));
    }
    clears += cleared.cleared ? 1 : 0;
    if (!cleared.leaked.empty()) {
      std::fprintf(stderr, "%s left %zu arrays and %zu blocks when cleared\n", FUZZ_LIBRARY,
                   cleared.leaked.arrays, cleared.leaked.blocks);
      std::abort();
    }
    if (cleared.reason != "not loaded" && !cleared.cleared) {
      std::fprintf(stderr, "%s could not be cleared: %s\n", FUZZ_LIBRARY, cleared.reason.c_str());
      std::abort();
    }
  }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static Fuzz *fuzz = [] {
    // submitBuffers writes its call log into the working folder.
    const std::filesystem::path scratch = std::filesystem::temp_directory_path() / ("fuzz-" FUZZ_LIBRARY);
    std::filesystem::create_directories(scratch);
    std::filesystem::current_path(scratch);
    static Fuzz *made = new Fuzz();
    std::atexit([] {
      std::printf("%s: %ld inputs, %ld calls accepted, %ld refused with a MATLAB error, %ld callbacks run, "
                  "%ld clears with nothing left behind\n",
                  FUZZ_LIBRARY, made->inputs, made->accepted, made->refused, long(made->callbacks),
                  made->clears);
    });
    return made;
  }();
  fuzz->run(data, size);
  return 0;
}
