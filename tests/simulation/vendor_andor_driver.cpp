// Stands in for the vendor's Andor driver in a process that loaded it
// before useSimulatedCameras: every operation at its ordinal, none of the
// simulator's controls. Each operation answers "no camera" (20075), so a
// library bound to it says so in its error.
#include "drivers/andor_driver.h"

namespace {
const int32_t noCamera = 20075;
}

extern "C" {

int32_t WINAPI initializeDriver(const char *) { return noCamera; }
int32_t WINAPI shutDownDriver(void) { return noCamera; }
int32_t WINAPI getCameraCount(int32_t *) { return noCamera; }
int32_t WINAPI getCameraHandle(int32_t, int32_t *) { return noCamera; }
int32_t WINAPI selectCamera(int32_t) { return noCamera; }
int32_t WINAPI getDetectorSize(int32_t *, int32_t *) { return noCamera; }
int32_t WINAPI setImageRegion(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) { return noCamera; }
int32_t WINAPI driverSetting123(int32_t) { return noCamera; }
int32_t WINAPI driverSetting152(int32_t) { return noCamera; }
int32_t WINAPI driverSetting73(int32_t) { return noCamera; }
int32_t WINAPI driverSetting131(int32_t) { return noCamera; }
int32_t WINAPI driverSetting219(int32_t, int32_t, int32_t, int32_t, int32_t) { return noCamera; }
int32_t WINAPI setExposureTime(float) { return noCamera; }
int32_t WINAPI getAcquisitionTimings(float *, float *, float *) { return noCamera; }
int32_t WINAPI startAcquisition(void) { return noCamera; }
int32_t WINAPI waitForAcquisition(void) { return noCamera; }
int32_t WINAPI getNewImageRange(int32_t *, int32_t *) { return noCamera; }
int32_t WINAPI getImages16(int32_t, int32_t, uint16_t *, uint32_t, int32_t *, int32_t *) { return noCamera; }
int32_t WINAPI abortAcquisition(void) { return noCamera; }
int32_t WINAPI setDriverEvent(HANDLE) { return noCamera; }
int32_t WINAPI readOldestImage16(uint16_t *, uint32_t) { return noCamera; }
int32_t WINAPI readOldestImage32(uint32_t *, uint32_t) { return noCamera; }
}
