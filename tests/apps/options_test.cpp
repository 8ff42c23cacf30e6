// acquire's command line, its progress line, its preview stretch and its
// timestamp statistics.
#include "options.h"
#include "preview.h"
#include "progress.h"
#include "timing.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using acquire::Options;
using acquire::parseOptions;
using acquire::UsageError;
using Args = std::vector<std::string>;

TEST(Options, DefaultsAndEveryOption) {
  Options defaults = parseOptions({});
  EXPECT_EQ(defaults.action, Options::Action::acquire);
  EXPECT_EQ(defaults.devices, std::vector<std::int32_t>{0});
  EXPECT_EQ(defaults.frames, 10u);
  EXPECT_FALSE(defaults.exposure);
  EXPECT_EQ(defaults.out, ".");
  EXPECT_EQ(defaults.memory, 256u * 1000000u) << "megabytes of 1,000,000 bytes";

  Options options = parseOptions({"--device", "1", "--frames=100", "--exposure", "0.02", "--out", "pictures",
                                  "--timeout", "3", "--adaptor", "x.so", "--verbose"});
  EXPECT_EQ(options.devices, std::vector<std::int32_t>{1});
  EXPECT_EQ(options.frames, 100u);
  EXPECT_EQ(*options.exposure, 0.02);
  EXPECT_EQ(options.out, "pictures");
  EXPECT_EQ(*options.timeout, 3.0);
  EXPECT_EQ(options.adaptor, "x.so");
  EXPECT_TRUE(options.verbose);
  EXPECT_EQ(parseOptions({"--list"}).action, Options::Action::list);
  EXPECT_FALSE(defaults.overwrite);
  EXPECT_TRUE(parseOptions({"--overwrite"}).overwrite);
  EXPECT_EQ(parseOptions({"--help", "--frames", "x"}).action, Options::Action::help);
  EXPECT_EQ(parseOptions({"--memory", "1"}).memory, 1000000u);
  EXPECT_EQ(parseOptions({"--memory=1000000"}).memory, 1000000ull * 1000000u);
}

// --version answers before anything else is checked, as --help does, and
// names the version the build was configured with, not one of its own.
TEST(Options, VersionIsTheProjectsAndNeedsNothingElse) {
  EXPECT_EQ(parseOptions({"--version"}).action, Options::Action::version);
  EXPECT_EQ(parseOptions({"--frames", "5", "--version", "--frames", "x"}).action, Options::Action::version);
  EXPECT_EQ(acquire::versionText(), std::string("acquire ") + PROJECT_VERSION_TEXT);
  EXPECT_THROW(parseOptions({"--version=2"}), UsageError);
}

