#include "progress.h"

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace acquire {

void Progress::show(std::uint32_t frames, bool force) {
  if (stream_ == nullptr || (frames == frames_ && frames != 0) ||
      (!force && Clock::now() - shown_ < std::chrono::milliseconds(100)))
    return;
  shown_ = Clock::now();
  frames_ = frames;
  std::fprintf(stream_, "\racquiring: %u/%u frames (%3.0f%%)", frames, total_, 100.0 * frames / total_);
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
