#include "synthetic_scene.h"

#include <algorithm>

namespace camsim {
namespace {

constexpr size_t noiseTableSize = 65536; // a power of two: offsets wrap by mask

uint64_t mix(uint64_t value) {
  value ^= value >> 33;
  value *= 0xff51afd7ed558ccdull;
  value ^= value >> 33;
  value *= 0xc4ceb9fe1a85ec53ull;
  value ^= value >> 33;
  return value;
}

struct Blob {
  double x, y;      // centre, as fractions of width and height
  double radius;    // as a fraction of the smaller side
  double amplitude; // as a fraction of the brightest value
};

constexpr Blob blobs[] = {
    {0.25, 0.30, 0.10, 0.60}, {0.70, 0.22, 0.06, 0.85}, {0.52, 0.60, 0.15, 0.40},
    {0.20, 0.80, 0.05, 0.95}, {0.82, 0.74, 0.09, 0.55},
};

} // namespace

SyntheticScene::SyntheticScene(uint32_t width, uint32_t height, uint32_t bitDepth)
    : width_(width), height_(height), bitDepth_(std::min<uint32_t>(std::max<uint32_t>(bitDepth, 8), 16)),
      base_(size_t(width) * height), noise_(noiseTableSize) {
  const uint32_t maxValue = (1u << bitDepth_) - 1;
  const uint32_t noiseMax = (1u << (bitDepth_ / 2 - 1)) - 1;
  const double top = maxValue - noiseMax;

  uint64_t state = 0x9e3779b97f4a7c15ull;
  for (auto &value : noise_) {
    state = mix(state + 0x9e3779b97f4a7c15ull);
    value = uint16_t(state % (noiseMax + 1));
  }

  if (base_.empty()) return;
  const double background = top / 16;
  const double slope = top / 8;
  for (uint32_t y = 0; y < height_; ++y)
    for (uint32_t x = 0; x < width_; ++x)
      base_[size_t(y) * width_ + x] =
          uint16_t(background + slope * (double(x) / width_ + double(y) / height_) / 2);

  // Each blob touches only its bounding box: a large scene stays cheap.
  const double side = std::min(width_, height_);
  for (const Blob &blob : blobs) {
    const double radius = std::max(1.0, blob.radius * side);
    const double cx = blob.x * width_, cy = blob.y * height_;
    const long x0 = std::max(0L, long(cx - radius)), x1 = std::min(long(width_) - 1, long(cx + radius));
    const long y0 = std::max(0L, long(cy - radius)), y1 = std::min(long(height_) - 1, long(cy + radius));
    for (long y = y0; y <= y1; ++y)
      for (long x = x0; x <= x1; ++x) {
        const double dx = x - cx, dy = y - cy;
        const double t = (dx * dx + dy * dy) / (radius * radius);
        if (t < 1) {
          uint16_t &value = base_[size_t(y) * width_ + x];
          value = uint16_t(std::min(top, value + blob.amplitude * top * (1 - t) * (1 - t)));
        }
      }
  }
  if (bitDepth_ == 8) {
    base8_.assign(base_.begin(), base_.end());
    noise8_.assign(noise_.begin(), noise_.end());
  }
}

namespace {

template <typename Pixel, typename Source>
void addRun(Pixel *out, const Source *base, const Source *noise, size_t run) {
  for (size_t i = 0; i < run; ++i) out[i] = Pixel(base[i] + noise[i]);
}

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
// The same loop in 32-byte vectors, for processors that have them: the fill
// of a large image then costs about what a memcpy of it does.
template <typename Pixel, typename Source>
__attribute__((target("avx2"))) void addRunWide(Pixel *out, const Source *base, const Source *noise,
                                                size_t run) {
  for (size_t i = 0; i < run; ++i) out[i] = Pixel(base[i] + noise[i]);
}
bool wideVectors() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#else
template <typename Pixel, typename Source>
void addRunWide(Pixel *out, const Source *base, const Source *noise, size_t run) {
  addRun(out, base, noise, run);
}
bool wideVectors() { return false; }
#endif

} // namespace

template <typename Pixel, typename Source>
void SyntheticScene::renderInto(Pixel *pixels, const Source *sceneBase, const Source *noiseTable,
                                uint32_t sequence) const {
  const size_t count = base_.size();
  const bool wide = wideVectors();
  size_t offset = size_t(mix(sequence)) & (noiseTableSize - 1);
  // Contiguous runs of scene and noise, so the compiler vectorises the add.
  for (size_t done = 0; done < count;) {
    const size_t run = std::min(count - done, noiseTableSize - offset);
    if (wide)
      addRunWide(pixels + done, sceneBase + done, noiseTable + offset, run);
    else
      addRun(pixels + done, sceneBase + done, noiseTable + offset, run);
    done += run;
    offset = 0;
  }
}

void SyntheticScene::render16(uint16_t *pixels, uint32_t sequence) const {
  renderInto(pixels, base_.data(), noise_.data(), sequence);
  const uint16_t stamp[2] = {uint16_t(sequence & 0xFFFF), uint16_t(sequence >> 16)};
  std::copy(stamp, stamp + std::min<size_t>(2, pixelCount()), pixels);
}

void SyntheticScene::render8(uint8_t *pixels, uint32_t sequence) const {
  if (!base8_.empty())
    renderInto(pixels, base8_.data(), noise8_.data(), sequence);
  else
    renderInto(pixels, base_.data(), noise_.data(), sequence); // a deeper scene, narrowed
  const uint8_t stamp[4] = {uint8_t(sequence), uint8_t(sequence >> 8), uint8_t(sequence >> 16),
                            uint8_t(sequence >> 24)};
  std::copy(stamp, stamp + std::min<size_t>(4, pixelCount()), pixels);
}

void SyntheticScene::render(void *image, uint32_t sequence) const {
  if (bytesPerPixel() == 1)
    render8(static_cast<uint8_t *>(image), sequence);
  else
    render16(static_cast<uint16_t *>(image), sequence);
}

} // namespace camsim
