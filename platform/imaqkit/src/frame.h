// A frame being filled by an adaptor, between makeFrame and deliverFrame.
#ifndef IMAQKIT_SRC_FRAME_H
#define IMAQKIT_SRC_FRAME_H

#include "kit_call_record.h"
#include "imaqkit.h"
#include "imaqkit_engine.h"

namespace imaqkit::detail {

/* Band count and bytes per pixel of a frame format; false for one the kit
 * does not know. */
bool describeFormat(std::int32_t format, std::int32_t *bands, std::int32_t *bytesPerPixel);

class ImageFrame final : public IImageFrame {
public:
  /* Null when the format is unknown or the frame would be impossibly large. */
  static std::unique_ptr<ImageFrame> make(KitCallRecord &calls, std::int32_t format, std::int32_t width,
                                          std::int32_t height);

  void putImage(const void *data, std::int32_t width, std::int32_t height, std::int32_t xOffset,
                std::int32_t yOffset) override;
  void putTime(double time) override;

  /* The filled frame, handed over to the buffer. */
  Frame take();
  std::size_t size() const { return frame_.bytes.size(); }

private:
  ImageFrame(KitCallRecord &calls, Frame frame) : calls_(calls), frame_(std::move(frame)) {}

  /* A new frame's memory is not zeroed when made: an adaptor that puts a
   * whole image writes every byte. It is zeroed before the first image that
   * covers less, or at delivery when no image was put. */
  void zeroUnlessWritten();

  KitCallRecord &calls_;
  Frame frame_;
  bool everyByteSet_ = false;
};

} // namespace imaqkit::detail

#endif
