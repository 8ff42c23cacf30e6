#include "andor_sim.h"

#include "andor_first_images.h"
#include "sim_environment.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace andor_sim {
namespace {

constexpr double exposureTick = 1e-5;    // the camera's exposure clock, seconds
constexpr double minimumExposure = 1e-4; // seconds
constexpr double maximumExposure = 3600;
constexpr int32_t largestSide = 65535;
constexpr int32_t firstEnvironmentHandle = 100;

double usedExposure(float seconds) {
  const double ticks = std::nearbyint(double(seconds) / exposureTick);
  return std::max(ticks * exposureTick, minimumExposure);
}

// ANDOR_SIM_FAIL: "OPERATION[=STATUS][:once]", several separated by commas.
// Each is injected for every call (or the next one only); the status is
// ANDOR_SIM_NO_CAMERA unless given. An entry that does not parse or names no
// operation is reported on stderr and left out.
void injectFromEnvironment(sim_common::StatusInjector &injector) {
  std::string rest = sim_common::environmentText("ANDOR_SIM_FAIL");
  while (!rest.empty()) {
    const size_t comma = rest.find(',');
    const std::string entry = rest.substr(0, comma);
    rest = comma == std::string::npos ? std::string() : rest.substr(comma + 1);
    std::string operation = entry;
    bool always = true;
    const size_t colon = operation.find(':');
    if (colon != std::string::npos) {
      always = operation.substr(colon + 1) != "once";
      if (always && operation.substr(colon + 1) != "always")
        operation.clear();
      else
        operation.resize(colon);
    }
    long long status = ANDOR_SIM_NO_CAMERA;
    const size_t equals = operation.find('=');
    if (equals != std::string::npos) {
      const std::string number = operation.substr(equals + 1);
      char *end = nullptr;
      status = std::strtoll(number.c_str(), &end, 10);
      if (number.empty() || *end != '\0' || status < INT32_MIN || status > INT32_MAX)
        operation.clear();
      else
        operation.resize(equals);
    }
    if (operation.empty() || !injector.inject(operation.c_str(), int32_t(status), always))
      std::fprintf(stderr, "ANDOR_SIM_FAIL: '%s' is not OPERATION[=STATUS][:once]; left out\n",
                   entry.c_str());
  }
}

} // namespace

Camera::Camera(int32_t handle, int32_t width, int32_t height, uint32_t ringCapacity)
    : handle(handle), width(width), height(height), region{1, 1, 1, width, 1, height},
      exposure(usedExposure(0.01f)), ringCapacity(ringCapacity) {}

int32_t Camera::regionWidth() const { return (region[3] - region[2] + 1) / region[0]; }
int32_t Camera::regionHeight() const { return (region[5] - region[4] + 1) / region[1]; }
uint64_t Camera::regionPixels() const { return uint64_t(regionWidth()) * uint64_t(regionHeight()); }

AndorSim &AndorSim::instance() { return sim_common::processWide<AndorSim>(); }

AndorSim::AndorSim()
    : RecordedDriver{"initializeDriver",  "shutDownDriver",        "getCameraCount",   "getCameraHandle",
                     "selectCamera",      "getDetectorSize",       "setImageRegion",   "driverSetting123",
                     "driverSetting152",  "driverSetting73",       "driverSetting131", "driverSetting219",
                     "setExposureTime",   "getAcquisitionTimings", "startAcquisition", "waitForAcquisition",
                     "getNewImageRange",  "getImages16",           "abortAcquisition", "setDriverEvent",
                     "readOldestImage16", "readOldestImage32"} {
  applyEnvironment();
}

void AndorSim::applyEnvironment() {
  using namespace sim_common;
  const long count = environmentInteger("ANDOR_SIM_CAMERAS", 1, 0, 64);
  const auto sizes = environmentSizes("ANDOR_SIM_SIZE", ImageSize{512, 512});
  const double periodMs = environmentNumber("ANDOR_SIM_FRAME_PERIOD_MS", 0, 0, 3600e3);
  defaultRingCapacity_ = uint32_t(environmentInteger("ANDOR_SIM_RING", 16, 1, 1 << 20));
  const auto firstNumbers = firstImagesFromEnvironment();
  const SceneMotion motion = environmentSceneMotion("ANDOR_SIM_MOTION", "ANDOR_SIM_SEED");
  freeRunning_ = environmentFreeRunning("ANDOR_SIM_MODE", true);
  for (long i = 0; i < count; ++i) {
    const ImageSize size = sizeFor(sizes, size_t(i));
    cameras_.push_back(std::make_unique<Camera>(firstEnvironmentHandle + int32_t(i), int32_t(size.width),
                                                int32_t(size.height), defaultRingCapacity_));
    cameras_.back()->framePeriod = periodMs / 1000;
    cameras_.back()->firstNumberSet = firstImageFor(firstNumbers, size_t(i));
    cameras_.back()->motionSet = motion;
  }
  if (!cameras_.empty()) current_ = cameras_.front()->handle;
  injectFromEnvironment(injector);
}

