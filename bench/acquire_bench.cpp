// acquire's run, streamed: frames from a simulated 2560 x 2160 camera go
// through corvid, the toolbox engine and acquire's recording into its TIFF
// writer, page by page, exactly as a run to a file does, but into a sink
// that keeps no byte (22 GB of pages would otherwise land on the disk). The
// figure is the peak resident memory of the whole process against one
// frame's bytes: flat, whatever the run's length, when nothing holds frames.
// 200 frames and 2,000 run in processes of their own, so that their peaks
// can be set side by side; the baseline is the same camera, corvid and
// engine with frames taken and dropped, no acquire, so that the difference
// is acquire's own.
#include "acquisition.h"
#include "andor_sim_control.h"
#include "bench_support.h"
#include "imaqkit_engine.h"

#include <filesystem>
#include <memory>
#include <stdexcept>

namespace {

constexpr int32_t cameraHandle = 100, width = 2560, height = 2160;

// The simulated camera, free-running as fast as it can make images.
void freeRunningCamera() {
  andorSimReset();
  andorSimAddCamera(cameraHandle, width, height);
  // The driver's ring holds two images, so that its memory, the camera's
  // and not the run's, is small beside the figure.
  andorSimSetRingCapacity(cameraHandle, 2);
  andorSimSetFramePeriod(cameraHandle, 0.001);
  andorSimSetFreeRunning(1);
}

void report(benchmark::State &state, uint32_t frames, double took, double residentBefore) {
  const double frameBytes = double(width) * height * 2;
  state.counters["frames"] = frames;
  state.counters["GB_through"] = double(frames) * frameBytes / 1e9;
  state.counters["frames_per_s"] = took > 0 ? frames / took : 0;
  state.counters["rss_before_MB"] = residentBefore / 1e6;
  state.counters["peak_over_frame"] = bench::peakResidentBytes() / frameBytes;
  bench::reportMemory(state, frameBytes);
}

void streamedRun(benchmark::State &state) {
  const auto frames = uint32_t(state.range(0));
  const std::filesystem::path out = std::filesystem::temp_directory_path() / "acquire_bench";
  const double residentBefore = bench::residentBytes();
  double took = 0;
  for (auto _ : state) {
    freeRunningCamera();
    {
      imaqkit::AdaptorLibrary corvid(CORVID_FILE);
      acquire::Options options;
      options.frames = frames;
      options.exposure = 0.001;
      options.timeout = 30;
      options.out = out.string();
      options.overwrite = true;
      std::FILE *report = std::tmpfile();
      took = bench::timed([&] {
        acquire::acquireFrames(corvid, options, report, nullptr, [&](const std::string &) {
          auto sink = std::make_unique<acquire::DiscardingSink>();
          return std::unique_ptr<acquire::ByteSink>(std::move(sink));
        });
      });
      if (report != nullptr) std::fclose(report);
    }
    andorSimReset();
    state.SetIterationTime(took);
  }
  std::error_code ignored;
  std::filesystem::remove_all(out, ignored);
  report(state, frames, took, residentBefore);
}

void droppedRun(benchmark::State &state) {
  const auto frames = uint32_t(state.range(0));
  const double residentBefore = bench::residentBytes();
  double took = 0;
  for (auto _ : state) {
    freeRunningCamera();
    {
      imaqkit::AdaptorLibrary corvid(CORVID_FILE);
      corvid.enumerate();
      std::unique_ptr<imaqkit::VideoInput> vid = corvid.createVideoInput(0);
      vid->set("Exposure", 0.001);
      vid->set("FramesPerTrigger", double(frames));
      took = bench::timed([&] {
        vid->start();
        for (uint32_t taken = 0; taken < frames;) {
          if (!vid->waitForFrames(1, std::chrono::seconds(30)) && vid->framesAvailable() == 0)
            throw std::runtime_error("no frame came");
          taken += uint32_t(vid->getFrames().size());
        }
        vid->stop();
      });
      vid->close();
    }
    andorSimReset();
    state.SetIterationTime(took);
  }
  report(state, frames, took, residentBefore);
}

} // namespace

BENCHMARK(streamedRun)
    ->Name("acquire/streamed_run")
    ->Args({200})
    ->Args({2000})
    ->Iterations(1)
    ->UseManualTime();
BENCHMARK(droppedRun)->Name("acquire/baseline_frames_dropped")->Args({2000})->Iterations(1)->UseManualTime();
