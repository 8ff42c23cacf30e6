// The driver's operations, with C linkage and the driver's calling
// convention. Each logs its call, answers with a status a test injected if
// there is one, and otherwise hands over to the driver's state.
#include "andor_sim.h"

using andor_sim::AndorSim;
using sim_common::DriverCallText;

namespace {

AndorSim &sim() { return AndorSim::instance(); }

} // namespace

extern "C" {

int32_t WINAPI initializeDriver(const char *directory) {
  int32_t status;
  if (sim().intercept(DriverCallText(__func__).quoted(directory), __func__, status)) return status;
  return sim().initializeDriver();
}

int32_t WINAPI shutDownDriver(void) {
  int32_t status;
  if (sim().intercept(DriverCallText(__func__), __func__, status)) return status;
  return sim().shutDownDriver();
}

int32_t WINAPI getCameraCount(int32_t *count) {
  int32_t status;
  if (sim().intercept(DriverCallText(__func__).arg(count), __func__, status)) return status;
  return sim().getCameraCount(count);
}

int32_t WINAPI getCameraHandle(int32_t index, int32_t *handle) {
  int32_t status;
  if (sim().intercept(DriverCallText(__func__).arg(index).arg(handle), __func__, status)) return status;
  return sim().getCameraHandle(index, handle);
}

int32_t WINAPI selectCamera(int32_t handle) {
  int32_t status;
  if (sim().intercept(DriverCallText(__func__).arg(handle), __func__, status)) return status;
  return sim().selectCamera(handle);
}

int32_t WINAPI getDetectorSize(int32_t *width, int32_t *height) {
  int32_t status;
  if (sim().intercept(DriverCallText(__func__).arg(width).arg(height), __func__, status)) return status;
  return sim().getDetectorSize(width, height);
}

int32_t WINAPI setImageRegion(int32_t columnBinning, int32_t rowBinning, int32_t firstColumn,
                              int32_t lastColumn, int32_t firstRow, int32_t lastRow) {
  const int32_t region[6] = {columnBinning, rowBinning, firstColumn, lastColumn, firstRow, lastRow};
  DriverCallText call(__func__);
  for (int32_t value : region) call.arg(value);
  int32_t status;
  if (sim().intercept(call, __func__, status)) return status;
  return sim().setImageRegion(region);
}

int32_t WINAPI driverSetting123(int32_t value) {
  int32_t status;
  if (sim().intercept(DriverCallText(__func__).arg(value), __func__, status)) return status;
  return sim().setSetting(&andor_sim::Camera::setting123, value);
}

int32_t WINAPI driverSetting152(int32_t value) {
  int32_t status;
  if (sim().intercept(DriverCallText(__func__).arg(value), __func__, status)) return status;
  return sim().setSetting(&andor_sim::Camera::setting152, value);
}

int32_t WINAPI driverSetting73(int32_t value) {
  int32_t status;
  if (sim().intercept(DriverCallText(__func__).arg(value), __func__, status)) return status;
  return sim().setSetting(&andor_sim::Camera::setting73, value);
}

int32_t WINAPI driverSetting131(int32_t value) {
  int32_t status;
  if (sim().intercept(DriverCallText(__func__).arg(value), __func__, status)) return status;
  return sim().setSetting(&andor_sim::Camera::setting131, value);
}

int32_t WINAPI driverSetting219(int32_t value1, int32_t value2, int32_t value3, int32_t value4,
                                int32_t value5) {
  const int32_t values[5] = {value1, value2, value3, value4, value5};
  DriverCallText call(__func__);
  for (int32_t value : values) call.arg(value);
  int32_t status;
  if (sim().intercept(call, __func__, status)) return status;
  return sim().setSetting219(values);
}

int32_t WINAPI setExposureTime(float seconds) {
  int32_t status;
  if (sim().intercept(DriverCallText(__func__).arg(seconds), __func__, status)) return status;
  return sim().setExposureTime(seconds);
}

int32_t WINAPI getAcquisitionTimings(float *exposure, float *accumulate, float *kinetic) {
  int32_t status;
  if (sim().intercept(DriverCallText(__func__).arg(exposure).arg(accumulate).arg(kinetic), __func__, status))
    return status;
  return sim().getAcquisitionTimings(exposure, accumulate, kinetic);
}

int32_t WINAPI startAcquisition(void) {
  int32_t status;
  if (sim().intercept(DriverCallText(__func__), __func__, status)) return status;
  return sim().startAcquisition();
}

int32_t WINAPI waitForAcquisition(void) {
  int32_t status;
  if (sim().intercept(DriverCallText(__func__), __func__, status)) return status;
  return sim().waitForAcquisition();
}

int32_t WINAPI getNewImageRange(int32_t *first, int32_t *last) {
  int32_t status;
  if (sim().intercept(DriverCallText(__func__).arg(first).arg(last), __func__, status)) return status;
  return sim().getNewImageRange(first, last);
}

int32_t WINAPI getImages16(int32_t first, int32_t last, uint16_t *buffer, uint32_t size, int32_t *validFirst,
                           int32_t *validLast) {
  int32_t status;
  if (sim().intercept(
          DriverCallText(__func__).arg(first).arg(last).arg(buffer).arg(size).arg(validFirst).arg(validLast),
          __func__, status))
    return status;
  return sim().getImages16(first, last, buffer, size, validFirst, validLast);
}

int32_t WINAPI abortAcquisition(void) {
  int32_t status;
  if (sim().intercept(DriverCallText(__func__), __func__, status)) return status;
  return sim().abortAcquisition();
}

int32_t WINAPI setDriverEvent(HANDLE event) {
  int32_t status;
  if (sim().intercept(DriverCallText(__func__).arg(event), __func__, status)) return status;
  return sim().setDriverEvent(event);
}

int32_t WINAPI readOldestImage16(uint16_t *buffer, uint32_t size) {
  int32_t status;
  if (sim().intercept(DriverCallText(__func__).arg(buffer).arg(size), __func__, status)) return status;
  return sim().readOldestImage(buffer, size);
}

int32_t WINAPI readOldestImage32(uint32_t *buffer, uint32_t size) {
  int32_t status;
  if (sim().intercept(DriverCallText(__func__).arg(buffer).arg(size), __func__, status)) return status;
  return sim().readOldestImage(buffer, size);
}

} // extern "C"
