// The frames of one run on their way to the TIFF: each written as a page the
// moment it is handed over, so memory holds one frame whatever the run's
// length. Only the last frame (for the preview) and the timestamps stay.
#ifndef ACQUIRE_RECORDING_H
#define ACQUIRE_RECORDING_H

#include "imaqkit_engine.h"
#include "tiff_writer.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace acquire {

class Recording {
public:
  /* planned is the frame count asked for, which the pages' descriptions name. */
  Recording(std::unique_ptr<ByteSink> sink, TiffWriter::Format format, std::uint32_t planned);

  /* The longest description a page of a run of up to `planned` frames gets,
   * for TiffWriter::formatFor. */
  static std::string longestDescription();

  /* Writes frame as the next page; throws std::runtime_error when it cannot. */
  void add(imaqkit::Frame frame);
  void close() { tiff_.close(); }

  std::uint32_t frames() const { return tiff_.pages(); }
  const std::vector<double> &stamps() const { return stamps_; }
  const TiffWriter &tiff() const { return tiff_; }
  /* The last frame's pixels, row by row (lastWidth x lastHeight of them);
   * null before the first frame. */
  const std::uint16_t *lastPixels();
  std::int32_t lastWidth() const { return last_.width; }
  std::int32_t lastHeight() const { return last_.height; }

private:
  TiffWriter tiff_;
  std::uint32_t planned_;
  std::vector<double> stamps_;
  imaqkit::Frame last_;                  // kept as delivered: no copy per frame
  std::vector<std::uint16_t> converted_; // the last frame, when it is not one band of 16 bits
};

} // namespace acquire

#endif
