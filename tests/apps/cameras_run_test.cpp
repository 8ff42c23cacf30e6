// Two cameras of one size at once, in the same process as corvid and the
// simulated driver, free-running. The cameras number their images from far
// apart, so a frame's number tells whose it is where its size cannot.
#include "process_temp_path.h"
#include "acquisition.h"
#include "andor_sim_control.h"
#include "stream_text.h"
#include "tiff_reader.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr std::int32_t width = 32, height = 24;
constexpr std::int32_t firstHandle = 100, secondHandle = 101;
constexpr std::uint32_t firstNumber = 1000, secondNumber = 0x30000; // apart in both 16-bit halves
constexpr std::uint32_t frames = 5;

struct Outcome {
  std::vector<std::string> failures; // empty: the run did it all
  std::string report;
};

// Cameras 0 and 1, an image every period seconds each.
Outcome runTwoCameras(const fs::path &out, double firstPeriod, double secondPeriod, double timeout) {
  Outcome run;
  EXPECT_EQ(andorSimReset(), 1);
  andorSimSetFreeRunning(1);
  EXPECT_EQ(andorSimAddCamera(firstHandle, width, height), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(andorSimAddCamera(secondHandle, width, height), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(andorSimSetFirstImageNumber(firstHandle, firstNumber), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(andorSimSetFirstImageNumber(secondHandle, secondNumber), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(andorSimSetFramePeriod(firstHandle, firstPeriod), ANDOR_STATUS_SUCCESS);
  EXPECT_EQ(andorSimSetFramePeriod(secondHandle, secondPeriod), ANDOR_STATUS_SUCCESS);
  {
    imaqkit::AdaptorLibrary corvid(CORVID_FILE);
    acquire::Options options;
    options.devices = {0, 1};
    options.frames = frames;
    options.timeout = timeout;
    options.out = out.string();
    std::FILE *sink = std::tmpfile();
    EXPECT_NE(sink, nullptr);
    if (sink == nullptr) return run;
    try {
      acquire::acquireFrames(corvid, options, sink, nullptr);
    } catch (const acquire::Failure &failure) {
      run.failures = failure.messages();
    }
    run.report = textOf(sink);
    std::fclose(sink);
  }
  andorSimReset();
  return run;
}

std::vector<std::uint32_t> stampsOf(const fs::path &file) {
  std::vector<std::uint32_t> stamps;
  if (!fs::is_regular_file(file)) return stamps;
  for (const tiffread::Page &page : tiffread::read(tiffread::readFile(file.string())).pages)
    if (page.pixels.size() >= 2) stamps.push_back(page.pixels[0] | std::uint32_t(page.pixels[1]) << 16);
  return stamps;
}

std::vector<std::uint32_t> numbersFrom(std::uint32_t first) {
  std::vector<std::uint32_t> numbers;
  for (std::uint32_t i = 0; i < frames; ++i) numbers.push_back(first + i);
  return numbers;
}

} // namespace

TEST(CamerasRun, EachCameraWritesOnlyItsOwnFramesEveryOneInOrder) {
  const fs::path out = processTempPath("acquire_cameras_run");
  fs::remove_all(out);
  const Outcome run = runTwoCameras(out, 0.01, 0.013, 10);
  EXPECT_EQ(run.failures, std::vector<std::string>{});
  EXPECT_EQ(stampsOf(out / "camera0" / "frames.tif"), numbersFrom(firstNumber));
  EXPECT_EQ(stampsOf(out / "camera1" / "frames.tif"), numbersFrom(secondNumber));
  for (const char *expected : {"camera 0: frames acquired: 5 of 5\n", "camera 1: frames acquired: 5 of 5\n",
                               "camera 0: frames dropped: 0 (images read by the adaptor: 5)\n",
                               "camera 1: frames dropped: 0 (images read by the adaptor: 5)\n"})
    EXPECT_NE(run.report.find(expected), std::string::npos) << expected << " in:\n" << run.report;
  fs::remove_all(out);
}

// A camera that gives nothing fails the run, and says so alone: the other
// camera's frames are all written and its figures printed.
TEST(CamerasRun, ACameraThatFallsShortFailsTheRunAlone) {
  const fs::path out = processTempPath("acquire_cameras_short");
  fs::remove_all(out);
  const Outcome run = runTwoCameras(out, 0.01, 600, 0.5);
  EXPECT_EQ(run.failures,
            std::vector<std::string>{"camera 1: no frame came within 0.5 s: the camera sent no image"});
  EXPECT_EQ(stampsOf(out / "camera0" / "frames.tif"), numbersFrom(firstNumber));
  EXPECT_TRUE(fs::is_regular_file(out / "camera0" / "preview.png"));
  EXPECT_FALSE(fs::exists(out / "camera1" / "frames.tif"));
  EXPECT_FALSE(fs::exists(out / "camera1" / "preview.png"));
  EXPECT_NE(run.report.find("camera 0: frames acquired: 5 of 5\n"), std::string::npos) << run.report;
  EXPECT_EQ(run.report.find("camera 1: frames"), std::string::npos) << run.report;
  fs::remove_all(out);
}