int32_t AndorSim::initializeDriver() {
  Lock lock(mutex_);
  initialized_ = true;
  return ANDOR_STATUS_SUCCESS;
}

int32_t AndorSim::shutDownDriver() {
  Lock lock(mutex_);
  stopAll(lock);
  initialized_ = false;
  return ANDOR_STATUS_SUCCESS;
}

int32_t AndorSim::getCameraCount(int32_t *count) {
  if (!count) return ANDOR_SIM_INVALID_P1;
  Lock lock(mutex_);
  *count = int32_t(cameras_.size());
  return ANDOR_STATUS_SUCCESS;
}

int32_t AndorSim::getCameraHandle(int32_t index, int32_t *handle) {
  Lock lock(mutex_);
  if (index < 0 || size_t(index) >= cameras_.size()) return ANDOR_SIM_INVALID_P1;
  if (!handle) return ANDOR_SIM_INVALID_P2;
  *handle = cameras_[size_t(index)]->handle;
  return ANDOR_STATUS_SUCCESS;
}

int32_t AndorSim::selectCamera(int32_t handle) {
  Lock lock(mutex_);
  if (!find(handle)) return ANDOR_SIM_INVALID_P1;
  current_ = handle;
  return ANDOR_STATUS_SUCCESS;
}

int32_t AndorSim::getDetectorSize(int32_t *width, int32_t *height) {
  Lock lock(mutex_);
  const Camera *camera = current();
  if (!camera) return ANDOR_SIM_NO_CAMERA;
  if (!width) return ANDOR_SIM_INVALID_P1;
  if (!height) return ANDOR_SIM_INVALID_P2;
  *width = camera->width;
  *height = camera->height;
  return ANDOR_STATUS_SUCCESS;
}

int32_t AndorSim::setImageRegion(const int32_t region[6]) {
  Lock lock(mutex_);
  Camera *camera = current();
  if (!camera) return ANDOR_SIM_NO_CAMERA;
  if (camera->acquiring) return ANDOR_SIM_ACQUIRING;
  const int32_t columnBinning = region[0], rowBinning = region[1];
  const int32_t firstColumn = region[2], lastColumn = region[3];
  const int32_t firstRow = region[4], lastRow = region[5];
  // A binning wider than the region would leave no pixel.
  if (columnBinning < 1 || columnBinning > camera->width) return ANDOR_SIM_INVALID_P1;
  if (rowBinning < 1 || rowBinning > camera->height) return ANDOR_SIM_INVALID_P2;
  if (firstColumn < 1 || firstColumn > camera->width) return ANDOR_SIM_INVALID_P3;
  if (lastColumn < firstColumn || lastColumn > camera->width || lastColumn - firstColumn + 1 < columnBinning)
    return ANDOR_SIM_INVALID_P4;
  if (firstRow < 1 || firstRow > camera->height) return ANDOR_SIM_INVALID_P5;
  if (lastRow < firstRow || lastRow > camera->height || lastRow - firstRow + 1 < rowBinning)
    return ANDOR_SIM_INVALID_P6;
  std::copy(region, region + 6, camera->region);
  return ANDOR_STATUS_SUCCESS;
}

int32_t AndorSim::setSetting(int32_t Camera::*setting, int32_t value) {
  Lock lock(mutex_);
  Camera *camera = current();
  if (!camera) return ANDOR_SIM_NO_CAMERA;
  camera->*setting = value;
  return ANDOR_STATUS_SUCCESS;
}

int32_t AndorSim::setSetting219(const int32_t values[5]) {
  Lock lock(mutex_);
  Camera *camera = current();
  if (!camera) return ANDOR_SIM_NO_CAMERA;
  std::copy(values, values + 5, camera->setting219);
  return ANDOR_STATUS_SUCCESS;
}

int32_t AndorSim::setExposureTime(float seconds) {
  Lock lock(mutex_);
  Camera *camera = current();
  if (!camera) return ANDOR_SIM_NO_CAMERA;
  if (camera->acquiring) return ANDOR_SIM_ACQUIRING;
  if (!(seconds >= 0 && seconds <= maximumExposure)) return ANDOR_SIM_INVALID_P1;
  camera->exposureSet = seconds;
  camera->exposure = usedExposure(seconds);
  return ANDOR_STATUS_SUCCESS;
}

int32_t AndorSim::getAcquisitionTimings(float *exposure, float *accumulate, float *kinetic) {
  Lock lock(mutex_);
  const Camera *camera = current();
  if (!camera) return ANDOR_SIM_NO_CAMERA;
  if (!exposure) return ANDOR_SIM_INVALID_P1;
  if (!accumulate) return ANDOR_SIM_INVALID_P2;
  if (!kinetic) return ANDOR_SIM_INVALID_P3;
  const double period = camera->framePeriod > 0 ? camera->framePeriod : camera->exposure;
  *exposure = float(camera->exposure);
  *accumulate = float(period);
  *kinetic = float(period);
  return ANDOR_STATUS_SUCCESS;
}

