// acquire run as a user runs it, on two simulated cameras, its pictures read
// back with libtiff and libpng.
#include "process_temp_path.h"
#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>

#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <utility>
#include <string>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Outcome {
  int status = -1;
  std::string out, err;
};

std::string readText(const fs::path &file) {
  std::ifstream in(file);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The simulated driver leaves its state behind when the adaptor unloads it,
// which the leak checker would count against acquire.
Outcome runAcquire(const std::string &arguments, const std::string &environment = "") {
  const fs::path folder = processTempPath("acquire_run");
  fs::create_directories(folder);
  const std::string command = "ASAN_OPTIONS=detect_leaks=0 ANDOR_SIM_CAMERAS=2 "
                              "ANDOR_SIM_SIZE=96x64,48x40 ANDOR_SIM_MODE=free " +
                              environment + " " ACQUIRE_FILE " " + arguments + " >" +
                              (folder / "out").string() + " 2>" + (folder / "err").string();
  Outcome run;
  const int status = std::system(command.c_str());
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = readText(folder / "out");
  run.err = readText(folder / "err");
  return run;
}

// The image number each page of a TIFF carries in its first two pixels.
std::vector<uint32_t> pageStamps(const fs::path &file) {
  std::vector<uint32_t> stamps;
  TIFF *tiff = TIFFOpen(file.c_str(), "r");
  if (!tiff) return stamps;
  do {
    std::vector<uint16_t> row(TIFFScanlineSize(tiff) / 2);
    if (row.size() < 2 || TIFFReadScanline(tiff, row.data(), 0, 0) != 1) break;
    stamps.push_back(row[0] | uint32_t(row[1]) << 16);
  } while (TIFFReadDirectory(tiff));
  TIFFClose(tiff);
  return stamps;
}

struct PageShape {
  uint32_t width = 0, height = 0, stamp = 0;
  bool operator==(const PageShape &other) const {
    return width == other.width && height == other.height && stamp == other.stamp;
  }
};

std::ostream &operator<<(std::ostream &out, const PageShape &page) {
  return out << page.width << "x" << page.height << " #" << page.stamp;
}

// Each page's size and image number: a camera's own frames have its size
// and follow one another.
std::vector<PageShape> pageShapes(const fs::path &file) {
  std::vector<PageShape> pages;
  TIFF *tiff = TIFFOpen(file.c_str(), "r");
  if (!tiff) return pages;
  do {
    PageShape page;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &page.width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &page.height);
    std::vector<uint16_t> row(TIFFScanlineSize(tiff) / 2);
    if (row.size() < 2 || TIFFReadScanline(tiff, row.data(), 0, 0) != 1) break;
    page.stamp = row[0] | uint32_t(row[1]) << 16;
    pages.push_back(page);
  } while (TIFFReadDirectory(tiff));
  TIFFClose(tiff);
  return pages;
}

std::vector<PageShape> consecutivePages(uint32_t width, uint32_t height, uint32_t count) {
  std::vector<PageShape> pages;
  for (uint32_t i = 1; i <= count; ++i) pages.push_back({width, height, i});
  return pages;
}

std::pair<uint32_t, uint32_t> pngSize(const fs::path &file) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, file.c_str()) == 0) return {0, 0};
  const std::pair<uint32_t, uint32_t> size{image.width, image.height};
  png_image_free(&image);
  return size;
}

size_t lines(const std::string &text) {
  size_t count = 0;
  for (char c : text) count += c == '\n';
  return count;
}

} // namespace

TEST(Acquire, ListsTheDevicesOfTheAdaptor) {
  Outcome run = runAcquire("--list");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Devices: 2"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Device 1: testing"), std::string::npos);
  EXPECT_NE(run.out.find("Formats: testing (default)"), std::string::npos);
  EXPECT_NE(run.out.find("Sources: corvidDefault (id 1)"), std::string::npos);
  EXPECT_NE(run.out.find("Exposure: double, 0 to 50, default 0.01, read-only while running"),
            std::string::npos);
  // The adaptor names both cameras alike; the driver's index and handle
  // tell them apart.
  EXPECT_NE(run.out.find("Device 0: testing\n  Camera: index 0, driver handle 100\n"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("Device 1: testing\n  Camera: index 1, driver handle 101\n"), std::string::npos)
      << run.out;
}

