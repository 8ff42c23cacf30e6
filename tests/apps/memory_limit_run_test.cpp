// A camera faster than the disk: the writer is slowed on purpose, each page
// it writes waiting until the free-running camera has made four more images,
// so frames wait in the toolbox engine until its frame memory limit drops
// the ones that come while it is full. The file still gets every frame asked
// for, each one the camera made and in order, and the frames dropped are
// exactly the gaps in its image numbers. In the same process as corvid and
// the simulated driver.
#include "process_temp_path.h"
#include "acquisition.h"
#include "andor_sim_control.h"
#include "stream_text.h"
#include "tiff_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

constexpr std::int32_t handle = 100, width = 32, height = 24;
constexpr std::uint64_t frameBytes = std::uint64_t(width) * height * 2;
constexpr int imagesPerPage = 4;

constexpr std::uint32_t frames = 12, limitFrames = 3;
// Page p is written while at most p - 1 pages, the one in hand and
// limitFrames buffered are in: up to this page the camera is sure to be
// running still, short of its frames. The pages after it go as fast as
// they can, the camera perhaps done.
constexpr std::uint32_t slowPages = frames - limitFrames - 1;

// A file that takes each of its first slowPages pages only once the camera
// has made imagesPerPage images for that page and each before it.
class SlowDisk : public acquire::ByteSink {
public:
  explicit SlowDisk(const std::string &file) : file_(file) {}
  void write(std::uint64_t offset, const void *bytes, std::size_t size) override {
    if (size == frameBytes && ++pages_ <= slowPages &&
        andorSimWaitForImages(handle, std::uint64_t(imagesPerPage) * pages_, 10000) != 1)
      throw std::runtime_error("the camera stopped");
    file_.write(offset, bytes, size);
  }
  void close() override { file_.close(); }
  const std::string &name() const override { return file_.name(); }

private:
  acquire::FileSink file_;
  std::uint32_t pages_ = 0;
};

std::uint64_t numberAfter(const std::string &report, const std::string &label) {
  const std::size_t at = report.find(label);
  if (at == std::string::npos) return ~std::uint64_t(0);
  return std::stoull(report.substr(at + label.size()));
}

} // namespace

TEST(MemoryLimitRun, ASlowDiskDropsFramesPastTheLimitAndTheFileShowsTheGaps) {
  const fs::path out = processTempPath("acquire_memory_limit");
  fs::remove_all(out);
  ASSERT_EQ(andorSimReset(), 1);
  andorSimSetFreeRunning(1);
  ASSERT_EQ(andorSimAddCamera(handle, width, height), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(andorSimSetFramePeriod(handle, 0.001), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(andorSimSetRingCapacity(handle, 1024), ANDOR_STATUS_SUCCESS); // the ring loses nothing
  const std::uint64_t limitBefore = imaqkit::frameMemoryLimit();
  imaqkit::resetFrameMemoryPeak();

  std::string report;
  {
    imaqkit::AdaptorLibrary corvid(CORVID_FILE);
    acquire::Options options;
    options.frames = frames;
    options.memory = limitFrames * frameBytes;
    options.out = out.string();
    std::FILE *sink = std::tmpfile();
    ASSERT_NE(sink, nullptr);
    EXPECT_NO_THROW(acquire::acquireFrames(corvid, options, sink, nullptr, [](const std::string &file) {
      return std::make_unique<SlowDisk>(file);
    })) << "dropped frames end a run that wrote every frame as any other such run";
    report = textOf(sink);
    std::fclose(sink);
  }
  andorSimReset();

  const imaqkit::FrameMemoryUse use = imaqkit::frameMemoryUse();
  EXPECT_LE(use.peakFramesHeld, limitFrames) << "never more frames waiting than the limit holds";
  EXPECT_LE(use.peakBytesHeld, limitFrames * frameBytes);
  EXPECT_EQ(imaqkit::frameMemoryLimit(), limitBefore) << "the run's limit is its own";

  EXPECT_NE(report.find("frames acquired: 12 of 12\n"), std::string::npos) << report;
  EXPECT_NE(report.find("frames dropped: 0 ("), std::string::npos) << "nothing lost before the engine\n"
                                                                   << report;
  const std::uint64_t dropped = numberAfter(report, "frames dropped while the disk was behind: ");
  ASSERT_NE(dropped, ~std::uint64_t(0)) << report;
  EXPECT_GT(dropped, 0u);

  const tiffread::File tiff = tiffread::read(tiffread::readFile((out / "frames.tif").string()));
  ASSERT_EQ(tiff.pages.size(), std::size_t(frames));
  std::uint64_t gaps = 0, previous = 0;
  for (std::size_t i = 0; i < tiff.pages.size(); ++i) {
    const auto &pixels = tiff.pages[i].pixels;
    ASSERT_EQ(pixels.size(), std::size_t(width) * height);
    const std::uint64_t image = pixels[0] | std::uint64_t(pixels[1]) << 16; // from 1
    ASSERT_GT(image, previous) << "page " << i << ": images in the order the camera made them";
    gaps += image - previous - 1;
    previous = image;
    // Corvid delivers a frame for every image it reads: the n-th image is
    // the acquisition's n-th frame, kept or not.
    const std::string numbered =
        "frame " + std::to_string(i + 1) + " of 12, acquisition frame " + std::to_string(image) + ",";
    EXPECT_EQ(tiff.pages[i].description.rfind(numbered, 0), 0u) << tiff.pages[i].description;
  }
  EXPECT_EQ(gaps, dropped)
      << "each frame dropped is a gap in the image numbers, and each gap a frame dropped";
  fs::remove_all(out);
}

TEST(MemoryLimitRun, ALimitThatHoldsNoFrameIsRefusedBeforeTheCameraStarts) {
  const fs::path out = processTempPath("acquire_memory_refused");
  fs::remove_all(out);
  ASSERT_EQ(andorSimReset(), 1);
  ASSERT_EQ(andorSimAddCamera(handle, 2000, 1000), ANDOR_STATUS_SUCCESS); // 4 MB frames
  std::string failure;
  {
    imaqkit::AdaptorLibrary corvid(CORVID_FILE);
    acquire::Options options;
    options.memory = 3 * acquire::bytesPerMB;
    options.out = out.string();
    std::FILE *sink = std::tmpfile();
    try {
      acquire::acquireFrames(corvid, options, sink, nullptr);
    } catch (const acquire::Failure &error) {
      failure = error.what();
    }
    std::fclose(sink);
  }
  AndorSimCameraState camera{};
  ASSERT_EQ(andorSimGetCamera(handle, &camera), ANDOR_STATUS_SUCCESS);
  andorSimReset();
  EXPECT_EQ(failure, "--memory 3 MB holds no frame of 2000 x 1000 pixels (4 MB)");
  EXPECT_EQ(camera.counters.produced, 0u);
  EXPECT_FALSE(fs::exists(out / "frames.tif")) << "no file for a run that never started";
  fs::remove_all(out);
}