int32_t AndorSim::setDriverEvent(HANDLE event) {
  Lock lock(mutex_);
  Camera *camera = current();
  if (!camera) return ANDOR_SIM_NO_CAMERA;
  // Set under the lock that produceImage holds while it signals: once this
  // returns, no thread of the driver still holds the earlier event.
  camera->event = event;
  changed_.notify_all();
  return ANDOR_STATUS_SUCCESS;
}

bool AndorSim::reset() {
  Lock lock(mutex_);
  // A free-running thread cannot wait for itself to end.
  for (const auto &camera : cameras_)
    if (sim_common::isCallingThread(camera->producer)) return false;
  stopAll(lock);
  cameras_.clear();
  current_ = 0;
  initialized_ = false;
  freeRunning_ = false;
  defaultRingCapacity_ = 16;
  forgetCalls();
  return true;
}

bool AndorSim::configureFromEnvironment() {
  if (!reset()) return false;
  Lock lock(mutex_);
  applyEnvironment();
  return true;
}

int32_t AndorSim::addCamera(int32_t handle, int32_t width, int32_t height) {
  Lock lock(mutex_);
  if (handle == 0 || find(handle)) return ANDOR_SIM_INVALID_P1;
  if (width < 1 || width > largestSide) return ANDOR_SIM_INVALID_P2;
  if (height < 1 || height > largestSide) return ANDOR_SIM_INVALID_P3;
  cameras_.push_back(std::make_unique<Camera>(handle, width, height, defaultRingCapacity_));
  if (!current()) current_ = handle;
  return ANDOR_STATUS_SUCCESS;
}

// A setting of one camera, for its next start: ANDOR_SIM_INVALID_P1 when
// there is no such camera, P2 when the value is not valid.
template <typename Apply> int32_t AndorSim::setOnCamera(int32_t handle, bool valid, Apply apply) {
  Lock lock(mutex_);
  Camera *camera = find(handle);
  if (!camera) return ANDOR_SIM_INVALID_P1;
  if (!valid) return ANDOR_SIM_INVALID_P2;
  apply(*camera);
  return ANDOR_STATUS_SUCCESS;
}

int32_t AndorSim::setRingCapacity(int32_t handle, uint32_t images) {
  return setOnCamera(handle, images >= 1, [&](Camera &camera) { camera.ringCapacity = images; });
}

int32_t AndorSim::setFramePeriod(int32_t handle, double seconds) {
  return setOnCamera(handle, seconds >= 0 && seconds <= maximumExposure,
                     [&](Camera &camera) { camera.framePeriod = seconds; });
}

int32_t AndorSim::setFirstImageNumber(int32_t handle, uint32_t number) {
  return setOnCamera(handle, true, [&](Camera &camera) { camera.firstNumberSet = number; });
}

int32_t AndorSim::setSceneMotion(int32_t handle, double rate) {
  return setOnCamera(handle, sim_common::SceneMotion::validRate(rate),
                     [&](Camera &camera) { camera.motionSet.rate = rate; });
}

int32_t AndorSim::setSceneSeed(int32_t handle, uint32_t seed) {
  return setOnCamera(handle, true, [&](Camera &camera) { camera.motionSet.seed = seed; });
}

int32_t AndorSim::setStillPicture(int32_t handle, bool still) {
  return setOnCamera(handle, true, [&](Camera &camera) { camera.stillPictureSet = still; });
}

void AndorSim::setFreeRunning(bool freeRunning) {
  Lock lock(mutex_);
  freeRunning_ = freeRunning;
}

int32_t AndorSim::getCamera(int32_t handle, AndorSimCameraState *state) {
  Lock lock(mutex_);
  const Camera *camera = find(handle);
  if (!camera || !state) return ANDOR_SIM_INVALID_P1;
  AndorSimCameraState out{};
  out.handle = camera->handle;
  out.detectorWidth = camera->width;
  out.detectorHeight = camera->height;
  std::copy(camera->region, camera->region + 6, out.region);
  out.setting123 = camera->setting123;
  out.setting152 = camera->setting152;
  out.setting73 = camera->setting73;
  out.setting131 = camera->setting131;
  std::copy(camera->setting219, camera->setting219 + 5, out.setting219);
  out.exposureSet = camera->exposureSet;
  out.exposureEffective = float(camera->exposure);
  out.framePeriod = camera->framePeriod > 0 ? camera->framePeriod : camera->exposure;
  out.acquiring = camera->acquiring ? 1 : 0;
  out.lastImage = driverNumber(*camera, camera->made - 1); // made 0: the number before the first
  out.ringCapacity = camera->ringCapacity;
  out.event = camera->event;
  out.counters = camera->counters;
  *state = out;
  return ANDOR_STATUS_SUCCESS;
}

int32_t AndorSim::currentCamera() {
  Lock lock(mutex_);
  return current() ? current_ : 0;
}

bool AndorSim::initialized() {
  Lock lock(mutex_);
  return initialized_;
}

} // namespace andor_sim
