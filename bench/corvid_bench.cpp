// corvid's acquisition path: the toolbox engine loads corvid by file name
// and acquires from the simulated Andor driver. The camera is paced by the
// consumer: an image is made when the previous frame has been taken, so no
// image is ever pushed out of the driver's ring and each frame's cost is the
// whole path's (driver fill, getImages16 into the run buffer, putImage into
// the frame, the hand-overs between the threads). Its baseline, three bare
// memcpys of the frame's bytes, runs in blocks between blocks of frames.
// The camera shows a still picture, so its fill is one copy into the ring,
// as the baseline's first memcpy, and not the simulator's drawing of a
// moving scene, which is no part of corvid's path.
#include "andor_sim_control.h"
#include "bench_support.h"
#include "drivers/andor_camera_lock.h"
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
  andorSimSetStillPicture(cameraHandle, 1);
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

// Frames per second of a run, from its frames' stamps.
double rateOf(const std::vector<imaqkit::Frame> &frames) {
  if (frames.size() < 2) return 0;
  const double span = frames.back().time - frames.front().time;
  return span > 0 ? double(frames.size() - 1) / span : 0;
}

// Runs the first `devices` cameras at once for `frames` frames each; the
// rate of each.
std::vector<double> freeRunningRates(imaqkit::AdaptorLibrary &corvid, int devices, int frames) {
  std::vector<std::unique_ptr<imaqkit::VideoInput>> vids;
  for (int device = 0; device < devices; ++device) {
    vids.push_back(corvid.createVideoInput(device));
    vids.back()->set("FramesPerTrigger", frames);
  }
  for (auto &vid : vids) vid->start();
  std::vector<double> rates;
  for (auto &vid : vids) {
    if (!vid->waitForFrames(size_t(frames), std::chrono::seconds(60)))
      throw std::runtime_error("no frames came");
    rates.push_back(rateOf(vid->getFrames()));
    vid->stop();
  }
  return rates;
}

// Two cameras running free at once: each one's frame rate against that of
// one camera alone, both measured in the same iteration. A rate kept means
// neither camera's waits or reads hold the other up.
void twoCameras(benchmark::State &state) {
  const int32_t size = int32_t(state.range(0));
  const int frames = int(state.range(1));
  const double period = 1.0 / double(state.range(2));
  andorSimReset();
  andorSimSetFreeRunning(1);
  for (int32_t handle : {cameraHandle, cameraHandle + 1}) {
    andorSimAddCamera(handle, size, size);
    andorSimSetFramePeriod(handle, period);
    andorSimSetRingCapacity(handle, uint32_t(frames)); // a slow moment loses nothing
    andorSimSetStillPicture(handle, 1);
  }
  double alone = 0, slower = std::numeric_limits<double>::infinity();
  {
    imaqkit::AdaptorLibrary corvid(CORVID_FILE);
    corvid.enumerate();
    for (auto _ : state) {
      const auto started = bench::Clock::now();
      alone = freeRunningRates(corvid, 1, frames)[0];
      for (double rate : freeRunningRates(corvid, 2, frames)) slower = std::min(slower, rate);
      state.SetIterationTime(bench::seconds(bench::Clock::now() - started));
    }
  }
  andorSimReset();
  state.counters["alone_fps"] = alone;
  state.counters["beside_fps"] = slower; // the slower of the two
  state.counters["ratio"] = alone > 0 ? slower / alone : 0;
  state.counters["camera_fps"] = double(state.range(2));
  bench::reportMemory(state, double(size) * size * 2 * frames * 2);
}

// What the process's lock adds to each image: a run takes it, with its
// camera selected, twice per image (before the wait in the driver and for
// the read). Timed alone, uncontended, for its share of corvid/acquisition.
void cameraSelection(benchmark::State &state) {
  andorSimReset();
  andorSimAddCamera(cameraHandle, 8, 8);
  HANDLE lock = openAndorCameraLock();
  for (auto _ : state) {
    AndorCameraSelection selected(lock, cameraHandle);
    benchmark::ClobberMemory();
  }
  if (lock != nullptr) CloseHandle(lock);
  andorSimReset();
  state.SetItemsProcessed(int64_t(state.iterations()));
}

} // namespace

BENCHMARK(cameraSelection)->Name("corvid/camera_selection");
BENCHMARK(acquisition)->Name("corvid/acquisition")->Args({2560, 2160})->Args({64, 64})->UseManualTime();
// 64 x 64 at 1,000 images/s each, well within what corvid keeps up with
// alone (its fixed cost is some 40 us a frame): a hold-up between the
// cameras, not the machine's speed, is what would lower a rate.
BENCHMARK(twoCameras)->Name("corvid/two_cameras")->Args({64, 2000, 1000})->Iterations(1)->UseManualTime();

BENCHMARK_MAIN();
