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

} // namespace

void acquireFrames(imaqkit::AdaptorLibrary &library, const Options &options, std::FILE *out,
                   std::FILE *progressStream, const SinkMaker &makeSink) {
  const std::vector<imaqkit::DeviceInfo> devices = library.enumerate();
  const auto device = std::find_if(devices.begin(), devices.end(),
                                   [&](const imaqkit::DeviceInfo &d) { return d.id == options.device; });
  if (device == devices.end())
    throw Failure("no device " + std::to_string(options.device) + ": " + describeDevices(devices));
  const fs::path folder = prepareFolder(options.out);
  const std::string tiffFile = (folder / "frames.tif").string();
  const std::string pngFile = (folder / "preview.png").string();
  claimFiles({tiffFile, pngFile}, options.overwrite);

  std::unique_ptr<imaqkit::VideoInput> vid = library.createVideoInput(options.device);
  const std::int32_t width = vid->imageWidth(), height = vid->imageHeight();
  if (width <= 0 || height <= 0)
    throw Failure("device " + std::to_string(options.device) + " reports no image size");
  // The frame count is known before the first frame, and so is whether the
  // file can stay a classic TIFF.
  const TiffWriter::Format format = TiffWriter::formatFor(
      options.frames, std::uint32_t(width), std::uint32_t(height), Recording::longestDescription());

  try {
    if (options.exposure) vid->set("Exposure", *options.exposure);
    vid->set("FramesPerTrigger", double(options.frames));
  } catch (const imaqkit::Error &error) {
    throw Failure(error.what());
  }
  const double exposure = vid->number("Exposure");
  const double patience = options.timeout.value_or(10.0 + 2.0 * exposure);

  std::unique_ptr<ByteSink> sink;
  try {
    sink = makeSink ? makeSink(tiffFile) : std::make_unique<FileSink>(tiffFile);
  } catch (const std::runtime_error &error) {
    throw Failure(error.what());
  }
  Recording recording(std::move(sink), format, options.frames);

  std::fprintf(out, "device %d (%s): %d x %d pixels, exposure %g s, %u frames\n",
               static_cast<int>(options.device), device->name.c_str(), static_cast<int>(width),
               static_cast<int>(height), exposure, options.frames);
  std::fflush(out);

  Progress progress(progressStream, options.frames);
  bool timedOut = false;
  const Clock::time_point started = Clock::now();
  Clock::time_point lastFrame = started;
  vid->start();
  progress.show(0, true);
  while (recording.frames() < options.frames) {
    vid->waitForFrames(1, std::chrono::milliseconds(100));
    std::vector<imaqkit::Frame> frames = vid->getFrames();
    for (imaqkit::Frame &frame : frames) recording.add(std::move(frame));
    if (!frames.empty()) lastFrame = Clock::now();
    progress.show(recording.frames());
    if (!vid->isRunning() && vid->framesAvailable() == 0) break;
    if (secondsSince(lastFrame) > patience) {
      timedOut = true;
      break;
    }
  }
  const double wall = secondsSince(started);
  vid->stop();
  // A frame handed over between the last look and the stop is data as well.
  for (imaqkit::Frame &frame : vid->getFrames(options.frames - recording.frames()))
    recording.add(std::move(frame));
  progress.show(recording.frames(), true);
  progress.end();
  // After the close, which waits for the acquisition thread: a stop alone
  // can leave the last frame delivered but not yet counted.
  vid->close();
  const imaqkit::AcquisitionStats stats = vid->stats();
  recording.close();

  const std::uint32_t written = recording.frames();
  if (written == 0) {
    std::error_code ignored;
    fs::remove(tiffFile, ignored);
    // Images read without a frame are the driver failing its reads.
    const std::string images = stats.imagesCounted == 0
                                   ? "the camera sent no image"
                                   : "the adaptor read " + std::to_string(stats.imagesCounted) +
                                         (stats.imagesCounted == 1 ? " image" : " images") +
                                         " and made no frame of any";
    throw Failure((timedOut ? "no frame came within " + seconds(patience) + " s"
                            : std::string("the acquisition ended without a frame")) +
                  ": " + images);
  }

  const TimestampSpread spread = spreadOf(recording.stamps());
  std::fprintf(out, "frames acquired: %u of %u\n", static_cast<unsigned>(written), options.frames);
  std::fprintf(out, "frames per second: %.2f (from the timestamps; %.2f by the wall clock)\n",
               spread.framesPerSecond, wall > 0 ? double(written) / wall : 0.0);
  std::fprintf(out, "frames dropped: %llu (images read by the adaptor: %llu)\n",
               static_cast<unsigned long long>(stats.framesWanted -
                                               std::min(stats.framesWanted, stats.framesDelivered)),
               static_cast<unsigned long long>(stats.imagesCounted));
  std::fprintf(out,
               "timestamps: first to last %.6f s; interval mean %.3f ms, min %.3f ms, max %.3f ms, "
               "std dev %.3f ms\n",
               spread.span, spread.meanInterval * 1e3, spread.minInterval * 1e3, spread.maxInterval * 1e3,
               spread.stddevInterval * 1e3);

  const std::uint16_t *last = recording.lastPixels();
  const std::size_t count = std::size_t(recording.lastWidth()) * std::size_t(recording.lastHeight());
  const Stretch stretch = stretchOf(last, count);
  const std::vector<std::uint8_t> preview = toEightBits(last, count, stretch);
  writePng(pngFile, preview.data(), std::uint32_t(recording.lastWidth()),
           std::uint32_t(recording.lastHeight()));
  std::fprintf(out, "wrote %s (%u pages of %d x %d, 16-bit%s)\n", tiffFile.c_str(), written,
               static_cast<int>(width), static_cast<int>(height),
               recording.tiff().format() == TiffWriter::Format::big ? ", BigTIFF" : "");
  std::fprintf(out, "wrote %s (last frame, %u..%u stretched to 0..255)\n", pngFile.c_str(),
               unsigned(stretch.low), unsigned(stretch.high));
  std::fflush(out);

  if (timedOut)
    throw Failure("no frame came within " + seconds(patience) + " s: " + framesOf(written, options.frames));
  if (written < options.frames)
    throw Failure("the acquisition ended early: " + framesOf(written, options.frames));
}

} // namespace acquire
