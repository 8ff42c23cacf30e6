// A run whose image numbers wrap past 2^32: acquire counts no frame
// dropped, and writes every image, in order, stamps and all. In the same
// process as corvid and the simulated driver, which makes each image once
// the one before is in the file.
#include "process_temp_path.h"
#include "acquisition.h"
#include "andor_sim_control.h"
#include "stream_text.h"
#include "tiff_reader.h"
#include "watched_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr std::int32_t handle = 100, width = 40, height = 30;
constexpr int frames = 8;
constexpr std::uint32_t firstNumber = 0xFFFFFFFCu; // -4: images -4 to 3

using Watched = WatchedFile<width, height>;

} // namespace

TEST(WrapRun, ARunAcrossTheWrapDropsNoFrame) {
  const fs::path out = processTempPath("acquire_wrap_run");
  fs::remove_all(out);
  ASSERT_EQ(andorSimReset(), 1);
  ASSERT_EQ(andorSimAddCamera(handle, width, height), ANDOR_STATUS_SUCCESS);
  ASSERT_EQ(andorSimSetFirstImageNumber(handle, firstNumber), ANDOR_STATUS_SUCCESS);
  Watched::pages = 0;

  std::string report;
  {
    imaqkit::AdaptorLibrary corvid(CORVID_FILE);
    acquire::Options options;
    options.frames = frames;
    options.out = out.string();
    std::thread camera([] {
      if (andorSimWaitForWaiters(1, 10000) != 1) return;
      for (int image = 1; image <= frames; ++image) {
        andorSimProduceImages(handle, 1);
        if (!Watched::waitForPages(image)) return;
      }
    });
    std::FILE *sink = std::tmpfile();
    ASSERT_NE(sink, nullptr);
    EXPECT_NO_THROW(acquire::acquireFrames(corvid, options, sink, nullptr, [](const std::string &file) {
      return std::make_unique<Watched>(file);
    }));
    report = textOf(sink);
    std::fclose(sink);
    camera.join();
  }
  andorSimReset();

  EXPECT_NE(report.find("frames acquired: 8 of 8\n"), std::string::npos) << report;
  EXPECT_NE(report.find("frames dropped: 0 (images read by the adaptor: 8)\n"), std::string::npos) << report;
  const tiffread::File tiff = tiffread::read(tiffread::readFile((out / "frames.tif").string()));
  ASSERT_EQ(tiff.pages.size(), std::size_t(frames));
  for (std::size_t i = 0; i < tiff.pages.size(); ++i) {
    const auto &pixels = tiff.pages[i].pixels;
    ASSERT_EQ(pixels.size(), std::size_t(width) * height);
    EXPECT_EQ(pixels[0] | std::uint32_t(pixels[1]) << 16, std::uint32_t(firstNumber + i)) << "page " << i;
  }
  fs::remove_all(out);
}