TEST(Acquire, WritesATiffOfKPagesOfTheDetectorSizeAndAPng) {
  const fs::path out = processTempPath("acquire_pictures");
  fs::remove_all(out);
  Outcome run = runAcquire("--device 1 --frames 7 --exposure 0.002 --out " + out.string());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("frames acquired: 7 of 7"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("frames per second: "), std::string::npos);
  EXPECT_NE(run.out.find("frames dropped: 0"), std::string::npos);
  EXPECT_NE(run.out.find("timestamps: first to last"), std::string::npos);
  EXPECT_EQ(run.err.find("acquiring"), std::string::npos) << "no progress line into a file: " << run.err;

  TIFF *tiff = TIFFOpen((out / "frames.tif").c_str(), "r");
  ASSERT_NE(tiff, nullptr);
  int pages = 0;
  do {
    uint32_t width = 0, height = 0;
    uint16_t bits = 0, samples = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    EXPECT_EQ(width, 48u);
    EXPECT_EQ(height, 40u);
    EXPECT_EQ(bits, 16);
    EXPECT_EQ(samples, 1);
    EXPECT_EQ(TIFFNumberOfStrips(tiff), 1u);
    std::vector<uint16_t> row(TIFFScanlineSize(tiff) / 2);
    ASSERT_EQ(TIFFReadScanline(tiff, row.data(), 0, 0), 1);
    EXPECT_EQ(row[0] | row[1] << 16, pages + 1) << "each page is the next image, by its stamp";
    ++pages;
  } while (TIFFReadDirectory(tiff));
  TIFFClose(tiff);
  EXPECT_EQ(pages, 7);

  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_NE(png_image_begin_read_from_file(&image, (out / "preview.png").c_str()), 0) << image.message;
  EXPECT_EQ(image.width, 48u);
  EXPECT_EQ(image.height, 40u);
  EXPECT_EQ(image.format, PNG_FORMAT_GRAY);
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  ASSERT_NE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr), 0) << image.message;
  EXPECT_EQ(*std::min_element(pixels.begin(), pixels.end()), 0) << "stretched to the full range";
  EXPECT_EQ(*std::max_element(pixels.begin(), pixels.end()), 255);
}

TEST(Acquire, ARunAcrossTheImageNumbersWrapDropsNoFrame) {
  const fs::path out = processTempPath("acquire_wrap_pictures");
  fs::remove_all(out);
  Outcome run = runAcquire("--device 1 --frames 6 --exposure 0.002 --out " + out.string(),
                           "ANDOR_SIM_FIRST_IMAGE=4294967293");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("frames acquired: 6 of 6"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("frames dropped: 0"), std::string::npos) << run.out;
  EXPECT_EQ(pageStamps(out / "frames.tif"),
            (std::vector<uint32_t>{4294967293u, 4294967294u, 4294967295u, 0, 1, 2}));
  fs::remove_all(out);
}

TEST(Acquire, EveryErrorIsOneLineAndANonZeroExit) {
  const fs::path file = processTempPath("acquire_a_file");
  std::ofstream(file) << "not a folder";
  // A folder of its own, so pictures an earlier run left in the working
  // folder cannot be refused before the exposure is.
  const fs::path empty = processTempPath("acquire_empty_out");
  fs::remove_all(empty);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"--device 2", "no device 2"},
      {"--frames 1.5", "--frames wants a whole number"},
      {"--exposure fast", "--exposure wants a number of seconds"},
      {"--exposure 51 --out " + empty.string(), "Exposure"},
      {"--out " + (file / "sub").string(), "cannot make the folder"},
      {"--adaptor /nonexistent/corvid.so --list", "Cannot load the adaptor"},
      {"--what", "unknown option"}};
  for (const auto &[arguments, expected] : cases) {
    Outcome run = runAcquire(arguments);
    EXPECT_NE(run.status, 0) << arguments;
    EXPECT_EQ(lines(run.err), 1u) << arguments << ": " << run.err;
    EXPECT_NE(run.err.find(expected), std::string::npos) << arguments << ": " << run.err;
  }
  Outcome help = runAcquire("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--exposure S"), std::string::npos);
}

