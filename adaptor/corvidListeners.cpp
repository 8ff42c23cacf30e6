#include "corvidListeners.h"

#include "corvidAdaptor.h"
#include "drivers/andor_camera_lock.h"

#include <cstring>

/* lastReal starts at the adaptor's exposure, so an Exposure notification
 * that carries no value sends the camera the exposure already in force. */
corvidPropListener::corvidPropListener(corvidAdaptor *adaptor)
    : adaptor(adaptor), lastRecord(nullptr), lastInteger(0), lastReal(adaptor->exposureTime.load()),
      lastKind1(nullptr), lastKind5(nullptr) {}

void corvidPropListener::propertyWasSet(IPropertyRecord *record, const void *newValue) {
  if (newValue != nullptr) {
    lastRecord = record;
    switch (record->storageKind()) {
    case IMAQ_STORAGE_TEXT:
      lastKind1 = newValue;
      break;
    case IMAQ_STORAGE_DOUBLE:
      std::memcpy(&lastReal, newValue, sizeof lastReal);
      break;
    case IMAQ_STORAGE_INT32:
      std::memcpy(&lastInteger, newValue, sizeof lastInteger);
      break;
    case IMAQ_STORAGE_DOUBLE_ARRAY:
      lastKind5 = newValue;
      break;
    default:
      break;
    }
  }

  const char *name = record->propertyName();
  if (std::strcmp(name, "Exposure") == 0) {
    adaptor->exposureTime = static_cast<float>(lastReal);
    AndorCameraSelection selected(adaptor->cameraHandle);
    const std::int32_t set = setExposureTime(adaptor->exposureTime.load());
    // The camera may round the exposure; keep the one it will really use.
    // A camera that refused it (still acquiring just after a stop) reports
    // its old exposure: the user's stays, and the next run hands it over.
    float exposure = adaptor->exposureTime.load(), accumulate = 0, kinetic = 0;
    const std::int32_t timings = getAcquisitionTimings(&exposure, &accumulate, &kinetic);
    if (set == ANDOR_STATUS_SUCCESS && timings == ANDOR_STATUS_SUCCESS) adaptor->exposureTime = exposure;
  }
  adaptorWarn("corvidPropListener:debug", "In Property listener. PropertyID: %s %f\n", name,
              static_cast<double>(adaptor->exposureTime.load()));
}

corvidSourceListener::corvidSourceListener(corvidAdaptor *adaptor) : adaptor(adaptor), sourceId(0) {}

void corvidSourceListener::propertyWasSet(IPropertyRecord *, const void *newValue) {
  if (newValue == nullptr) return;
  std::memcpy(&sourceId, newValue, sizeof sourceId);
  if (adaptor->manager->deviceIsOpen()) applySource();
}

/* The one source reaches no driver call: a new run sets the camera up again. */
void corvidSourceListener::applySource() {
  if (adaptor->manager->deviceIsAcquiring()) {
    adaptor->manager->haltAcquisition();
    adaptor->manager->resumeAcquisition();
  }
}
