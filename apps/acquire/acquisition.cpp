#include "acquisition.h"

#include "png_writer.h"
#include "preview.h"
#include "progress.h"
#include "recording.h"
#include "timing.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace acquire {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string describeDevices(const std::vector<imaqkit::DeviceInfo> &devices) {
  if (devices.empty()) return "the adaptor reports no device";
  std::string ids;
  for (const imaqkit::DeviceInfo &device : devices)
    ids += (ids.empty() ? "" : ", ") + std::to_string(device.id);
  return "the adaptor reports device" + std::string(devices.size() > 1 ? "s " : " ") + ids;
}

fs::path prepareFolder(const std::string &folder) {
  const fs::path path(folder);
  std::error_code error;
  fs::create_directories(path, error);
  if (error) throw Failure("cannot make the folder " + folder + ": " + error.message());
  if (!fs::is_directory(path, error)) throw Failure(folder + " is not a folder");
  return path;
}

// The pictures of an earlier run are data too: replaced only when asked.
// When they are, the old preview goes at once, so that a run that ends
// with no frame leaves no picture of another run behind.
void claimFiles(const std::vector<fs::path> &files, bool overwrite) {
  std::error_code error;
  for (const fs::path &file : files) {
    if (!fs::exists(file, error)) continue;
    if (!overwrite) throw Failure(file.string() + " exists already (--overwrite replaces it)");
    if (!fs::is_regular_file(file, error)) throw Failure(file.string() + " is not a file");
    fs::remove(file, error);
    if (error) throw Failure("cannot replace " + file.string() + ": " + error.message());
  }
}

std::string framesOf(std::uint32_t written, std::uint32_t planned) {
  return "wrote " + std::to_string(written) + " of " + std::to_string(planned) + " frames";
}