// A camera whose every read fails, or that never starts, gives no frame: the
// run says why and writes no picture.
TEST(Acquire, ACameraThatGivesNoImageWritesNoFrameAndSaysWhy) {
  const fs::path out = processTempPath("acquire_nothing");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"ANDOR_SIM_FAIL=getImages16", "made no frame of any"},
      {"ANDOR_SIM_FAIL=startAcquisition=20072", "startAcquisition returned status 20072"}};
  for (const auto &[environment, expected] : cases) {
    fs::remove_all(out);
    Outcome run = runAcquire("--frames 3 --exposure 0.002 --timeout 1 --out " + out.string(), environment);
    EXPECT_NE(run.status, 0) << environment;
    EXPECT_NE(run.err.find("acquire: no frame came within 1"), std::string::npos)
        << environment << ": " << run.err;
    EXPECT_NE(run.err.find(expected), std::string::npos) << environment << ": " << run.err;
    EXPECT_EQ(run.out.find("frames acquired"), std::string::npos) << run.out;
    EXPECT_FALSE(fs::exists(out / "frames.tif")) << environment;
    EXPECT_FALSE(fs::exists(out / "preview.png")) << environment;
  }
}

// 0 for a run that did it all, 1 for one that failed or fell short, 2 for a
// command line that cannot be run, as --help says.
TEST(Acquire, ExitStatusesAreTheOnesHelpStates) {
  const fs::path out = processTempPath("acquire_statuses");
  fs::remove_all(out);
  const std::vector<std::pair<std::string, int>> cases = {
      {"--frames 0", 2},
      {"--device --out " + out.string(), 2},
      {"--what", 2},
      {"--exposure", 2},
      {"--device 7 --out " + out.string(), 1},
      {"--frames 2 --exposure 0.002 --out " + out.string(), 0},
      {"--frames 2 --exposure 0.002 --out " + out.string(), 1}, // the pictures are there now
      {"--frames 3 --timeout 1 --out " + out.string() + "/failing", 1}};
  for (const auto &[arguments, status] : cases) {
    Outcome run = runAcquire(
        arguments, arguments.find("failing") != std::string::npos ? "ANDOR_SIM_FAIL=getImages16" : "");
    EXPECT_EQ(run.status, status) << arguments << ": " << run.err;
  }
  EXPECT_NE(runAcquire("--device --out x").err.find("acquire: --device needs a value"), std::string::npos);
  Outcome help = runAcquire("--help");
  EXPECT_NE(help.out.find("1 when the run\nfailed or stopped short"), std::string::npos) << help.out;
  EXPECT_NE(help.out.find("2 when the command line is wrong"), std::string::npos) << help.out;
}

// The pictures of an earlier run are kept unless --overwrite says otherwise.
TEST(Acquire, AnEarlierRunsPicturesAreReplacedOnlyWithOverwrite) {
  const fs::path out = processTempPath("acquire_again");
  fs::remove_all(out);
  ASSERT_EQ(runAcquire("--frames 2 --exposure 0.002 --out " + out.string()).status, 0);
  const std::string before = readText(out / "frames.tif");

  Outcome refused = runAcquire("--frames 5 --exposure 0.002 --out " + out.string());
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("frames.tif exists already (--overwrite replaces it)"), std::string::npos)
      << refused.err;
  EXPECT_EQ(lines(refused.err), 1u) << refused.err;
  EXPECT_EQ(refused.out.find("frames acquired"), std::string::npos) << "refused before acquiring";
  EXPECT_EQ(readText(out / "frames.tif"), before);

  fs::remove(out / "frames.tif");
  Outcome previewOnly = runAcquire("--frames 5 --exposure 0.002 --out " + out.string());
  EXPECT_NE(previewOnly.err.find("preview.png exists already"), std::string::npos) << previewOnly.err;

  Outcome replaced = runAcquire("--frames 5 --exposure 0.002 --overwrite --out " + out.string());
  ASSERT_EQ(replaced.status, 0) << replaced.err;
  EXPECT_NE(replaced.out.find("(5 pages of 96 x 64"), std::string::npos) << replaced.out;
  EXPECT_TRUE(fs::is_regular_file(out / "preview.png"));
}

