// The command line of acquire.
#ifndef ACQUIRE_OPTIONS_H
#define ACQUIRE_OPTIONS_H

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace acquire {

/* A command line that cannot be run; its message is one line. */
class UsageError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

/* --memory counts in megabytes of 1,000,000 bytes, as the figures print them. */
constexpr std::uint64_t bytesPerMB = 1000000;

struct Options {
  enum class Action { acquire, list, help, version } action = Action::acquire;
  std::string adaptor;                  // empty: the corvid library next to the program
  std::vector<std::int32_t> devices{0}; // in the order given; no id twice
  std::uint32_t frames = 10;
  std::optional<double> exposure; // seconds; unset: the device's own
  std::string out = ".";
  std::optional<double> timeout; // seconds without a new frame; unset: from the exposure
  bool verbose = false;
  bool overwrite = false; // replace the pictures of an earlier run
  // Bytes the frames waiting to be written may take, every camera's
  // together: the toolbox's frame memory limit for the run.
  std::uint64_t memory = 256 * bytesPerMB;
};

/* Exit statuses: every frame written (frames dropped on the way, by the
 * camera or for the memory limit, included); a run that failed or stopped
 * short (what it acquired is written); a command line that cannot be run. */
enum ExitStatus : int { exitDone = 0, exitRunFailed = 1, exitUsage = 2 };

/* args are the arguments after the program name. Throws UsageError. */
Options parseOptions(const std::vector<std::string> &args);

/* The text of --help. */
std::string usageText();

/* The line --version prints: "acquire" and the project's version. */
std::string versionText();

} // namespace acquire

#endif