TEST(Options, EveryBadLineIsOneLineOfError) {
  const std::vector<Args> bad = {{"--frames", "0"},
                                 {"--frames", "12x"},
                                 {"--frames", ""},
                                 {"--frames", "-3"},
                                 {"--device", "1.5"},
                                 {"--device", "-1"},
                                 {"--device", "99999999999"},
                                 {"--exposure", "-1"},
                                 {"--exposure", "nan"},
                                 {"--exposure", "inf"},
                                 {"--timeout", "0"},
                                 {"--memory", "0"},
                                 {"--memory", "1000001"},
                                 {"--memory", "2.5"},
                                 {"--out", ""},
                                 {"--frames"},
                                 {"--list=yes"},
                                 {"--colour"},
                                 {"frames"}};
  for (const Args &args : bad) {
    try {
      parseOptions(args);
      ADD_FAILURE() << "accepted: " << args[0];
    } catch (const UsageError &error) {
      const std::string message = error.what();
      EXPECT_FALSE(message.empty());
      EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
  }
}

// Several cameras are a comma-separated list, kept in the order given; a
// list with a hole, a word or an id twice names what is wrong in one line.
TEST(Options, DeviceListsAreWholeIdsEachOnce) {
  EXPECT_EQ(parseOptions({"--device", "0,1"}).devices, (std::vector<std::int32_t>{0, 1}));
  EXPECT_EQ(parseOptions({"--device=3,0,2147483647"}).devices, (std::vector<std::int32_t>{3, 0, 2147483647}));
  EXPECT_EQ(parseOptions({"--device", "1", "--device", "2,0"}).devices, (std::vector<std::int32_t>{2, 0}))
      << "the last --device wins, as with every other option";
  const std::vector<std::pair<std::string, std::string>> bad = {
      {"0,,1", "single commas"},      {",0", "single commas"},
      {"0,", "single commas"},        {",", "single commas"},
      {"0,x", "not \"x\""},           {"0,-1", "not \"-1\""},
      {"0,1.5", "not \"1.5\""},       {"0,1,0", "names device 0 twice"},
      {"7,7", "names device 7 twice"}};
  for (const auto &[list, expected] : bad) {
    try {
      parseOptions({"--device", list});
      ADD_FAILURE() << "accepted: " << list;
    } catch (const UsageError &error) {
      const std::string message = error.what();
      EXPECT_EQ(message.rfind("--device ", 0), 0u) << message;
      EXPECT_NE(message.find(expected), std::string::npos) << list << ": " << message;
      EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
  }
}

// A value left out takes no option for it: the option after it is named as
// what is missing, not read as a bad value. A value that starts with "--"
// can still be given with "=".
TEST(Options, AnOptionWhereAValueShouldBeIsAMissingValue) {
  const std::vector<std::pair<Args, std::string>> cases = {
      {{"--device", "--out", "x"}, "--device needs a value"},
      {{"--out", "--frames", "3"}, "--out needs a value"},
      {{"--frames", "--verbose"}, "--frames needs a value"},
      {{"--exposure"}, "--exposure needs a value"}};
  for (const auto &[args, expected] : cases) {
    try {
      parseOptions(args);
      ADD_FAILURE() << "accepted: " << args[0];
    } catch (const UsageError &error) {
      EXPECT_EQ(std::string(error.what()), expected);
    }
  }
  EXPECT_EQ(parseOptions({"--out=--odd"}).out, "--odd");
  EXPECT_EQ(*parseOptions({"--exposure", "0.5"}).exposure, 0.5);
}

// --help states the exit statuses main returns.
TEST(Options, HelpStatesTheExitStatuses) {
  const std::string help = acquire::usageText();
  EXPECT_EQ(acquire::exitDone, 0);
  EXPECT_EQ(acquire::exitRunFailed, 1);
  EXPECT_EQ(acquire::exitUsage, 2);
  EXPECT_NE(help.find("Exit status: 0 when all K frames were acquired and written; 1 when"),
            std::string::npos)
      << help;
  EXPECT_NE(help.find("2 when the command line is wrong"), std::string::npos) << help;
  EXPECT_NE(
      help.find("Frames dropped on the way, by the camera or while the disk was behind,\nleave the status as "
                "it is: a run that wrote all K frames exits 0"),
      std::string::npos)
      << help;
}

TEST(Options, HelpNamesEveryOption) {
  const std::string help = acquire::usageText();
  for (const char *option :
       {"--list", "--device", "--frames", "--exposure", "--out", "--timeout", "--adaptor", "--verbose",
        "--help", "--version", "--overwrite", "--memory", "frames.tif", "preview.png"})
    EXPECT_NE(help.find(option), std::string::npos) << option;
}

namespace {

std::string shown(acquire::Progress &progress, std::FILE *stream) {
  progress.end();
  std::rewind(stream);
  std::string text;
  for (int c; (c = std::fgetc(stream)) != EOF;) text += char(c);
  return text;
}

} // namespace

// One camera's line is as it always was; several cameras' counts share the
// line, each named, and the percentage is of every frame of the run.
TEST(Progress, TheLineCountsEveryCamerasFrames) {
  std::FILE *one = std::tmpfile();
  ASSERT_NE(one, nullptr);
  acquire::Progress single(one, 10);
  single.show(3, true);
  EXPECT_EQ(shown(single, one), "\racquiring: 3/10 frames ( 30%)\n");
  std::fclose(one);

  std::FILE *two = std::tmpfile();
  ASSERT_NE(two, nullptr);
  acquire::Progress several(two, 10, {1, 0});
  several.show({0, 0}, true);
  several.show({4, 2}, true);
  several.show({4, 2}, true); // nothing new: not drawn again
  several.show({10, 10}, true);
  EXPECT_EQ(shown(several, two), "\racquiring: camera 1 0/10, camera 0 0/10 frames (  0%)"
                                 "\racquiring: camera 1 4/10, camera 0 2/10 frames ( 30%)"
                                 "\racquiring: camera 1 10/10, camera 0 10/10 frames (100%)\n");
  std::fclose(two);
}

TEST(Preview, StretchIgnoresAFewExtremePixelsAndMapsToEightBits) {
  std::vector<uint16_t> pixels(1000);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint16_t(1000 + i % 100);
  pixels[0] = 0;
  pixels[1] = 65535;
  const acquire::Stretch stretch = acquire::stretchOf(pixels.data(), pixels.size());
  EXPECT_EQ(stretch.low, 1000);
  EXPECT_EQ(stretch.high, 1099);
  const std::vector<uint8_t> out = acquire::toEightBits(pixels.data(), pixels.size(), stretch);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 255);
  EXPECT_EQ(out[100], 0);   // 1000
  EXPECT_EQ(out[99], 255);  // 1099
  EXPECT_EQ(out[149], 126); // 1049, about halfway

  const std::vector<uint16_t> flat(16, 500);
  const std::vector<uint8_t> gray =
      acquire::toEightBits(flat.data(), flat.size(), acquire::stretchOf(flat.data(), flat.size()));
  EXPECT_EQ(gray, std::vector<uint8_t>(16, 128));
}

TEST(Timing, SpreadOfTheIntervals) {
  const acquire::TimestampSpread spread = acquire::spreadOf({10.0, 10.1, 10.3, 10.4});
  EXPECT_EQ(spread.frames, 4u);
  EXPECT_NEAR(spread.span, 0.4, 1e-12);
  EXPECT_NEAR(spread.framesPerSecond, 7.5, 1e-9);
  EXPECT_NEAR(spread.meanInterval, 0.4 / 3, 1e-12);
  EXPECT_NEAR(spread.minInterval, 0.1, 1e-12);
  EXPECT_NEAR(spread.maxInterval, 0.2, 1e-12);
  EXPECT_NEAR(spread.stddevInterval, 0.0471404520791, 1e-9);
  EXPECT_EQ(acquire::spreadOf({5.0}).framesPerSecond, 0.0);
  EXPECT_EQ(acquire::spreadOf({}).frames, 0u);
}
