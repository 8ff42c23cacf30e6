#include "recording.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace acquire {
namespace {

bool isPlain16(const imaqkit::Frame &frame) {
  return frame.bytesPerPixel == 2 && frame.bands == 1 &&
         frame.bytes.size() == std::size_t(frame.width) * std::size_t(frame.height) * 2;
}

void convert(const imaqkit::Frame &frame, std::vector<std::uint16_t> &pixels) {
  pixels.resize(std::size_t(frame.width) * std::size_t(frame.height));
  for (std::int32_t y = 0; y < frame.height; ++y)
    for (std::int32_t x = 0; x < frame.width; ++x)
      pixels[std::size_t(y) * std::size_t(frame.width) + std::size_t(x)] = std::uint16_t(frame.pixel(x, y));
}

} // namespace

Recording::Recording(std::unique_ptr<ByteSink> sink, TiffWriter::Format format, std::uint32_t planned)
    : tiff_(std::move(sink), format), planned_(planned) {}

std::string Recording::longestDescription() {
  return "frame 1000000 of 1000000, acquisition frame 18446744073709551616, time 1000000.000000 s";
}

void Recording::add(imaqkit::Frame frame) {
  // The frame before goes first: one frame in hand, not two, while the disk
  // takes this one. A write that fails ends the run with no preview anyway.
  last_ = imaqkit::Frame();
  char description[128];
  std::snprintf(description, sizeof description, "frame %u of %u, acquisition frame %llu, time %.6f s",
                static_cast<unsigned>(stamps_.size() + 1), static_cast<unsigned>(planned_),
                static_cast<unsigned long long>(frame.number + 1), frame.time);
  const std::uint16_t *pixels = nullptr;
  if (isPlain16(frame)) {
    // No copy: on the little-endian hosts we build for the writer hands
    // these on as bytes (the engine's frame memory is malloc'd, so aligned).
    pixels = reinterpret_cast<const std::uint16_t *>(frame.bytes.data());
  } else {
    convert(frame, converted_);
    pixels = converted_.data();
  }
  tiff_.addPage(pixels, std::uint32_t(frame.width), std::uint32_t(frame.height), description);
  stamps_.push_back(frame.time);
  last_ = std::move(frame);
}

const std::uint16_t *Recording::lastPixels() {
  if (last_.width <= 0 || last_.height <= 0) return nullptr;
  // Copied, not cast: the frame's bytes are bytes, and are read here as
  // 16-bit values.
  if (isPlain16(last_)) {
    converted_.resize(last_.bytes.size() / 2);
    std::memcpy(converted_.data(), last_.bytes.data(), last_.bytes.size());
  }
  return converted_.data();
}

} // namespace acquire
