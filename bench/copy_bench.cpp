// takeEarliest and snapPicture: the copies of one image each call makes,
// against bare memcpys of the same bytes.
//   takeEarliest: the driver copies the oldest image into a new array made
//     for the call: baseline, a memcpy into a fresh buffer of that size, and
//     into a fresh zero-filled one, as the new array the MATLAB API makes is.
//   snapPicture: the driver fills the library's kept picture, and the call
//     returns a duplicate of it, a copy made for safety (handing out the kept
//     array would let MATLAB free what the library still grabs into):
//     baseline, a memcpy into a kept buffer plus that duplicate.
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

void takeEarliest(benchmark::State &state) {
  const int32_t width = int32_t(state.range(0)), height = int32_t(state.range(1));
  andorSimReset();
  andorSimSetFreeRunning(0);
  andorSimAddCamera(andorHandle, width, height);
  selectCamera(andorHandle);
  startAcquisition();
  {
    mexhost::Session session;
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
      state.PauseTiming();
      andorSimProduceImages(andorHandle, 1);
      state.ResumeTiming();
      mexhost::CallResult result = session.call("takeEarliest", inputs, 1);
      mustSucceed(result);
    }
    session.close();
  }
  andorSimReset();
  const double bytes = double(width) * height * 2;
  state.SetBytesProcessed(int64_t(double(state.iterations()) * bytes));
  bench::reportMemory(state, bytes * 17); // the ring and the new array
}

// The call copies the oldest image of the driver's ring, which the camera
// wrote just before from its scene: the baseline copies from a ring of as
// many images, each written from a scene just before its copy (outside the
// time), so that both copies start from the same state of the caches.
template <bool zeroed> void takeEarliestBaseline(benchmark::State &state) {
  const size_t bytes = size_t(state.range(0)) * size_t(state.range(1)) * 2;
  std::vector<std::vector<uint8_t>> ring(ringImages, bench::touchedBuffer(bytes));
  const std::vector<uint8_t> scene = bench::touchedBuffer(bytes, 3);
  size_t next = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<uint8_t> &oldest = ring[next++ % ring.size()];
    std::memcpy(oldest.data(), scene.data(), bytes);
    state.ResumeTiming();
    // The MATLAB array a call makes is zero-filled; a bare buffer is not.
    std::unique_ptr<uint8_t[]> fresh(zeroed ? new uint8_t[bytes]() : new uint8_t[bytes]);
    std::memcpy(fresh.get(), oldest.data(), bytes);
    benchmark::DoNotOptimize(fresh.get());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations() * bytes));
  bench::reportMemory(state, double(bytes) * (ringImages + 2));
}

void snapPicture(benchmark::State &state) {
  const uint32_t width = uint32_t(state.range(0)), height = uint32_t(state.range(1));
  qcamSimReset();
  qcamSimSetFreeRunning(0);
  qcamSimAddCamera(qcamHandle, "QSIM0200", width, height, 8);
  {
    mexhost::Session session;
    session.addPath(MEX_DIR);
    const std::vector<mexhost::Value> inputs = {
        session.object("QCamCamera", {{"cameraHandle", session.int32(qcamHandle)}})};
    for (auto _ : state) {
      mexhost::CallResult result = session.call("snapPicture", inputs, 1);
      mustSucceed(result);
    }
    session.close();
  }
  qcamSimReset();
  const double bytes = double(width) * height;
  state.SetBytesProcessed(int64_t(double(state.iterations()) * bytes));
  bench::reportMemory(state, bytes * 2); // the kept picture and its duplicate
}

// The grab into a kept buffer, and the duplicate for safety into a fresh one.
void snapPictureBaseline(benchmark::State &state) {
  const size_t bytes = size_t(state.range(0)) * size_t(state.range(1));
  std::vector<uint8_t> scene = bench::touchedBuffer(bytes, 3), kept = bench::touchedBuffer(bytes);
  for (auto _ : state) {
    std::memcpy(kept.data(), scene.data(), bytes);
    std::unique_ptr<uint8_t[]> duplicate(new uint8_t[bytes]);
    std::memcpy(duplicate.get(), kept.data(), bytes);
    benchmark::DoNotOptimize(duplicate.get());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations() * bytes));
  bench::reportMemory(state, double(bytes) * 3);
}

} // namespace

BENCHMARK(takeEarliest)->Name("takeEarliest/call")->Args({2048, 2048})->Args({64, 64})->UseRealTime();
BENCHMARK(takeEarliestBaseline<false>)->Name("takeEarliest/baseline_memcpy_fresh")->Args({2048, 2048})->Args({64, 64})->UseRealTime();
BENCHMARK(takeEarliestBaseline<true>)->Name("takeEarliest/baseline_memcpy_fresh_zeroed")->Args({2048, 2048})->Args({64, 64})->UseRealTime();
BENCHMARK(snapPicture)->Name("snapPicture/call")->Args({2048, 2048})->Args({640, 480})->UseRealTime();
BENCHMARK(snapPictureBaseline)->Name("snapPicture/baseline_memcpy_kept_plus_safety_copy")->Args({2048, 2048})->Args({640, 480})->UseRealTime();

BENCHMARK_MAIN();
