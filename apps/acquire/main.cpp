// acquire: a user of the image acquisition toolbox, on the command line.
// Lists the devices of the corvid adaptor, or acquires frames from one or
// several at once, each into a 16-bit TIFF and an 8-bit preview PNG. See
// --help.
#include "acquisition.h"
#include "imaqkit_engine.h"
#include "listing.h"
#include "options.h"
#include "progress.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

// The corvid library beside this program. Windows looks in the program's
// folder first, so the bare name finds it there.
std::string defaultAdaptor(const char *argv0) {
#if defined(_WIN32)
  (void)argv0;
  return "corvid.dll";
#else
  namespace fs = std::filesystem;
  std::error_code error;
  fs::path program = fs::read_symlink("/proc/self/exe", error);
  if (error) program = fs::absolute(argv0, error);
  return (program.parent_path() / "corvid.so").string();
#endif
}

// Warnings that are more than the adaptor's running commentary.
void printWarnings(bool echoed) {
  if (echoed) return;
  for (const imaqkit::AdaptorWarning &warning : imaqkit::warnings()) {
    const std::string &id = warning.identifier;
    auto endsWith = [&](const char *tail) {
      const std::string t(tail);
      return id.size() >= t.size() && id.compare(id.size() - t.size(), t.size(), t) == 0;
    };
    if (!endsWith(":debug") && !endsWith(":Info"))
      std::fprintf(stderr, "%s\n", imaqkit::formatWarning(warning).c_str());
  }
}

} // namespace

int main(int argc, char **argv) {
  acquire::Options options;
  try {
    options = acquire::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const acquire::UsageError &error) {
    std::fprintf(stderr, "acquire: %s\n", error.what());
    return acquire::exitUsage;
  }
  if (options.action == acquire::Options::Action::help) {
    std::fputs(acquire::usageText().c_str(), stdout);
    return acquire::exitDone;
  }
  if (options.action == acquire::Options::Action::version) {
    std::printf("%s\n", acquire::versionText().c_str());
    return acquire::exitDone;
  }
  if (options.verbose) imaqkit::echoWarnings(stderr);

  const std::string adaptor = options.adaptor.empty() ? defaultAdaptor(argv[0]) : options.adaptor;
  try {
    imaqkit::AdaptorLibrary library(adaptor);
    if (options.action == acquire::Options::Action::list)
      acquire::printDevices(library, stdout);
    else
      acquire::acquireFrames(library, options, stdout,
                             acquire::Progress::isTerminal(stderr) ? stderr : nullptr);
  } catch (const acquire::Failure &failure) {
    // One line for each camera that fell short.
    std::fflush(stdout);
    printWarnings(options.verbose);
    for (const std::string &message : failure.messages())
      std::fprintf(stderr, "acquire: %s\n", message.c_str());
    return acquire::exitRunFailed;
  } catch (const std::exception &error) {
    std::fflush(stdout);
    printWarnings(options.verbose);
    std::fprintf(stderr, "acquire: %s\n", error.what());
    return acquire::exitRunFailed;
  }
  printWarnings(options.verbose);
  return acquire::exitDone;
}
