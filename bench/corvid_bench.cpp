// corvid's acquisition path: the toolbox engine loads corvid by file name
// and acquires from the simulated Andor driver. The camera is paced by the
// consumer: an image is made when the previous frame has been taken, so no
// image is ever pushed out of the driver's ring and each frame's cost is the
// whole path's (driver fill, getImages16 into the run buffer, putImage into
// the frame, the hand-overs between the threads). Its baseline, three bare
// memcpys of the frame's bytes, runs in blocks between blocks of frames.
#include "andor_sim_control.h"
#include "bench_support.h"
#include "imaqkit_engine.h"

#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>

namespace {

constexpr int32_t cameraHandle = 100;
constexpr auto patience = std::chrono::seconds(10);
constexpr int warmUpFrames = 20;

// The copies the path makes by design, as bare memcpys of the same bytes:
// the driver's fill of its ring, getImages16 into the run buffer, putImage
// into the frame.
struct CopiesByDesign {
  explicit CopiesByDesign(size_t bytes)
      : scene(bench::touchedBuffer(bytes, 3)), ring(bench::touchedBuffer(bytes)),
        run(bench::touchedBuffer(bytes)), frame(bench::touchedBuffer(bytes)) {}
  void copy() {
    std::memcpy(ring.data(), scene.data(), scene.size());
    std::memcpy(run.data(), ring.data(), ring.size());
    std::memcpy(frame.data(), run.data(), run.size());
    benchmark::ClobberMemory();
  }
  std::vector<uint8_t> scene, ring, run, frame;
};

void acquisition(benchmark::State &state) {
  const int32_t width = int32_t(state.range(0)), height = int32_t(state.range(1));
  const double frameBytes = double(width) * height * 2;
  CopiesByDesign copies{size_t(frameBytes)};
  bench::BlockedBaseline baseline("three_memcpy", [&copies] { return bench::timed([&] { copies.copy(); }); });
  andorSimReset();
  andorSimSetFreeRunning(0);
  andorSimAddCamera(cameraHandle, width, height);
  {
    imaqkit::AdaptorLibrary corvid(CORVID_FILE);
    corvid.enumerate();
    std::unique_ptr<imaqkit::VideoInput> vid = corvid.createVideoInput(0);
    vid->set("FramesPerTrigger", std::numeric_limits<double>::infinity());
    vid->start();
    // The run starts on corvid's thread: the first image is made once it waits.
    if (andorSimWaitForWaiters(1, 10000) != 1) throw std::runtime_error("the acquisition did not start");
    const auto oneFrame = [&vid] {
      if (andorSimProduceImages(cameraHandle, 1) != 1)
        throw std::runtime_error("the camera is not acquiring");
      if (!vid->waitForFrames(1, patience)) throw std::runtime_error("no frame came");
      std::vector<imaqkit::Frame> frames = vid->getFrames(1);
      benchmark::DoNotOptimize(frames.data());
    };
    // Steady state first: the driver's ring filled once, so it reuses its
    // images' memory as a running camera does.
    for (int i = 0; i < warmUpFrames; ++i) oneFrame();
    for (auto _ : state) {
      const double took = bench::timed(oneFrame);
      state.SetIterationTime(took);
      baseline.addFigure(took);
    }
    vid->stop();
    const imaqkit::AcquisitionStats stats = vid->stats();
    AndorSimCameraState camera{};
    andorSimGetCamera(cameraHandle, &camera);
    state.counters["images_lost"] = double(camera.counters.lost);
    state.counters["frames_dropped"] = double(stats.framesWanted - stats.framesDelivered);
    state.counters["frames_skipped"] = double(camera.counters.produced - stats.framesDelivered);
    state.counters["images_produced"] = double(camera.counters.produced);
  }
  andorSimReset();
  state.SetItemsProcessed(int64_t(state.iterations()));
  state.SetBytesProcessed(int64_t(double(state.iterations()) * frameBytes));
  baseline.report(state);
  // The ring (16 images), the run buffer and one frame; the baseline's four.
  bench::reportMemory(state, frameBytes * (18 + 4));
}

} // namespace

BENCHMARK(acquisition)->Name("corvid/acquisition")->Args({2560, 2160})->Args({64, 64})->UseManualTime();

BENCHMARK_MAIN();
