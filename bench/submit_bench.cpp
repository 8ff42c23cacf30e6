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
//
// The camera shows a still picture: each frame's fill is one copy of it,
// not the simulator's drawing of a moving scene, which is no part of the
// path (and whose streaming through the caches would change the figures).
// At 2048 x 2048 the figure is set against one bare memcpy of the frame,
// measured in blocks beside it: handing the frame over uncopied should cost
// a small fraction of that copy.
//
// A stream, as MATLAB code runs one: a first call queues K frames and every
// callback queues the next one, so K frames are out at once for as long as
// it lasts. Its memory must stay near those K frames however many go by; its
// pace is set beside the camera's own, the same frames streamed by the bare
// driver with no library and no MATLAB.
#include "bench_support.h"
#include "matlab_session.h"
#include "qcam_sim_control.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int32_t cameraHandle = 200;
constexpr int framesPerSubmit = 16;
constexpr size_t largeFillBytes = size_t(2048) * 2048 * 2;
// Long enough for a set kept per frame to show as gigabytes.
constexpr int64_t streamFrames = 1000;
std::string mexDir = MEX_DIR; // made absolute before main leaves the start folder

void completionToCallback(benchmark::State &state) {
  const uint32_t width = uint32_t(state.range(0)), height = uint32_t(state.range(1));
  const bool stirCaches = state.range(2) != 0;
  std::vector<uint8_t> stirFrom, stirTo;
  if (stirCaches) {
    stirFrom = bench::touchedBuffer(largeFillBytes, 3);
    stirTo = bench::touchedBuffer(largeFillBytes);
  }
  const size_t frameBytes = size_t(width) * height * 2;
  std::vector<uint8_t> copyFrom = bench::touchedBuffer(frameBytes, 3),
                       copyTo = bench::touchedBuffer(frameBytes);
  bench::BlockedBaseline oneCopy("one_memcpy", [&] {
    return bench::timed([&] {
      std::memcpy(copyTo.data(), copyFrom.data(), frameBytes);
      benchmark::ClobberMemory();
    });
  });
  qcamSimReset();
  qcamSimSetFreeRunning(0);
  qcamSimAddCamera(cameraHandle, "QSIM0200", width, height, 16);
  qcamSimSetStillPicture(cameraHandle, 1);
  {
    mexhost::Session session;
    session.setSharingChecks(false); // time the libraries, not the stand-in's checks
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
      oneCopy.addFigure(took);
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
    oneCopy.report(state);
    session.close();
  }
  qcamSimReset();
  state.SetItemsProcessed(int64_t(state.iterations()));
  bench::reportMemory(state, double(width) * height * 2 * framesPerSubmit);
}

