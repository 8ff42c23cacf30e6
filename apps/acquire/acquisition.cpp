#include "acquisition.h"

#include "png_writer.h"
#include "preview.h"
#include "tiff_writer.h"
#include "timing.h"

#include <algorithm>
#include <chrono>
#include <cstring>
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
  if (devices.empty())
    return "the adaptor reports no device";
  std::string ids;
  for (const imaqkit::DeviceInfo &device : devices)
    ids += (ids.empty() ? "" : ", ") + std::to_string(device.id);
  return "the adaptor reports device" + std::string(devices.size() > 1 ? "s " : " ") + ids;
}

fs::path prepareFolder(const std::string &folder) {
  const fs::path path(folder);
  std::error_code error;
  fs::create_directories(path, error);
  if (error)
    throw Failure("cannot make the folder " + folder + ": " + error.message());
  if (!fs::is_directory(path, error))
    throw Failure(folder + " is not a folder");
  return path;
}

std::vector<std::uint16_t> pixelsOf(const imaqkit::Frame &frame) {
  std::vector<std::uint16_t> pixels(std::size_t(frame.width) * std::size_t(frame.height));
  if (frame.bytesPerPixel == 2 && frame.bands == 1 && frame.bytes.size() == pixels.size() * 2)
    std::memcpy(pixels.data(), frame.bytes.data(), frame.bytes.size());
  else
    for (std::int32_t y = 0; y < frame.height; ++y)
      for (std::int32_t x = 0; x < frame.width; ++x)
        pixels[std::size_t(y) * std::size_t(frame.width) + std::size_t(x)] =
            std::uint16_t(frame.pixel(x, y));
  return pixels;
}

// One line, rewritten in place, at most ten times a second.
class Progress {
public:
  Progress(std::FILE *stream, std::uint32_t total) : stream_(stream), total_(total) {}
  void show(std::uint32_t frames, bool force = false) {
    if (stream_ == nullptr || (frames == frames_ && frames != 0) ||
        (!force && Clock::now() - shown_ < std::chrono::milliseconds(100)))
      return;
    shown_ = Clock::now();
    frames_ = frames;
    std::fprintf(stream_, "\racquiring: %u/%u frames (%3.0f%%)", frames, total_,
                 100.0 * frames / total_);
    std::fflush(stream_);
  }
  void end() {
    if (stream_ != nullptr)
      std::fprintf(stream_, "\n");
  }

private:
  std::FILE *stream_;
  std::uint32_t total_;
  std::uint32_t frames_ = 0;
  Clock::time_point shown_{};
};

} // namespace

