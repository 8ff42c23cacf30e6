// A camera that stops delivering in the middle of a run: the frames it did
// deliver are written (every page, and the preview of the last one), and the
// run ends with a Failure that says how many of how many. In the same
// process as corvid and the simulated driver, which makes images only when
// the test says so.
#include "process_temp_path.h"
#include "acquisition.h"
#include "andor_sim_control.h"
#include "tiff_reader.h"
#include "watched_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr std::int32_t handle = 100, width = 32, height = 24;

using Watched = WatchedFile<width, height>;

} // namespace

TEST(PartialRun, FramesBeforeATimeoutAreWrittenAndCounted) {
  const fs::path out = processTempPath("acquire_partial");
  fs::remove_all(out);
  andorSimReset();
  andorSimSetFreeRunning(0);
  ASSERT_EQ(andorSimAddCamera(handle, width, height), ANDOR_STATUS_SUCCESS);
  Watched::pages = 0;

  std::string failure;
  {
    imaqkit::AdaptorLibrary corvid(CORVID_FILE);
    acquire::Options options;
    options.frames = 10;
    options.timeout = 0.5;
    options.out = out.string();
    // Three images, each once the one before is in the file; then none.
    std::thread camera([] {
      for (int image = 1; image <= 3; ++image) {
        if (image == 1 && andorSimWaitForWaiters(1, 10000) != 1) return;
        andorSimProduceImages(handle, 1);
        if (!Watched::waitForPages(image)) return;
      }
    });
    std::FILE *sink = std::tmpfile();
    try {
      acquire::acquireFrames(corvid, options, sink, nullptr,
                             [](const std::string &file) { return std::make_unique<Watched>(file); });
    } catch (const acquire::Failure &error) {
      failure = error.what();
    }
    std::fclose(sink);
    camera.join();
  }
  andorSimReset();

  EXPECT_EQ(failure, "no frame came within 0.5 s: wrote 3 of 10 frames");
  const tiffread::File tiff = tiffread::read(tiffread::readFile((out / "frames.tif").string()));
  EXPECT_FALSE(tiff.big);
  ASSERT_EQ(tiff.pages.size(), 3u);
  for (std::size_t i = 0; i < tiff.pages.size(); ++i) {
    ASSERT_EQ(tiff.pages[i].pixels.size(), std::size_t(width) * height);
    EXPECT_EQ(tiff.pages[i].pixels[0], i + 1) << "image numbers, in order";
    EXPECT_EQ(tiff.pages[i].description.rfind("frame " + std::to_string(i + 1) + " of 10,", 0), 0u)
        << tiff.pages[i].description;
  }
  EXPECT_TRUE(fs::is_regular_file(out / "preview.png"));
  fs::remove_all(out);
}
