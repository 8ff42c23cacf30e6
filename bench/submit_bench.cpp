// submitBuffers: a completed frame's way from the driver's completion to the
// MATLAB callback. The matrix is handed over uncopied, so the time per frame
// should not grow with the frame: 64 x 64 and 2048 x 2048 are compared.
//
// The driver's thread fills each frame before it completes it; that fill is
// the camera's, not the path's, so each frame is timed from the moment its
// completion routine has returned (the frame's message queued to MATLAB's
// thread) to the callback's return. The camera runs free at the same frame
// rate for both sizes, so MATLAB's thread has waited equally long for each
// frame and only the frame's size differs.
#include "bench_support.h"
#include "matlab_session.h"
#include "qcam_sim_control.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace {

constexpr int32_t cameraHandle = 200;
constexpr int framesPerSubmit = 16;
// A camera at 100 frames/s; the driver fills a 2048 x 2048 frame well within it.
constexpr double framePeriodSeconds = 0.01;
std::string mexDir = MEX_DIR; // made absolute before main leaves the start folder

void completionToCallback(benchmark::State &state) {
  const uint32_t width = uint32_t(state.range(0)), height = uint32_t(state.range(1));
  qcamSimReset();
  qcamSimSetFramePeriod(framePeriodSeconds);
  qcamSimAddCamera(cameraHandle, "QSIM0200", width, height, 16);
  qcamSimSetFreeRunning(1);
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
    bench::Latencies latencies;
    int64_t firstCount = 0, otherCount = 0;
    for (auto _ : state) {
      if (queued == 0) {
        session.pumpMessages();
        mexhost::CallResult result = session.call("submitBuffers", {camera, callback, count}, 0);
        if (!result.ok) throw std::runtime_error(result.errorMessage);
        session.clearCommandWindow();
        queued = framesPerSubmit;
      }
      if (qcamSimWaitForCompletions(++completions, 10000) != 1) throw std::runtime_error("no completion");
      --queued;
      const int expected = calls.load() + 1;
      const bool first = queued == framesPerSubmit - 1;
      const bench::Clock::time_point start = bench::Clock::now();
      if (!session.runUntil([&] { return calls.load() >= expected; }, std::chrono::seconds(10)))
        throw std::runtime_error("no callback came");
      const double took = bench::seconds(bench::Clock::now() - start);
      state.SetIterationTime(took);
      (first ? firstSeconds : otherSeconds) += took;
      ++(first ? firstCount : otherCount);
      slowest = std::max(slowest, took);
      latencies.add(took);
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

// Fixed counts: at the camera's frame rate a run of 400 frames takes 4 s.
BENCHMARK(completionToCallback)->Name("submitBuffers/completion_to_callback")->Args({64, 64})->Iterations(400)->UseManualTime();
BENCHMARK(completionToCallback)->Name("submitBuffers/completion_to_callback")->Args({2048, 2048})->Iterations(400)->UseManualTime();

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
