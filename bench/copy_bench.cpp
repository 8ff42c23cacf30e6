// takeEarliest and snapPicture: the copies of one image each call makes,
// against bare memcpys of the same bytes, run in blocks between blocks of
// calls:
//   takeEarliest: the driver copies the oldest image into a new array made
//     for the call: baseline, a memcpy into a fresh buffer of that size, and
//     into a fresh zero-filled one, as the new array the MATLAB API makes is.
//   snapPicture: the driver fills the library's kept picture, and the call
//     returns a duplicate of it, a copy made for safety (handing out the kept
//     array would let MATLAB free what the library still grabs into):
//     baseline, a memcpy into a kept buffer plus that duplicate.
// Both cameras show a still picture: the driver's fill is one copy, as the
// baselines' first memcpy is, not the simulator's drawing of a scene.
#include "andor_sim_control.h"
#include "bench_support.h"
#include "matlab_session.h"
#include "qcam_sim_control.h"

#include <memory>
#include <stdexcept>

namespace {

constexpr int32_t andorHandle = 1, qcamHandle = 200;
constexpr size_t ringImages = 16; // the simulated Andor driver's ring

void mustSucceed(const mexhost::CallResult &result) {
  if (!result.ok) throw std::runtime_error(result.errorMessage);
}

// The call copies the oldest image of the driver's ring, which the camera
// wrote just before from its scene. Its baselines copy from a ring of as
// many images, each written from a scene just before its copy (outside the
// time), so that both start from the same state of the caches: into a fresh
// buffer, and into a fresh zero-filled one, as the MATLAB API's new array is.
struct FreshCopies {
  explicit FreshCopies(size_t bytes)
      : scene(bench::touchedBuffer(bytes, 3)), ring(ringImages, bench::touchedBuffer(bytes)) {}
  const std::vector<uint8_t> &nextOldest() {
    std::vector<uint8_t> &oldest = ring[next++ % ring.size()];
    std::memcpy(oldest.data(), scene.data(), scene.size());
    return oldest;
  }
  template <bool zeroed> double timedCopy() {
    const std::vector<uint8_t> &oldest = nextOldest();
    return bench::timed([&] {
      std::unique_ptr<uint8_t[]> fresh(zeroed ? new uint8_t[oldest.size()]() : new uint8_t[oldest.size()]);
      std::memcpy(fresh.get(), oldest.data(), oldest.size());
      benchmark::DoNotOptimize(fresh.get());
      benchmark::ClobberMemory();
    });
  }
  std::vector<uint8_t> scene;
  std::vector<std::vector<uint8_t>> ring;
  size_t next = 0;
};

void takeEarliest(benchmark::State &state) {
  const int32_t width = int32_t(state.range(0)), height = int32_t(state.range(1));
  const double bytes = double(width) * height * 2;
  FreshCopies copies{size_t(bytes)};
  bench::BlockedBaseline fresh("memcpy_fresh", [&copies] { return copies.timedCopy<false>(); });
  bench::BlockedBaseline zeroed("memcpy_fresh_zeroed", [&copies] { return copies.timedCopy<true>(); });
  andorSimReset();
  andorSimSetFreeRunning(0);
  andorSimAddCamera(andorHandle, width, height);
  andorSimSetStillPicture(andorHandle, 1);
  selectCamera(andorHandle);
  startAcquisition();
  {
    mexhost::Session session;
    session.setSharingChecks(false); // time the libraries, not the stand-in's checks
    session.addPath(MEX_DIR);
    const std::vector<mexhost::Value> inputs = {
        session.object("AndorCamera", {}), session.number(16),
        session.numbers(mxDOUBLE_CLASS, 1, 2, {double(height), double(width)})};
    // Steady state first: the driver's ring filled once, so it reuses its
    // images' memory as a running camera does.
    for (int i = 0; i < 20; ++i) {
      andorSimProduceImages(andorHandle, 1);
      mustSucceed(session.call("takeEarliest", inputs, 1));
    }
    for (auto _ : state) {
      andorSimProduceImages(andorHandle, 1);
      // The call and the release of the array it returns, as the baselines
      // release their buffers.
      const double took = bench::timed([&] { mustSucceed(session.call("takeEarliest", inputs, 1)); });
      state.SetIterationTime(took);
      fresh.addFigure(took);
      zeroed.addFigure(took);
    }
    session.close();
  }
  andorSimReset();
  state.SetBytesProcessed(int64_t(double(state.iterations()) * bytes));
  fresh.report(state);
  zeroed.report(state);
  // The driver's ring and the new array; the baselines' scene, ring and buffer.
  bench::reportMemory(state, bytes * (17 + ringImages + 2));
}

// The grab into a kept buffer, and the duplicate for safety into a fresh one.
struct GrabAndDuplicate {
  explicit GrabAndDuplicate(size_t bytes)
      : scene(bench::touchedBuffer(bytes, 3)), kept(bench::touchedBuffer(bytes)) {}
  void copy() {
    std::memcpy(kept.data(), scene.data(), scene.size());
    std::unique_ptr<uint8_t[]> duplicate(new uint8_t[kept.size()]);
    std::memcpy(duplicate.get(), kept.data(), kept.size());
    benchmark::DoNotOptimize(duplicate.get());
    benchmark::ClobberMemory();
  }
  std::vector<uint8_t> scene, kept;
};

void snapPicture(benchmark::State &state) {
  const uint32_t width = uint32_t(state.range(0)), height = uint32_t(state.range(1));
  const double bytes = double(width) * height;
  GrabAndDuplicate copies{size_t(bytes)};
  bench::BlockedBaseline baseline("memcpy_kept_plus_safety_copy",
                                  [&copies] { return bench::timed([&] { copies.copy(); }); });
  qcamSimReset();
  qcamSimSetFreeRunning(0);
  qcamSimAddCamera(qcamHandle, "QSIM0200", width, height, 8);
  qcamSimSetStillPicture(qcamHandle, 1);
  {
    mexhost::Session session;
    session.setSharingChecks(false); // time the libraries, not the stand-in's checks
    session.addPath(MEX_DIR);
    const std::vector<mexhost::Value> inputs = {
        session.object("QCamCamera", {{"cameraHandle", session.int32(qcamHandle)}})};
    for (auto _ : state) {
      const double took = bench::timed([&] { mustSucceed(session.call("snapPicture", inputs, 1)); });
      state.SetIterationTime(took);
      baseline.addFigure(took);
    }
    session.close();
  }
  qcamSimReset();
  state.SetBytesProcessed(int64_t(double(state.iterations()) * bytes));
  baseline.report(state);
  // The kept picture and its duplicate; the baseline's three buffers.
  bench::reportMemory(state, bytes * (2 + 3));
}

} // namespace

BENCHMARK(takeEarliest)->Name("takeEarliest/call")->Args({2048, 2048})->Args({64, 64})->UseManualTime();
BENCHMARK(snapPicture)->Name("snapPicture/call")->Args({2048, 2048})->Args({640, 480})->UseManualTime();

BENCHMARK_MAIN();
