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
//
// A disk slower than the camera: the same run, the camera at 100 images/s,
// into a sink that takes pages no faster than 50 a second. Frames wait in
// the toolbox engine up to its frame memory limit (acquire's --memory,
// 256 MB by default) and those that come while it is full are dropped, so
// the resident memory grows by the limit and a few frames, not by the run.
// The figure is the peak resident memory less that when the first page was
// written (the driver's ring, corvid's buffer and the first frame already
// there), against the limit.
//
// The camera shows a still picture: each image is one copy into the
// driver's ring, not the simulator's drawing of a scene, which is no part
// of the path.
#include "acquisition.h"
#include "andor_sim_control.h"
#include "bench_support.h"
#include "imaqkit_engine.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

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
  andorSimSetStillPicture(cameraHandle, 1);
  andorSimSetFreeRunning(1);
}

constexpr double framePixels = double(width) * height;

// What a throttled sink saw of its pages.
struct DiskFigures {
  double residentAtFirstPage = 0;
  std::uint64_t pages = 0, gaps = 0, outOfOrder = 0;
  std::uint32_t lastImage = 0;
};

// Pages that go nowhere, each no sooner than its place on a schedule of
// pagesPerSecond from the first; the image number each page holds, to count
// the gaps; the resident memory when the first page came.
class ThrottledSink : public acquire::ByteSink {
public:
  ThrottledSink(double pagesPerSecond, DiskFigures &figures)
      : period_(1.0 / pagesPerSecond), seen_(figures) {}
  void write(std::uint64_t, const void *bytes, std::size_t size) override {
    if (double(size) != framePixels * 2) return;
    const auto now = bench::Clock::now();
    if (seen_.pages == 0) {
      start_ = now;
      seen_.residentAtFirstPage = bench::residentBytes();
    } else {
      std::this_thread::sleep_until(start_ +
                                    std::chrono::duration_cast<bench::Clock::duration>(
                                        std::chrono::duration<double>(period_ * double(seen_.pages))));
    }
    std::uint16_t stamp[2];
    std::memcpy(stamp, bytes, sizeof stamp);
    const std::uint32_t image = std::uint32_t(stamp[0]) | std::uint32_t(stamp[1]) << 16;
    if (seen_.pages > 0) {
      if (image <= seen_.lastImage)
        ++seen_.outOfOrder;
      else
        seen_.gaps += image - seen_.lastImage - 1;
    }
    seen_.lastImage = image;
    ++seen_.pages;
  }
  void close() override {}
  const std::string &name() const override { return name_; }

private:
  std::string name_ = "(throttled)";
  double period_;
  bench::Clock::time_point start_{};
  DiskFigures &seen_;
};

// The number after label in text, or -1.
double figureAfter(const std::string &text, const std::string &label) {
  const std::size_t at = text.find(label);
  return at == std::string::npos ? -1 : std::atof(text.c_str() + at + label.size());
}

std::string textOf(std::FILE *file) {
  std::string text;
  if (file == nullptr) return text;
  std::rewind(file);
  char buffer[512];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, got);
  return text;
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

void diskBoundRun(benchmark::State &state) {
  const auto frames = uint32_t(state.range(0));
  const double cameraRate = double(state.range(1)), diskRate = double(state.range(2));
  const double frameBytes = framePixels * 2;
  acquire::Options options;
  options.frames = frames;
  options.exposure = 0.001;
  options.timeout = 30;
  options.out = (std::filesystem::temp_directory_path() / "acquire_bench_disk_bound").string();
  options.overwrite = true;
  double took = 0;
  DiskFigures disk;
  std::string report;
  std::uint64_t lostInRing = 0;
  for (auto _ : state) {
    freeRunningCamera();
    andorSimSetFramePeriod(cameraHandle, 1.0 / cameraRate);
    disk = DiskFigures();
    {
      imaqkit::AdaptorLibrary corvid(CORVID_FILE);
      std::FILE *out = std::tmpfile();
      took = bench::timed([&] {
        acquire::acquireFrames(corvid, options, out, nullptr, [&](const std::string &) {
          return std::unique_ptr<acquire::ByteSink>(std::make_unique<ThrottledSink>(diskRate, disk));
        });
      });
      report = textOf(out);
      if (out != nullptr) std::fclose(out);
    }
    AndorSimCameraState camera{};
    andorSimGetCamera(cameraHandle, &camera);
    lostInRing = camera.counters.lost;
    andorSimReset();
    state.SetIterationTime(took);
  }
  std::error_code ignored;
  std::filesystem::remove_all(options.out, ignored);
  // Every gap is a frame dropped while the disk was behind, one the toolbox
  // wanted and never got, or an image the driver's ring let go unread; the
  // ring may also have let images go after the last frame, which leave no
  // gap: 0 <= gaps_from_ring <= images_lost_in_ring.
  const double droppedBehind =
      std::max(0.0, figureAfter(report, "frames dropped while the disk was behind: "));
  const double droppedBefore = figureAfter(report, "frames dropped: ");
  state.counters["dropped_disk_behind"] = droppedBehind;
  state.counters["dropped_before_engine"] = droppedBefore;
  state.counters["images_lost_in_ring"] = double(lostInRing);
  state.counters["gaps_from_ring"] = double(disk.gaps) - droppedBehind - droppedBefore;
  const double limit = double(options.memory);
  const double growth = bench::peakResidentBytes() - disk.residentAtFirstPage;
  state.counters["frames"] = frames;
  state.counters["camera_fps"] = cameraRate;
  state.counters["disk_pages_per_s"] = diskRate;
  state.counters["frame_MB"] = frameBytes / 1e6;
  state.counters["limit_MB"] = limit / 1e6;
  state.counters["rss_at_first_page_MB"] = disk.residentAtFirstPage / 1e6;
  state.counters["peak_growth_MB"] = growth / 1e6;
  // The growth past the limit, in frames: the target is at most 4.
  state.counters["growth_over_limit_frames"] = (growth - limit) / frameBytes;
  state.counters["pages"] = double(disk.pages);
  state.counters["gaps_in_image_numbers"] = double(disk.gaps);
  state.counters["pages_out_of_order"] = double(disk.outOfOrder);
  bench::reportMemory(state, limit);
}

} // namespace

BENCHMARK(streamedRun)
    ->Name("acquire/streamed_run")
    ->Args({200})
    ->Args({2000})
    ->Iterations(1)
    ->UseManualTime();
BENCHMARK(droppedRun)->Name("acquire/baseline_frames_dropped")->Args({2000})->Iterations(1)->UseManualTime();
// 300 frames, the camera at 100 images/s, the disk at 50 pages/s.
BENCHMARK(diskBoundRun)->Name("acquire/disk_bound_run")->Args({300, 100, 50})->Iterations(1)->UseManualTime();