bool acquireFrames(imaqkit::AdaptorLibrary &library, const Options &options, std::FILE *out,
                   std::FILE *progressStream) {
  const std::vector<imaqkit::DeviceInfo> devices = library.enumerate();
  const auto device = std::find_if(devices.begin(), devices.end(), [&](const imaqkit::DeviceInfo &d) {
    return d.id == options.device;
  });
  if (device == devices.end())
    throw Failure("no device " + std::to_string(options.device) + ": " + describeDevices(devices));
  const fs::path folder = prepareFolder(options.out);
  const std::string tiffFile = (folder / "frames.tif").string();
  const std::string pngFile = (folder / "preview.png").string();

  std::unique_ptr<imaqkit::VideoInput> vid = library.createVideoInput(options.device);
  const std::int32_t width = vid->imageWidth(), height = vid->imageHeight();
  if (width <= 0 || height <= 0)
    throw Failure("device " + std::to_string(options.device) + " reports no image size");
  const std::string sampleDescription = "frame 1000000 of 1000000, time 1000000.000000 s";
  if (8 + TiffWriter::pageBytes(std::uint32_t(width), std::uint32_t(height), sampleDescription) *
              options.frames > TiffWriter::maxFileBytes)
    throw Failure(std::to_string(options.frames) + " frames of " + std::to_string(width) + " x " +
                  std::to_string(height) + " pixels would pass the 4 GB a TIFF can hold");
  TiffWriter tiff(tiffFile);

  try {
    if (options.exposure)
      vid->set("Exposure", *options.exposure);
    vid->set("FramesPerTrigger", double(options.frames));
  } catch (const imaqkit::Error &error) {
    throw Failure(error.what());
  }
  const double exposure = vid->number("Exposure");
  const double patience = options.timeout.value_or(10.0 + 2.0 * exposure);

  std::fprintf(out, "device %d (%s): %d x %d pixels, exposure %g s, %u frames\n",
               static_cast<int>(options.device), device->name.c_str(), static_cast<int>(width),
               static_cast<int>(height), exposure, options.frames);
  std::fflush(out);

  Progress progress(progressStream, options.frames);
  std::vector<double> stamps;
  std::vector<std::uint16_t> last;
  std::int32_t lastWidth = 0, lastHeight = 0;
  bool timedOut = false;
  const Clock::time_point started = Clock::now();
  Clock::time_point lastFrame = started;
  vid->start();
  progress.show(0, true);
  while (stamps.size() < options.frames) {
    vid->waitForFrames(1, std::chrono::milliseconds(100));
    const std::vector<imaqkit::Frame> frames = vid->getFrames();
    for (const imaqkit::Frame &frame : frames) {
      last = pixelsOf(frame);
      lastWidth = frame.width;
      lastHeight = frame.height;
      stamps.push_back(frame.time);
      char description[96];
      std::snprintf(description, sizeof description, "frame %u of %u, time %.6f s",
                    static_cast<unsigned>(stamps.size()), options.frames, frame.time);
      tiff.addPage(last.data(), std::uint32_t(frame.width), std::uint32_t(frame.height), description);
    }
    if (!frames.empty())
      lastFrame = Clock::now();
    progress.show(std::uint32_t(stamps.size()));
    if (!vid->isRunning() && vid->framesAvailable() == 0)
      break;
    if (secondsSince(lastFrame) > patience) {
      timedOut = true;
      break;
    }
  }
  const double wall = secondsSince(started);
  progress.show(std::uint32_t(stamps.size()), true);
  progress.end();
  vid->stop();
  const imaqkit::AcquisitionStats stats = vid->stats();
  vid->close();
  tiff.close();

  if (stamps.empty()) {
    std::error_code ignored;
    fs::remove(tiffFile, ignored);
    // Images read without a frame are the driver failing its reads.
    const std::string images =
        stats.imagesCounted == 0
            ? "the camera sent no image"
            : "the adaptor read " + std::to_string(stats.imagesCounted) +
                  (stats.imagesCounted == 1 ? " image" : " images") + " and made no frame of any";
    throw Failure((timedOut ? "no frame came within " + std::to_string(patience) + " s"
                            : std::string("the acquisition ended without a frame")) +
                  ": " + images);
  }

  const TimestampSpread spread = spreadOf(stamps);
  std::fprintf(out, "frames acquired: %u of %u\n", static_cast<unsigned>(stamps.size()),
               options.frames);
  std::fprintf(out, "frames per second: %.2f (from the timestamps; %.2f by the wall clock)\n",
               spread.framesPerSecond, wall > 0 ? double(stamps.size()) / wall : 0.0);
  std::fprintf(out, "frames dropped: %llu (images read by the adaptor: %llu)\n",
               static_cast<unsigned long long>(stats.framesWanted - std::min(stats.framesWanted, stats.framesDelivered)),
               static_cast<unsigned long long>(stats.imagesCounted));
  std::fprintf(out,
               "timestamps: first to last %.6f s; interval mean %.3f ms, min %.3f ms, max %.3f ms, "
               "std dev %.3f ms\n",
               spread.span, spread.meanInterval * 1e3, spread.minInterval * 1e3,
               spread.maxInterval * 1e3, spread.stddevInterval * 1e3);

  const Stretch stretch = stretchOf(last.data(), last.size());
  const std::vector<std::uint8_t> preview = toEightBits(last.data(), last.size(), stretch);
  writePng(pngFile, preview.data(), std::uint32_t(lastWidth), std::uint32_t(lastHeight));
  std::fprintf(out, "wrote %s (%u pages of %d x %d, 16-bit)\n", tiffFile.c_str(), tiff.pages(),
               static_cast<int>(width), static_cast<int>(height));
  std::fprintf(out, "wrote %s (last frame, %u..%u stretched to 0..255)\n", pngFile.c_str(),
               unsigned(stretch.low), unsigned(stretch.high));

  if (timedOut)
    throw Failure("no frame came for " + std::to_string(patience) + " s; stopped after " +
                  std::to_string(stamps.size()) + " of " + std::to_string(options.frames) + " frames");
  return stamps.size() == options.frames;
}

} // namespace acquire