// The progress line is for a terminal: on one, acquire draws it in place.
TEST(Acquire, TheProgressLineShowsOnATerminal) {
  int terminal = -1;
  const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
  ASSERT_GE(child, 0);
  if (child == 0) {
    const std::string out = (processTempPath("acquire_terminal")).string();
    fs::remove_all(out);
    setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    setenv("ANDOR_SIM_CAMERAS", "1", 1);
    setenv("ANDOR_SIM_SIZE", "48x40", 1);
    execl(ACQUIRE_FILE, ACQUIRE_FILE, "--frames", "3", "--exposure", "0.002", "--out", out.c_str(),
          static_cast<char *>(nullptr));
    _exit(127);
  }
  // Everything until the child closes the terminal (EIO once it is gone).
  std::string seen;
  char buffer[4096];
  for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    seen.append(buffer, size_t(n));
  }
  close(terminal);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << seen;
  EXPECT_NE(seen.find("\racquiring: 3/3 frames (100%)"), std::string::npos) << seen;
}

// Two cameras of different sizes at once, each on its own device object:
// each folder holds only its own camera's frames, every one of them, in
// order, and the figures name the camera they are of.
TEST(Acquire, SeveralCamerasWriteAFolderEachOfTheirOwnFrames) {
  const fs::path out = processTempPath("acquire_two_cameras");
  fs::remove_all(out);
  Outcome run = runAcquire("--device 0,1 --frames 6 --exposure 0.002 --out " + out.string());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(pageShapes(out / "camera0" / "frames.tif"), consecutivePages(96, 64, 6));
  EXPECT_EQ(pageShapes(out / "camera1" / "frames.tif"), consecutivePages(48, 40, 6));
  EXPECT_EQ(pngSize(out / "camera0" / "preview.png"), std::make_pair(96u, 64u));
  EXPECT_EQ(pngSize(out / "camera1" / "preview.png"), std::make_pair(48u, 40u));
  EXPECT_FALSE(fs::exists(out / "frames.tif")) << "several cameras write into folders of their own";
  EXPECT_FALSE(fs::exists(out / "preview.png"));

  for (const char *expected : {"device 0 (testing): 96 x 64 pixels", "device 1 (testing): 48 x 40 pixels",
                               "camera 0: frames acquired: 6 of 6\n", "camera 1: frames acquired: 6 of 6\n",
                               "camera 0: frames per second: ", "camera 1: frames per second: ",
                               "camera 0: frames dropped: 0 ", "camera 1: frames dropped: 0 ",
                               "camera 0: timestamps: first to last", "camera 1: timestamps: first to last"})
    EXPECT_NE(run.out.find(expected), std::string::npos) << expected << " in:\n" << run.out;
  EXPECT_NE(run.out.find("camera 0: wrote " + (out / "camera0" / "frames.tif").string() +
                         " (6 pages of 96 x 64, 16-bit)\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("camera 1: wrote " + (out / "camera1" / "frames.tif").string() +
                         " (6 pages of 48 x 40, 16-bit)\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("camera 1: wrote " + (out / "camera1" / "preview.png").string()), std::string::npos)
      << run.out;
  // Every figure of a run of several says whose it is.
  for (size_t at = 0, end; (end = run.out.find('\n', at)) != std::string::npos; at = end + 1) {
    const std::string line = run.out.substr(at, end - at);
    EXPECT_TRUE(line.rfind("camera ", 0) == 0 || line.rfind("device ", 0) == 0) << line;
  }
  fs::remove_all(out);
}

// A list acquire cannot run is refused before any camera starts: a bad list
// as a command line (2), a device that is not there or a camera's earlier
// pictures as a run (1), each in one line.
TEST(Acquire, ASeveralCameraRunIsRefusedWholeBeforeAnyCameraStarts) {
  const fs::path out = processTempPath("acquire_refused_cameras");
  fs::remove_all(out);
  const std::vector<std::tuple<std::string, int, std::string>> cases = {
      {"0,,1", 2, "acquire: --device wants device ids separated by single commas, not \"0,,1\""},
      {"0,x", 2, "acquire: --device wants a whole number from 0 to 2147483647, not \"x\""},
      {"1,0,1", 2, "acquire: --device names device 1 twice"},
      {"0,", 2, "single commas"},
      {"0,7", 1, "acquire: no device 7: the adaptor reports devices 0, 1"}};
  for (const auto &[list, status, expected] : cases) {
    Outcome run = runAcquire("--device " + list + " --frames 2 --exposure 0.002 --out " + out.string());
    EXPECT_EQ(run.status, status) << list << ": " << run.err;
    EXPECT_EQ(lines(run.err), 1u) << list << ": " << run.err;
    EXPECT_NE(run.err.find(expected), std::string::npos) << list << ": " << run.err;
    EXPECT_EQ(run.out, "") << list;
    EXPECT_FALSE(fs::exists(out)) << list << ": nothing made for a run refused";
  }

  // An earlier run's pictures in one camera's folder keep every camera from
  // starting, and stay as they were.
  fs::create_directories(out / "camera1");
  std::ofstream(out / "camera1" / "frames.tif") << "an earlier run";
  Outcome refused = runAcquire("--device 0,1 --frames 2 --exposure 0.002 --out " + out.string());
  EXPECT_EQ(refused.status, 1) << refused.err;
  EXPECT_EQ(lines(refused.err), 1u) << refused.err;
  EXPECT_NE(refused.err.find((out / "camera1" / "frames.tif").string() +
                             " exists already (--overwrite replaces it)"),
            std::string::npos)
      << refused.err;
  EXPECT_EQ(refused.out.find("frames acquired"), std::string::npos) << refused.out;
  EXPECT_FALSE(fs::exists(out / "camera0" / "frames.tif"));
  EXPECT_EQ(readText(out / "camera1" / "frames.tif"), "an earlier run");

  Outcome replaced = runAcquire("--device 0,1 --frames 2 --exposure 0.002 --overwrite --out " + out.string());
  EXPECT_EQ(replaced.status, 0) << replaced.err;
  EXPECT_EQ(pageShapes(out / "camera1" / "frames.tif").size(), 2u);
  fs::remove_all(out);
}

// One status for all the cameras: cameras that all fall short fail the run,
// with a line for each that names it.
TEST(Acquire, EveryCameraThatFallsShortHasItsLineAndTheRunFails) {
  const fs::path out = processTempPath("acquire_cameras_failing");
  fs::remove_all(out);
  Outcome run = runAcquire("--device 1,0 --frames 3 --exposure 0.002 --timeout 1 --out " + out.string(),
                           "ANDOR_SIM_FAIL=getImages16");
  EXPECT_EQ(run.status, 1) << run.err;
  const size_t first = run.err.find("acquire: camera 1: no frame came within 1 s: the adaptor read ");
  const size_t second = run.err.find("acquire: camera 0: no frame came within 1 s: the adaptor read ");
  EXPECT_NE(first, std::string::npos) << run.err;
  EXPECT_NE(second, std::string::npos) << run.err;
  EXPECT_LT(first, second) << "in the order the cameras were given: " << run.err;
  EXPECT_FALSE(fs::exists(out / "camera0" / "frames.tif"));
  EXPECT_FALSE(fs::exists(out / "camera1" / "frames.tif"));
  fs::remove_all(out);
}

// One camera, named alone, writes into DIR itself, with the figures as
// they have always read.
TEST(Acquire, OneCameraOfAListWritesIntoTheFolderItself) {
  const fs::path out = processTempPath("acquire_one_of_a_list");
  fs::remove_all(out);
  Outcome run = runAcquire("--device=1 --frames 3 --exposure 0.002 --out " + out.string());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(pageShapes(out / "frames.tif"), consecutivePages(48, 40, 3));
  EXPECT_TRUE(fs::is_regular_file(out / "preview.png"));
  EXPECT_FALSE(fs::exists(out / "camera1"));
  EXPECT_EQ(run.out.find("camera "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\nframes acquired: 3 of 3\n"), std::string::npos) << run.out;
  fs::remove_all(out);
}