#if !defined(_WIN32)
// The kernel's high-water mark of the process's resident memory (VmHWM).
double highWaterMark() {
  double kilobytes = 0;
  if (std::FILE *status = std::fopen("/proc/self/status", "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, status) != nullptr)
      if (std::sscanf(line, "VmHWM: %lf kB", &kilobytes) == 1) break;
    std::fclose(status);
  }
  return kilobytes * 1024.0;
}

// Sets the high-water mark back to the resident memory of now.
bool resetHighWaterMark() {
  std::FILE *clearRefs = std::fopen("/proc/self/clear_refs", "w");
  if (clearRefs == nullptr) return false;
  const bool written = std::fputs("5", clearRefs) >= 0;
  return std::fclose(clearRefs) == 0 && written && highWaterMark() > 0;
}
#endif

// Peak resident memory over spans of the run. Linux lets a process reset
// its high-water mark, so there each span's peak is the kernel's own.
// Windows keeps only the peak since the process started, so there only the
// whole stream's peak is known, as the process's: each benchmark runs in a
// process of its own, and nothing before the stream comes near it.
class SpanPeak {
public:
  // False where a span's peak cannot be told apart from the process's.
  bool restart() {
#if !defined(_WIN32)
    exact_ = resetHighWaterMark();
#endif
    return exact_;
  }
  double peak() const {
#if !defined(_WIN32)
    if (exact_) return highWaterMark();
#endif
    return bench::peakResidentBytes();
  }
  static double processPeak() {
#if !defined(_WIN32)
    if (const double mark = highWaterMark(); mark > 0) return mark;
#endif
    return bench::peakResidentBytes();
  }

private:
  bool exact_ = false;
};

size_t keptBySubmitBuffers(const mexhost::Session &session) {
  for (const mexhost::LibraryMemory &library : session.memory())
    if (library.library == "submitBuffers" && library.loaded) return library.persistent.bytes;
  return 0;
}

// The images under way always match the frames out: one more image for
// every frame back, so each image finds its frame queued (an image with none
// is lost) and the driver never waits for MATLAB's thread to ask for one.
int64_t produceUpTo(int64_t wanted, int64_t produced) {
  if (wanted <= produced) return produced;
  if (qcamSimProduceImages(cameraHandle, int32_t(wanted - produced)) != int32_t(wanted - produced))
    throw std::runtime_error("an image found no frame queued for it");
  return wanted;
}

// The stream through the library: submitBuffers(camera, callback, K), then
// submitBuffers(camera, callback, 1) from each callback. Each iteration is
// one frame; its time runs from the previous frame's callback to its own.
//
// Its memory figures hold only in a process of its own, as
// run-benchmarks.sh runs it: whether a new frame's matrix is resident before
// the camera fills it depends on where the allocator finds it (fresh pages
// of the system, or a heap an earlier benchmark left behind, which calloc
// must clear), so after another benchmark the same stream reads from 0.1 to
// 2 times its frames. What the library itself keeps is counted apart
// (kept_*), which no allocator changes.
void stream(benchmark::State &state) {
  const uint32_t width = uint32_t(state.range(0)), height = uint32_t(state.range(1));
  const int64_t framesOut = state.range(2);
  const int64_t frames = streamFrames;
  const double framesOutBytes = double(width) * height * 2 * double(framesOut);
  qcamSimReset();
  qcamSimSetFreeRunning(0);
  qcamSimAddCamera(cameraHandle, "QSIM0200", width, height, 16);
  qcamSimSetStillPicture(cameraHandle, 1);
  SpanPeak peak;
  int64_t delivered = 0, misdelivered = 0, refused = 0;
  std::string refusal;
  double before = 0, processPeakBefore = 0, startPeak = 0, steadyPeak = 0, wholePeak = 0, afterDrain = 0;
  bool spansKnown = false;
  size_t keptAfterFirstSet = 0, keptAtEnd = 0, keptHighest = 0, keptDrained = 0;
  double lookingSeconds = 0;
  {
    mexhost::Session session;
    session.setSharingChecks(false); // time the libraries, not the stand-in's checks
    session.addPath(mexDir);
    const mexhost::Value camera =
        session.object("QCamCamera", {{"cameraHandle", session.int32(cameraHandle)}});
    const mexhost::Value one = session.number(1), firstCount = session.number(double(framesOut));
    mexhost::Value requeueing;
    requeueing = session.functionHandle([&](const std::vector<const mxArray *> &args, int) {
      ++delivered;
      // The driver stamps each image's number in its first pixel: a frame
      // lost, repeated or handed over in another's matrix shows here.
      const mxArray *frame = args.size() > 1 ? mxGetField(args[1], 0, "frameData") : nullptr;
      const uint16_t *pixels = frame != nullptr ? static_cast<const uint16_t *>(mxGetData(frame)) : nullptr;
      if (pixels == nullptr || pixels[0] != uint16_t(delivered)) ++misdelivered;
      if (delivered <= frames) {
        const mexhost::CallResult result = session.call("submitBuffers", {camera, requeueing, one}, 0);
        if (!result.ok) {
          ++refused;
          refusal = result.errorMessage;
        }
        // Where the library's frames peak; the looking is left out of the
        // frame's time.
        const bench::Clock::time_point lookStart = bench::Clock::now();
        keptHighest = std::max(keptHighest, keptBySubmitBuffers(session));
        lookingSeconds += bench::seconds(bench::Clock::now() - lookStart);
      }
      return std::vector<mexhost::Value>{};
    });

    processPeakBefore = SpanPeak::processPeak();
    before = bench::residentBytes();
    spansKnown = peak.restart();
    const mexhost::CallResult first = session.call("submitBuffers", {camera, requeueing, firstCount}, 0);
    if (!first.ok) throw std::runtime_error(first.errorMessage);
    session.clearCommandWindow();
    int64_t produced = produceUpTo(framesOut, 0), frame = 0;
    bench::Clock::time_point mark = bench::Clock::now();
    for (auto _ : state) {
      ++frame;
      if (!session.runUntil([&] { return delivered >= frame; }, std::chrono::seconds(10)))
        throw std::runtime_error("frame " + std::to_string(frame) + " never reached its callback");
      session.clearCommandWindow(); // the library prints at every call; the host would keep it all
      produced = produceUpTo(delivered + framesOut, produced);
      const bench::Clock::time_point now = bench::Clock::now();
      state.SetIterationTime(bench::seconds(now - mark) - lookingSeconds);
      mark = now;
      lookingSeconds = 0;
      if (frame == framesOut) {
        // The first call's set has just been freed: from here on only
        // single-frame sets are out.
        keptAfterFirstSet = keptBySubmitBuffers(session);
        startPeak = peak.peak();
        peak.restart();
        mark = bench::Clock::now();
      }
    }
    steadyPeak = peak.peak();
    wholePeak = spansKnown ? std::max(startPeak, steadyPeak) : steadyPeak;
    keptAtEnd = keptBySubmitBuffers(session);

    // The frames still out come back without queueing more.
    if (!session.runUntil([&] { return delivered >= frames + framesOut; }, std::chrono::seconds(10)))
      throw std::runtime_error("the last frames never came back");
    session.pumpMessages();
    session.clearCommandWindow();
    keptDrained = keptBySubmitBuffers(session);
    afterDrain = bench::residentBytes();
    session.close();
  }
  QCamSimCounters counters{};
  qcamSimGetCounters(cameraHandle, &counters);
  qcamSimReset();
  if (refused > 0) throw std::runtime_error("a re-queue was refused: " + refusal);
  if (misdelivered > 0 || counters.lost > 0 || counters.failed > 0)
    throw std::runtime_error(std::to_string(misdelivered) + " frames out of order, " +
                             std::to_string(counters.lost) + " images lost, " +
                             std::to_string(counters.failed) + " frames failed");

  state.SetItemsProcessed(frames);
  state.counters["frames_out"] = double(framesOut);
  state.counters["frames_out_ratio"] = (wholePeak - before) / framesOutBytes;
  if (spansKnown) state.counters["after_first_set_ratio"] = (steadyPeak - before) / framesOutBytes;
  state.counters["stream_peak_rss_MB"] = wholePeak / 1e6;
  state.counters["rss_before_MB"] = before / 1e6;
  state.counters["rss_after_drain_MB"] = afterDrain / 1e6;
  state.counters["kept_after_first_set_MB"] = double(keptAfterFirstSet) / 1e6;
  state.counters["kept_at_end_MB"] = double(keptAtEnd) / 1e6;
  state.counters["kept_highest_MB"] = double(keptHighest) / 1e6;
  state.counters["kept_drained_MB"] = double(keptDrained) / 1e6;
  state.counters["kept_grew"] = keptAtEnd > keptAfterFirstSet ? 1 : 0;
  // The process's peak, as the other benchmarks report it: resetting the
  // high-water mark for the spans hides what came before them from
  // ru_maxrss, so it is put back together here.
  state.counters["peak_rss_MB"] = std::max(processPeakBefore, wholePeak) / 1e6;
  state.counters["frames_MB"] = framesOutBytes / 1e6;
}

// The camera alone: the same frames streamed by the driver into K buffers
// of the program's own, each queued again from its completion routine on
// the driver's thread, with no library and no MATLAB in the way.
struct CameraAlone {
  std::vector<std::vector<uint8_t>> buffers;
  std::vector<QCamFrameRecord> records;
  int64_t frames = 0;
  std::atomic<int64_t> completed{0};
  std::atomic<int64_t> misdelivered{0}, refused{0};
};

void WINAPI requeueAlone(void *context, uint32_t index, int32_t error, uint32_t) {
  CameraAlone &alone = *static_cast<CameraAlone *>(context);
  const int64_t done = alone.completed.load() + 1; // only the driver's thread counts
  uint16_t stamp = 0;
  std::memcpy(&stamp, alone.buffers[index].data(), sizeof stamp);
  if (error != QCAM_STATUS_SUCCESS || stamp != uint16_t(done)) ++alone.misdelivered;
  alone.completed.store(done);
  if (done > alone.frames) return;
  QCamFrameRecord &record = alone.records[index];
  std::memset(record.driverFields, 0, sizeof record.driverFields);
  if (qcamQueueBuffer(cameraHandle, &record, requeueAlone, QCAM_CALLBACK_ON_FRAME_DONE, context, index) !=
      QCAM_STATUS_SUCCESS)
    ++alone.refused;
}

void cameraAlone(benchmark::State &state) {
  const uint32_t width = uint32_t(state.range(0)), height = uint32_t(state.range(1));
  const int64_t framesOut = state.range(2);
  const size_t frameBytes = size_t(width) * height * 2;
  qcamSimReset();
  qcamSimSetFreeRunning(0);
  qcamSimAddCamera(cameraHandle, "QSIM0200", width, height, 16);
  qcamSimSetStillPicture(cameraHandle, 1);
  CameraAlone alone;
  alone.frames = streamFrames;
  for (int64_t j = 0; j < framesOut; ++j) alone.buffers.push_back(bench::touchedBuffer(frameBytes, 0));
  alone.records.resize(size_t(framesOut));
  for (int64_t j = 0; j < framesOut; ++j) {
    QCamFrameRecord &record = alone.records[size_t(j)];
    record = QCamFrameRecord{};
    record.bufferAddress = alone.buffers[size_t(j)].data();
    record.bufferLength = uint32_t(frameBytes);
    if (qcamQueueBuffer(cameraHandle, &record, requeueAlone, QCAM_CALLBACK_ON_FRAME_DONE, &alone,
                        uint32_t(j)) != QCAM_STATUS_SUCCESS)
      throw std::runtime_error("the driver refused a frame");
  }
  int64_t produced = produceUpTo(framesOut, 0), frame = 0;
  bench::Clock::time_point mark = bench::Clock::now();
  for (auto _ : state) {
    ++frame;
    if (qcamSimWaitForCompletions(uint64_t(frame), 10000) != 1)
      throw std::runtime_error("frame " + std::to_string(frame) + " never completed");
    produced = produceUpTo(frame + framesOut, produced);
    const bench::Clock::time_point now = bench::Clock::now();
    state.SetIterationTime(bench::seconds(now - mark));
    mark = now;
  }
  const bool drained = qcamSimWaitForCompletions(uint64_t(alone.frames + framesOut), 10000) == 1;
  qcamSimReset();
  if (!drained) throw std::runtime_error("the last frames never came back");
  if (alone.refused > 0 || alone.misdelivered > 0)
    throw std::runtime_error(std::to_string(alone.misdelivered.load()) + " frames out of order, " +
                             std::to_string(alone.refused.load()) + " refused");
  state.SetItemsProcessed(alone.frames);
  bench::reportMemory(state, double(frameBytes) * double(framesOut));
}

} // namespace

// Fixed counts: each frame's fill by the driver is outside the figure but
// not outside the run, and at 2048 x 2048 it is a hundred times the figure.
BENCHMARK(completionToCallback)
    ->Name("submitBuffers/completion_to_callback")
    ->Args({64, 64, 0})
    ->Iterations(2000)
    ->UseManualTime();
BENCHMARK(completionToCallback)
    ->Name("submitBuffers/completion_to_callback")
    ->Args({2048, 2048, 0})
    ->Iterations(400)
    ->UseManualTime();
BENCHMARK(completionToCallback)
    ->Name("submitBuffers/completion_to_callback_after_16MB_moved")
    ->Args({64, 64, 1})
    ->Iterations(400)
    ->UseManualTime();
// One iteration per frame of the stream, 8 frames out at once.
BENCHMARK(stream)
    ->Name("submitBuffers/stream")
    ->Args({2048, 2048, 8})
    ->Iterations(streamFrames)
    ->UseManualTime();
BENCHMARK(cameraAlone)
    ->Name("submitBuffers/stream_camera_alone")
    ->Args({2048, 2048, 8})
    ->Iterations(streamFrames)
    ->UseManualTime();

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
