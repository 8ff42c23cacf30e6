#include "progress.h"

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace acquire {

void Progress::show(const std::vector<std::uint32_t> &frames, bool force) {
  if (stream_ == nullptr || frames.empty()) return;
  std::uint64_t sum = 0;
  for (std::uint32_t count : frames) sum += count;
  if ((frames == frames_ && sum != 0) || (!force && Clock::now() - shown_ < std::chrono::milliseconds(100)))
    return;
  shown_ = Clock::now();
  frames_ = frames;
  const double percent = 100.0 * double(sum) / (double(total_) * double(frames.size()));
  if (cameras_.size() != frames.size()) {
    std::fprintf(stream_, "\racquiring: %u/%u frames (%3.0f%%)", static_cast<unsigned>(frames[0]),
                 static_cast<unsigned>(total_), percent);
  } else {
    std::fprintf(stream_, "\racquiring:");
    for (std::size_t i = 0; i < frames.size(); ++i)
      std::fprintf(stream_, "%s camera %d %u/%u", i == 0 ? "" : ",", static_cast<int>(cameras_[i]),
                   static_cast<unsigned>(frames[i]), static_cast<unsigned>(total_));
    std::fprintf(stream_, " frames (%3.0f%%)", percent);
  }
  std::fflush(stream_);
}

void Progress::end() {
  if (stream_ != nullptr) std::fprintf(stream_, "\n");
}

bool Progress::isTerminal(std::FILE *stream) {
#if defined(_WIN32)
  // _isatty is true of every character device, NUL among them; only a
  // console has a console mode.
  const int descriptor = _fileno(stream);
  DWORD mode = 0;
  return _isatty(descriptor) != 0 &&
         GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(descriptor)), &mode) != 0;
#else
  return isatty(fileno(stream)) != 0;
#endif
}

} // namespace acquire
