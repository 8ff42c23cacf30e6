// submitBuffers: a completed frame's way from the driver's completion to the
// MATLAB callback. The matrix is handed over uncopied, so the time per frame
// should not grow with the frame: 64 x 64 and 2048 x 2048 are compared.
//
// The driver's thread fills each frame before it completes it; that fill is
// the camera's, not the path's, so each frame is timed from the moment its
// completion routine has returned (the frame's message queued to MATLAB's
// thread) to the callback's return. Meanwhile MATLAB's thread polls instead
// of sleeping: on a virtual machine the wake-up of an idle processor costs
// from a few to tens of microseconds at random, which would drown the path.
//
// The fill of a large frame streams megabytes through the caches just before
// the frame's message is taken. A third run shows what that alone costs:
// 64 x 64 frames, with MATLAB's thread itself moving as many bytes as a
// 2048 x 2048 fill (8 MB read, 8 MB written) before each frame.
#include "bench_support.h"
#include "matlab_session.h"
#include "qcam_sim_control.h"

#include <algorithm>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int32_t cameraHandle = 200;
constexpr int framesPerSubmit = 16;
constexpr size_t largeFillBytes = size_t(2048) * 2048 * 2;
std::string mexDir = MEX_DIR; // made absolute before main leaves the start folder

void completionToCallback(benchmark::State &state) {
  const uint32_t width = uint32_t(state.range(0)), height = uint32_t(state.range(1));
  const bool stirCaches = state.range(2) != 0;
  std::vector<uint8_t> stirFrom, stirTo;
  if (stirCaches) {
    stirFrom = bench::touchedBuffer(largeFillBytes, 3);
    stirTo = bench::touchedBuffer(largeFillBytes);
  }
  qcamSimReset();
  qcamSimSetFreeRunning(0);
  qcamSimAddCamera(cameraHandle, "QSIM0200", width, height, 16);
  {
    mexhost::Session session;
    session.addPath(mexDir);
    std::atomic<int> calls{0};
    mexhost::Value callback = session.functionHandle([&](const std::vector<const mxArray *> &, int) {
      ++calls;
      return std::vector<mexhost::Value>{};
    });
    mexhost::Value camera = session.object("QCamCamera", {{"cameraHandle", session.int32(cameraHandle)}});
    const mexhost::Value count = session.number(framesPerSubmit);
    uint64_t completions = 0;
    int queued = 0;
    double firstSeconds = 0, otherSeconds = 0, slowest = 0;
    int64_t firstCount = 0, otherCount = 0;
    bench::Latencies latencies;
    for (auto _ : state) {
      if (queued == 0) {
        session.pumpMessages();
        mexhost::CallResult result = session.call("submitBuffers", {camera, callback, count}, 0);
        if (!result.ok) throw std::runtime_error(result.errorMessage);
        session.clearCommandWindow();
        queued = framesPerSubmit;
      }
      qcamSimProduceImages(cameraHandle, 1);
      ++completions;
      const bench::Clock::time_point giveUp = bench::Clock::now() + std::chrono::seconds(10);
      while (qcamSimWaitForCompletions(completions, 0) != 1)
        if (bench::Clock::now() > giveUp) throw std::runtime_error("no completion");
      if (stirCaches) {
        std::memcpy(stirTo.data(), stirFrom.data(), largeFillBytes);
        benchmark::DoNotOptimize(stirTo.data());
      }
      --queued;
      const int expected = calls.load() + 1;
      const bool first = queued == framesPerSubmit - 1;
      const bench::Clock::time_point start = bench::Clock::now();
      if (!session.runUntil([&] { return calls.load() >= expected; }, std::chrono::seconds(10)))
        throw std::runtime_error("no callback came");
      const double took = bench::seconds(bench::Clock::now() - start);
      state.SetIterationTime(took);
      latencies.add(took);
      (first ? firstSeconds : otherSeconds) += took;
      ++(first ? firstCount : otherCount);
      slowest = std::max(slowest, took);
    }
    // The first frame after a submission follows a call of the library; a
    // frame far slower than the others points at work done in a dispatch.
    state.counters["first_after_submit_us"] = firstCount ? firstSeconds / double(firstCount) * 1e6 : 0;
    state.counters["other_frames_us"] = otherCount ? otherSeconds / double(otherCount) * 1e6 : 0;
    state.counters["slowest_us"] = slowest * 1e6;
    latencies.report(state);
    session.close();
  }
  qcamSimReset();
  state.SetItemsProcessed(int64_t(state.iterations()));
  bench::reportMemory(state, double(width) * height * 2 * framesPerSubmit);
}

} // namespace

// Fixed counts: each frame's fill by the driver is outside the figure but
// not outside the run, and at 2048 x 2048 it is a hundred times the figure.
BENCHMARK(completionToCallback)->Name("submitBuffers/completion_to_callback")->Args({64, 64, 0})->Iterations(2000)->UseManualTime();
BENCHMARK(completionToCallback)->Name("submitBuffers/completion_to_callback")->Args({2048, 2048, 0})->Iterations(400)->UseManualTime();
BENCHMARK(completionToCallback)->Name("submitBuffers/completion_to_callback_after_16MB_moved")->Args({64, 64, 1})->Iterations(400)->UseManualTime();

int main(int argc, char **argv) {
  // The library logs to "C:\QCamLog.txt": on POSIX a file of that name in
  // the working folder, kept out of the build by a scratch folder.
  mexDir = std::filesystem::absolute(MEX_DIR).string();
  const std::filesystem::path scratch = std::filesystem::temp_directory_path() / "camera-bench-submitBuffers";
  std::filesystem::create_directories(scratch);
  std::filesystem::current_path(scratch);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  std::filesystem::remove_all(scratch, ignored);
  return 0;
}