std::string seconds(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// One camera of the run: its device object, its pictures, and how its
// acquisition went.
struct Camera {
  std::int32_t id = 0;
  std::string name;
  std::string prefix; // "camera <id>: " on every line of a run of several
  std::string tiffFile, pngFile;
  std::unique_ptr<imaqkit::VideoInput> vid;
  std::int32_t width = 0, height = 0;
  double patience = 0;
  std::unique_ptr<Recording> recording;

  bool running = false, timedOut = false;
  Clock::time_point started, lastFrame;
  double wall = 0;
  imaqkit::AcquisitionStats stats;
  std::string failure;  // why the run fell short; empty when it did not
  bool figures = false; // the end-of-run figures are there to print
  Stretch stretch;
};

void takeFrames(Camera &camera, std::vector<imaqkit::Frame> frames) {
  for (imaqkit::Frame &frame : frames) camera.recording->add(std::move(frame));
  if (!frames.empty()) camera.lastFrame = Clock::now();
}

// The frames buffered now, taken and written one at a time: those not yet
// written stay in the engine, whose frame memory limit bounds them while
// the disk is slower than the camera.
void writeBuffered(Camera &camera) {
  for (std::size_t waiting = camera.vid->framesAvailable(); waiting > 0; --waiting)
    takeFrames(camera, camera.vid->getFrames(1));
}

// The toolbox's frame memory limit for the run, and back as it was after.
class MemoryLimit {
public:
  explicit MemoryLimit(std::uint64_t bytes) : before_(imaqkit::frameMemoryLimit()) {
    imaqkit::setFrameMemoryLimit(bytes);
  }
  ~MemoryLimit() { imaqkit::setFrameMemoryLimit(before_); }
  MemoryLimit(const MemoryLimit &) = delete;
  MemoryLimit &operator=(const MemoryLimit &) = delete;

private:
  std::uint64_t before_;
};

std::string megabytes(double bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3g", bytes / double(bytesPerMB));
  return text;
}

// The camera's run is over: stop it, keep what it still holds, and write
// its preview while the other cameras go on.
void finish(Camera &camera, std::uint32_t planned) {
  camera.running = false;
  camera.wall = secondsSince(camera.started);
  try {
    camera.vid->stop();
    // A frame handed over between the last look and the stop is data as well.
    for (std::size_t waiting = camera.vid->framesAvailable();
         waiting > 0 && camera.recording->frames() < planned; --waiting)
      takeFrames(camera, camera.vid->getFrames(1));
  } catch (const std::exception &error) {
    if (camera.failure.empty()) camera.failure = error.what();
  }
  // After the close, which waits for the acquisition thread: a stop alone
  // can leave the last frame delivered but not yet counted.
  try {
    camera.vid->close();
  } catch (const std::exception &error) {
    if (camera.failure.empty()) camera.failure = error.what();
  }
  camera.stats = camera.vid->stats();
  try {
    camera.recording->close();
  } catch (const std::exception &error) {
    if (camera.failure.empty()) camera.failure = error.what();
  }
  const std::uint32_t written = camera.recording->frames();
  if (written == 0) {
    std::error_code ignored;
    fs::remove(camera.tiffFile, ignored);
  }
  // A run that broke (a write that failed, a camera that would not start)
  // says so alone; its pages so far stay in the file.
  if (!camera.failure.empty()) return;
  if (written == 0) {
    // Images read without a frame are the driver failing its reads.
    const std::uint64_t images = camera.stats.imagesCounted;
    const std::string what = images == 0
                                 ? "the camera sent no image"
                                 : "the adaptor read " + std::to_string(images) +
                                       (images == 1 ? " image" : " images") + " and made no frame of any";
    camera.failure = (camera.timedOut ? "no frame came within " + seconds(camera.patience) + " s"
                                      : std::string("the acquisition ended without a frame")) +
                     ": " + what;
    return;
  }

  try {
    Recording &recording = *camera.recording;
    const std::uint16_t *last = recording.lastPixels();
    const std::size_t count = std::size_t(recording.lastWidth()) * std::size_t(recording.lastHeight());
    camera.stretch = stretchOf(last, count);
    const std::vector<std::uint8_t> preview = toEightBits(last, count, camera.stretch);
    writePng(camera.pngFile, preview.data(), std::uint32_t(recording.lastWidth()),
             std::uint32_t(recording.lastHeight()));
  } catch (const std::exception &error) {
    camera.failure = error.what();
    return;
  }
  camera.figures = true;
  if (camera.timedOut)
    camera.failure = "no frame came within " + seconds(camera.patience) + " s: " + framesOf(written, planned);
  else if (written < planned)
    camera.failure = "the acquisition ended early: " + framesOf(written, planned);
}

void printFigures(const Camera &camera, std::uint32_t planned, std::FILE *out) {
  const Recording &recording = *camera.recording;
  const std::uint32_t written = recording.frames();
  const char *prefix = camera.prefix.c_str();
  const TimestampSpread spread = spreadOf(recording.stamps());
  const imaqkit::AcquisitionStats &stats = camera.stats;
  std::fprintf(out, "%sframes acquired: %u of %u\n", prefix, static_cast<unsigned>(written),
               static_cast<unsigned>(planned));
  std::fprintf(out, "%sframes per second: %.2f (from the timestamps; %.2f by the wall clock)\n", prefix,
               spread.framesPerSecond, camera.wall > 0 ? double(written) / camera.wall : 0.0);
  const std::uint64_t delivered = stats.framesDelivered + stats.framesOverMemoryLimit;
  std::fprintf(out, "%sframes dropped: %llu (images read by the adaptor: %llu)\n", prefix,
               static_cast<unsigned long long>(stats.framesWanted - std::min(stats.framesWanted, delivered)),
               static_cast<unsigned long long>(stats.imagesCounted));
  if (stats.framesOverMemoryLimit > 0)
    std::fprintf(out, "%sframes dropped while the disk was behind: %llu\n", prefix,
                 static_cast<unsigned long long>(stats.framesOverMemoryLimit));
  std::fprintf(out,
               "%stimestamps: first to last %.6f s; interval mean %.3f ms, min %.3f ms, max %.3f ms, "
               "std dev %.3f ms\n",
               prefix, spread.span, spread.meanInterval * 1e3, spread.minInterval * 1e3,
               spread.maxInterval * 1e3, spread.stddevInterval * 1e3);
  std::fprintf(out, "%swrote %s (%u pages of %d x %d, 16-bit%s)\n", prefix, camera.tiffFile.c_str(), written,
               static_cast<int>(camera.width), static_cast<int>(camera.height),
               recording.tiff().format() == TiffWriter::Format::big ? ", BigTIFF" : "");
  std::fprintf(out, "%swrote %s (last frame, %u..%u stretched to 0..255)\n", prefix, camera.pngFile.c_str(),
               unsigned(camera.stretch.low), unsigned(camera.stretch.high));
}

} // namespace

