#include "synthetic_scene.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace sim_common {
namespace {

constexpr size_t noiseTableSize = 65536; // a power of two: offsets wrap by mask
constexpr int spotCount = 8;
constexpr double blinkLength = 24; // pixels travelled between a spot's chances to blink
constexpr double pi = 3.14159265358979323846;
constexpr size_t blockPixels = 16384; // rows rendered together stay in the cache

uint64_t mix(uint64_t value) {
  value ^= value >> 33;
  value *= 0xff51afd7ed558ccdull;
  value ^= value >> 33;
  value *= 0xc4ceb9fe1a85ec53ull;
  value ^= value >> 33;
  return value;
}

// The next of a seeded sequence of numbers in [0, 1).
double uniform(uint64_t &state) {
  state = mix(state + 0x9e3779b97f4a7c15ull);
  return double(state >> 11) * (1.0 / 9007199254740992.0);
}

// Where a spot's box begins along one side, its start plus the distance
// travelled, wrapped so the spot leaves over one edge and comes back over
// the other: from -side (just out before the start) to length - 1.
long wrappedStart(double start, double travelled, long length, long side) {
  const double span = double(length + side);
  double place = std::fmod(start + travelled, span);
  if (place < 0) place += span;
  return long(place) - side;
}

} // namespace

SyntheticScene::SyntheticScene(uint32_t width, uint32_t height, uint32_t bitDepth, SceneMotion motion)
    : width_(width), height_(height), bitDepth_(std::min<uint32_t>(std::max<uint32_t>(bitDepth, 8), 16)),
      motion_(motion), maxValue_((1u << bitDepth_) - 1), noiseMax_((1u << (bitDepth_ / 2 - 1)) - 1),
      base_(size_t(width) * height), noise_(noiseTableSize) {
  const double top = maxValue_ - noiseMax_;
  uint64_t state = mix(uint64_t(motion_.seed) + 0x2545f4914f6cdd1dull);
  for (auto &value : noise_) value = uint16_t(uniform(state) * (noiseMax_ + 1));

  const double background = top / 16;
  const double slope = top / 8;
  for (uint32_t y = 0; y < height_; ++y)
    for (uint32_t x = 0; x < width_; ++x)
      base_[size_t(y) * width_ + x] =
          uint16_t(background + slope * (double(x) / width_ + double(y) / height_) / 2);

  const double side = std::min(width_, height_);
  for (int i = 0; i < spotCount && !base_.empty(); ++i) {
    Spot spot;
    const double radius = std::max(1.0, (0.02 + 0.05 * uniform(state)) * side);
    const double brightness = (0.4 + 0.55 * uniform(state)) * top;
    addSpot(spot, radius, brightness, state);
    spots_.push_back(std::move(spot));
  }
  // A still scene is drawn once, into the background (leaving room for the
  // noise): its images cost no more than the noise.
  if (motion_.rate == 0)
    for (const Spot &spot : spots_)
      addSpotRows(base_.data(), Placement{&spot, long(spot.x) - spot.side / 2, long(spot.y) - spot.side / 2},
                  0, long(height_), uint32_t(top));
  if (bitDepth_ == 8) {
    base8_.assign(base_.begin(), base_.end());
    noise8_.assign(noise_.begin(), noise_.end());
  }
}

void SyntheticScene::addSpot(Spot &spot, double radius, double brightness, uint64_t &state) {
  spot.x = uniform(state) * width_;
  spot.y = uniform(state) * height_;
  const double heading = 2 * pi * uniform(state);
  spot.dx = std::cos(heading);
  spot.dy = std::sin(heading);
  spot.blinkPhase = uniform(state) * blinkLength;
  const long reach = long(std::ceil(radius));
  spot.side = 2 * reach + 1;
  spot.shape.assign(size_t(spot.side * spot.side), 0);
  for (long y = -reach; y <= reach; ++y)
    for (long x = -reach; x <= reach; ++x) {
      const double t = double(x * x + y * y) / (radius * radius);
      if (t < 1)
        spot.shape[size_t((y + reach) * spot.side + x + reach)] = uint16_t(brightness * (1 - t) * (1 - t));
    }
}

// Adds the rows from rowBegin to rowEnd (less those outside the spot's box
// or the image) of the spot's shape, its box's top left corner at the
// placement, saturating at largest.
template <typename Pixel>
void SyntheticScene::addSpotRows(Pixel *pixels, const Placement &placed, long rowBegin, long rowEnd,
                                 uint32_t largest) const {
  const Spot &spot = *placed.spot;
  const long x0 = std::max(0L, placed.left), x1 = std::min(long(width_), placed.left + spot.side);
  const long y0 = std::max(rowBegin, placed.top), y1 = std::min(rowEnd, placed.top + spot.side);
  for (long y = y0; y < y1; ++y) {
    Pixel *out = pixels + size_t(y) * width_ + x0;
    const uint16_t *shape = spot.shape.data() + size_t((y - placed.top) * spot.side + (x0 - placed.left));
    for (long i = 0; i < x1 - x0; ++i) {
      const uint32_t value = uint32_t(out[i]) + shape[i];
      out[i] = Pixel(value < largest ? value : largest);
    }
  }
}

size_t SyntheticScene::placeSpots(uint32_t sequence, Placement *placed) const {
  if (motion_.rate == 0) return 0; // drawn into the background
  const double travelled = double(sequence) * motion_.rate;
  size_t count = 0;
  for (size_t i = 0; i < spots_.size(); ++i) {
    const Spot &spot = spots_[i];
    // Now and then a spot goes dark for a while: a chance in four per
    // stretch of its path, drawn from the seed.
    const auto stretch = uint64_t(int64_t(std::floor((travelled + spot.blinkPhase) / blinkLength)));
    if ((mix(mix(motion_.seed * 0x9e3779b97f4a7c15ull + i) ^ stretch) & 3) == 0) continue;
    placed[count++] =
        Placement{&spot, wrappedStart(spot.x - spot.side / 2, spot.dx * travelled, long(width_), spot.side),
                  wrappedStart(spot.y - spot.side / 2, spot.dy * travelled, long(height_), spot.side)};
  }
  return count;
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
  Placement placed[spotCount];
  const size_t placedCount = placeSpots(sequence, placed);
  const uint32_t largest = std::min<uint32_t>(maxValue_, std::numeric_limits<Pixel>::max());
  const bool wide = wideVectors();
  size_t offset = size_t(mix(sequence ^ (uint64_t(motion_.seed) << 32))) & (noiseTableSize - 1);
  // A block of rows at a time: contiguous runs of scene and noise, so the
  // compiler vectorises the add, then the spots over those rows while they
  // are still in the cache.
  const long rowsPerBlock = long(std::max<size_t>(1, blockPixels / std::max<uint32_t>(1, width_)));
  for (long row = 0; row < long(height_); row += rowsPerBlock) {
    const long rowEnd = std::min(long(height_), row + rowsPerBlock);
    const size_t end = size_t(rowEnd) * width_;
    for (size_t done = size_t(row) * width_; done < end;) {
      const size_t run = std::min(end - done, noiseTableSize - offset);
      if (wide)
        addRunWide(pixels + done, sceneBase + done, noiseTable + offset, run);
      else
        addRun(pixels + done, sceneBase + done, noiseTable + offset, run);
      done += run;
      offset = (offset + run) & (noiseTableSize - 1);
    }
    for (size_t i = 0; i < placedCount; ++i) addSpotRows(pixels, placed[i], row, rowEnd, largest);
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

} // namespace sim_common
