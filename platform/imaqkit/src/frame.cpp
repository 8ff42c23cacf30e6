#include "frame.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace imaqkit::detail {

namespace {
// Larger than any detector we drive; keeps width x height x pixel size far
// from overflowing on a 32-bit host.
constexpr std::uint64_t maxFrameBytes = std::uint64_t(1) << 30;
} // namespace

bool describeFormat(std::int32_t format, std::int32_t *bands, std::int32_t *bytesPerPixel) {
  switch (format) {
  case IMAQ_FRAME_MONO8:
    *bands = 1;
    *bytesPerPixel = 1;
    return true;
  case IMAQ_FRAME_MONO16:
    *bands = 1;
    *bytesPerPixel = 2;
    return true;
  default:
    return false;
  }
}

std::unique_ptr<ImageFrame> ImageFrame::make(KitCallRecord &calls, std::int32_t format, std::int32_t width,
                                             std::int32_t height) {
  Frame frame;
  if (!describeFormat(format, &frame.bands, &frame.bytesPerPixel)) {
    adaptorWarn("imaqkit:engine:unknownFormat", "makeFrame: unknown frame format %d (0x%08X).",
                static_cast<int>(format), static_cast<unsigned>(format));
    return nullptr;
  }
  std::uint64_t bytes = std::uint64_t(width > 0 ? width : 0) * std::uint64_t(height > 0 ? height : 0) *
                        std::uint64_t(frame.bands * frame.bytesPerPixel);
  if (width <= 0 || height <= 0 || bytes > maxFrameBytes) {
    adaptorWarn("imaqkit:engine:badFrameSize", "makeFrame: no frame of %d x %d pixels can be made.",
                static_cast<int>(width), static_cast<int>(height));
    return nullptr;
  }
  frame.format = format;
  frame.width = width;
  frame.height = height;
  frame.time = std::numeric_limits<double>::quiet_NaN();
  try {
    frame.bytes.resize(static_cast<std::size_t>(bytes));
  } catch (const std::bad_alloc &) {
    adaptorWarn("imaqkit:engine:outOfMemory", "makeFrame: no memory for a frame of %d x %d pixels.",
                static_cast<int>(width), static_cast<int>(height));
    return nullptr;
  }
  return std::unique_ptr<ImageFrame>(new ImageFrame(calls, std::move(frame)));
}

void ImageFrame::putImage(const void *data, std::int32_t width, std::int32_t height, std::int32_t xOffset,
                          std::int32_t yOffset) {
  calls_.note("putImage");
  bool inside = data != nullptr && width >= 0 && height >= 0 && xOffset >= 0 && yOffset >= 0 &&
                std::int64_t(xOffset) + width <= frame_.width &&
                std::int64_t(yOffset) + height <= frame_.height;
  if (!inside) {
    adaptorWarn("imaqkit:engine:badImageRegion",
                "putImage: %d x %d pixels at (%d, %d) do not fit a %d x %d frame; nothing copied.",
                static_cast<int>(width), static_cast<int>(height), static_cast<int>(xOffset),
                static_cast<int>(yOffset), static_cast<int>(frame_.width), static_cast<int>(frame_.height));
    return;
  }
  if (width == 0 || height == 0) return;
  if (xOffset == 0 && yOffset == 0 && width == frame_.width && height == frame_.height)
    everyByteSet_ = true;
  else
    zeroUnlessWritten();
  const std::size_t pixel = std::size_t(frame_.bands) * std::size_t(frame_.bytesPerPixel);
  const std::size_t row = std::size_t(width) * pixel;
  const auto *source = static_cast<const std::uint8_t *>(data);
  for (std::int32_t y = 0; y < height; ++y) {
    std::size_t at = (std::size_t(yOffset + y) * std::size_t(frame_.width) + std::size_t(xOffset)) * pixel;
    std::memcpy(&frame_.bytes[at], source + std::size_t(y) * row, row);
  }
}

void ImageFrame::zeroUnlessWritten() {
  if (everyByteSet_) return;
  std::memset(frame_.bytes.data(), 0, frame_.bytes.size());
  everyByteSet_ = true;
}

Frame ImageFrame::take() {
  zeroUnlessWritten();
  return std::move(frame_);
}

void ImageFrame::putTime(double time) {
  calls_.note("putTime");
  frame_.time = time;
}

} // namespace imaqkit::detail