void acquireFrames(imaqkit::AdaptorLibrary &library, const Options &options, std::FILE *out,
                   std::FILE *progressStream, const SinkMaker &makeSink) {
  const std::vector<imaqkit::DeviceInfo> devices = library.enumerate();
  const bool several = options.devices.size() > 1;
  std::vector<Camera> cameras(options.devices.size());
  // Every refusal comes before any camera starts: a run of several does all
  // it was asked or none of it.
  for (std::size_t i = 0; i < cameras.size(); ++i) {
    Camera &camera = cameras[i];
    camera.id = options.devices[i];
    const auto device = std::find_if(devices.begin(), devices.end(),
                                     [&](const imaqkit::DeviceInfo &d) { return d.id == camera.id; });
    if (device == devices.end())
      throw Failure("no device " + std::to_string(camera.id) + ": " + describeDevices(devices));
    camera.name = device->name;
    if (several) camera.prefix = "camera " + std::to_string(camera.id) + ": ";
  }
  for (Camera &camera : cameras) {
    const fs::path folder = prepareFolder(
        several ? (fs::path(options.out) / ("camera" + std::to_string(camera.id))).string() : options.out);
    camera.tiffFile = (folder / "frames.tif").string();
    camera.pngFile = (folder / "preview.png").string();
    claimFiles({camera.tiffFile, camera.pngFile}, options.overwrite);
  }

  for (Camera &camera : cameras) {
    camera.vid = library.createVideoInput(camera.id);
    camera.width = camera.vid->imageWidth();
    camera.height = camera.vid->imageHeight();
    if (camera.width <= 0 || camera.height <= 0)
      throw Failure("device " + std::to_string(camera.id) + " reports no image size");
    // A limit that holds no frame would drop every one.
    const std::uint64_t frameBytes = std::uint64_t(camera.width) * std::uint64_t(camera.height) * 2;
    if (options.memory < frameBytes)
      throw Failure(camera.prefix + "--memory " + megabytes(double(options.memory)) +
                    " MB holds no frame of " + std::to_string(camera.width) + " x " +
                    std::to_string(camera.height) + " pixels (" + megabytes(double(frameBytes)) + " MB)");
    // The frame count is known before the first frame, and so is whether the
    // file can stay a classic TIFF.
    const TiffWriter::Format format =
        TiffWriter::formatFor(options.frames, std::uint32_t(camera.width), std::uint32_t(camera.height),
                              Recording::longestDescription());
    try {
      if (options.exposure) camera.vid->set("Exposure", *options.exposure);
      camera.vid->set("FramesPerTrigger", double(options.frames));
    } catch (const imaqkit::Error &error) {
      throw Failure(camera.prefix + error.what());
    }
    const double exposure = camera.vid->number("Exposure");
    camera.patience = options.timeout.value_or(10.0 + 2.0 * exposure);

    std::unique_ptr<ByteSink> sink;
    try {
      sink = makeSink ? makeSink(camera.tiffFile) : std::make_unique<FileSink>(camera.tiffFile);
    } catch (const std::runtime_error &error) {
      throw Failure(error.what());
    }
    camera.recording = std::make_unique<Recording>(std::move(sink), format, options.frames);
    std::fprintf(out, "device %d (%s): %d x %d pixels, exposure %g s, %u frames\n",
                 static_cast<int>(camera.id), camera.name.c_str(), static_cast<int>(camera.width),
                 static_cast<int>(camera.height), exposure, options.frames);
  }
  std::fflush(out);

  const MemoryLimit memoryLimit(options.memory);

  std::vector<std::int32_t> ids;
  for (const Camera &camera : cameras) ids.push_back(camera.id);
  Progress progress(progressStream, options.frames, several ? ids : std::vector<std::int32_t>{});
  auto counts = [&] {
    std::vector<std::uint32_t> frames;
    for (const Camera &camera : cameras) frames.push_back(camera.recording->frames());
    return frames;
  };

  std::size_t running = 0;
  for (Camera &camera : cameras) {
    camera.started = camera.lastFrame = Clock::now();
    try {
      camera.vid->start();
      camera.running = true;
      ++running;
    } catch (const std::exception &error) {
      camera.failure = error.what();
      finish(camera, options.frames);
    }
  }
  progress.show(counts(), true);
  while (running > 0) {
    // One thread waits on every camera in turn, as a toolbox user's loop
    // does: a camera with frames buffered answers at once, and one without
    // holds up the others by its share of the tenth of a second.
    const auto share = std::chrono::milliseconds(std::max<std::size_t>(1, 100 / running));
    for (Camera &camera : cameras) {
      if (!camera.running) continue;
      try {
        camera.vid->waitForFrames(1, share);
        writeBuffered(camera);
        if (camera.recording->frames() < options.frames) {
          if (camera.vid->isRunning() || camera.vid->framesAvailable() > 0) {
            if (secondsSince(camera.lastFrame) <= camera.patience) continue;
            camera.timedOut = true;
          }
        }
      } catch (const std::exception &error) {
        camera.failure = error.what();
      }
      finish(camera, options.frames);
      --running;
    }
    progress.show(counts());
  }
  progress.show(counts(), true);
  progress.end();

  std::vector<std::string> failures;
  for (const Camera &camera : cameras) {
    if (camera.figures) printFigures(camera, options.frames, out);
    if (!camera.failure.empty()) failures.push_back(camera.prefix + camera.failure);
  }
  std::fflush(out);
  if (!failures.empty()) throw Failure(std::move(failures));
}

} // namespace acquire
