#include "options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace acquire {
namespace {

long long wholeNumber(const std::string &option, const std::string &text, long long lowest,
                      long long highest) {
  errno = 0;
  char *end = nullptr;
  const long long value = text.empty() ? 0 : std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno == ERANGE || value < lowest || value > highest)
    throw UsageError(option + " wants a whole number from " + std::to_string(lowest) + " to " +
                     std::to_string(highest) + ", not \"" + text + "\"");
  return value;
}

double seconds(const std::string &option, const std::string &text) {
  errno = 0;
  char *end = nullptr;
  const double value = text.empty() ? 0 : std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(value) || value < 0)
    throw UsageError(option + " wants a number of seconds, 0 or more, not \"" + text + "\"");
  return value;
}

// Several cameras at once, each id once: a camera cannot be opened twice,
// and its folder would be written by two runs.
std::vector<std::int32_t> deviceList(const std::string &option, const std::string &text) {
  std::vector<std::int32_t> devices;
  std::size_t begin = 0;
  for (;;) {
    const std::size_t comma = text.find(',', begin);
    const std::string id = text.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin);
    if (id.empty() && text.find(',') != std::string::npos)
      throw UsageError(option + " wants device ids separated by single commas, not \"" + text + "\"");
    const auto device = std::int32_t(wholeNumber(option, id, 0, std::numeric_limits<std::int32_t>::max()));
    for (std::int32_t earlier : devices)
      if (earlier == device) throw UsageError(option + " names device " + id + " twice, in \"" + text + "\"");
    devices.push_back(device);
    if (comma == std::string::npos) return devices;
    begin = comma + 1;
  }
}

} // namespace

Options parseOptions(const std::vector<std::string> &args) {
  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i], value;
    bool hasValue = false;
    const std::size_t equals = name.find('=');
    if (name.compare(0, 2, "--") == 0 && equals != std::string::npos) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
      hasValue = true;
    }
    auto takeValue = [&]() -> std::string {
      if (hasValue) return value;
      // An option where its value should be is a value forgotten, not a
      // value; a value that starts with "--" is written --name=VALUE.
      if (i + 1 >= args.size() || args[i + 1].compare(0, 2, "--") == 0)
        throw UsageError(name + " needs a value");
      return args[++i];
    };
    auto noValue = [&] {
      if (hasValue) throw UsageError(name + " takes no value");
    };

    if (name == "--help" || name == "-h") {
      noValue();
      options.action = Options::Action::help;
      return options;
    } else if (name == "--version") {
      noValue();
      options.action = Options::Action::version;
      return options;
    } else if (name == "--list") {
      noValue();
      options.action = Options::Action::list;
    } else if (name == "--verbose") {
      noValue();
      options.verbose = true;
    } else if (name == "--overwrite") {
      noValue();
      options.overwrite = true;
    } else if (name == "--device") {
      options.devices = deviceList(name, takeValue());
    } else if (name == "--frames") {
      options.frames = std::uint32_t(wholeNumber(name, takeValue(), 1, 1000000));
    } else if (name == "--exposure") {
      options.exposure = seconds(name, takeValue());
    } else if (name == "--memory") {
      options.memory = std::uint64_t(wholeNumber(name, takeValue(), 1, 1000000)) * bytesPerMB;
    } else if (name == "--timeout") {
      options.timeout = seconds(name, takeValue());
      if (*options.timeout <= 0) throw UsageError("--timeout wants more than 0 seconds");
    } else if (name == "--out") {
      options.out = takeValue();
      if (options.out.empty()) throw UsageError("--out needs a folder");
    } else if (name == "--adaptor") {
      options.adaptor = takeValue();
      if (options.adaptor.empty()) throw UsageError("--adaptor needs a file");
    } else {
      throw UsageError("unknown option \"" + args[i] + "\" (see --help)");
    }
  }
  return options;
}

std::string versionText() { return std::string("acquire ") + ACQUIRE_VERSION; }

std::string usageText() {
  return R"(Usage: acquire --list [--adaptor FILE] [--verbose]
       acquire --help | --version
       acquire [--device N[,N...]] [--frames K] [--exposure S] [--out DIR]
               [--overwrite] [--memory MB] [--timeout S] [--adaptor FILE]
               [--verbose]

Plays a user of the image acquisition toolbox over the corvid adaptor (Andor
cameras): lists the devices, or opens one or several and acquires 16-bit
frames.

  --list          print the devices the adaptor reports (with the camera
                  index and driver handle of each), their formats, video
                  sources and properties, and exit
  --device N      the device to open, an id from --list (default 0); a
                  comma-separated list of ids (--device 0,1), each once,
                  acquires from those cameras at the same time, each on a
                  device object of its own and into a folder of its own,
                  DIR/cameraN (N the device id), instead of DIR
  --frames K      frames to acquire, 1 to 1000000 (default 10)
  --exposure S    exposure time in seconds, set on the device before the
                  acquisition (its property range applies; default: the
                  device's own, 0.01)
  --out DIR       folder for the pictures, made if missing (default: the
                  current folder); acquire writes DIR/frames.tif, every frame
                  as a page of a 16-bit TIFF (a BigTIFF when the frames pass
                  4 GB), each page as its frame comes, and DIR/preview.png,
                  the last frame contrast-stretched to 8 bits
  --overwrite     replace frames.tif and preview.png when DIR (or a
                  camera's folder) has them (without it acquire refuses to
                  start, before any camera does)
  --memory MB     megabytes (1,000,000 bytes) that the frames waiting to be
                  written may take, every camera's together, 1 to 1000000
                  (default 256): the toolbox's frame memory limit. When the
                  disk is slower than the cameras, frames that come while
                  the limit is reached are dropped, not kept, and the run
                  goes on until K frames are written; their numbers in the
                  file (each page says "acquisition frame N") show the gaps.
                  It must hold at least one frame of the largest camera
  --timeout S     give up when no frame has come for S seconds (default:
                  10 s more than twice the exposure); the frames acquired
                  until then are written
  --adaptor FILE  the adaptor library (default: corvid.so, or corvid.dll on
                  Windows, next to this program)
  --verbose       show every warning the adaptor raises as it raises it
  --help          show this text and exit
  --version       show acquire's version and exit

A value that starts with "--" is given as --out=--odd-name.

While it runs, a progress line on a terminal shows the frames acquired so
far, by every camera (none when standard error goes to a file or a pipe).
At the end it prints the frames acquired, frames per second (from the
frames' timestamps), frames dropped (wanted by the toolbox but never
delivered), the frames dropped while the disk was behind (a line of its own,
only when there were any: frames delivered while --memory was full) and the
spread of the intervals between timestamps; with several cameras, each of
these lines starts with "camera N:".

With the simulated Andor driver, its environment sets the cameras:
ANDOR_SIM_CAMERAS (count), ANDOR_SIM_SIZE (WIDTHxHEIGHT, or a comma list),
ANDOR_SIM_MODE (free or deterministic), ANDOR_SIM_FRAME_PERIOD_MS.

Exit status: 0 when all K frames were acquired and written; 1 when the run
failed or stopped short (a timeout, a camera that stopped, an error; the
frames acquired until then are written, and the last line says how many of
K); 2 when the command line is wrong. With several cameras there is one
status for all: 0 only when every camera's run acquired and wrote all K
frames, and otherwise 1, with a line naming each camera that fell short.
Frames dropped on the way, by the camera or while the disk was behind,
leave the status as it is: a run that wrote all K frames exits 0, and its
figures say how many were dropped.
Every error is one line on standard error.
)";
}

} // namespace acquire
