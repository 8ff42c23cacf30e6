// The adaptor manager: the adaptor's handle on its device object's engine.
// The adaptor owns it; it shares the device object, so it stays sound whichever
// of the two goes first.
#include "imaqkit.h"
#include "imaqkit_test_control.h"
#include "device_object.h"

#include <atomic>
#include <new>

namespace imaqkit::detail {
namespace {

std::atomic<long> liveManagers{0};

class AdaptorManager final : public IAdaptorManager {
public:
  AdaptorManager(IAdaptor *adaptor, std::shared_ptr<DeviceObject> deviceObject)
      : adaptor_(adaptor), deviceObject_(std::move(deviceObject)) {
    deviceObject_->managerMade();
    liveManagers.fetch_add(1);
  }
  ~AdaptorManager() override {
    deviceObject_->managerGone();
    liveManagers.fetch_sub(1);
  }
  AdaptorManager(const AdaptorManager &) = delete;
  AdaptorManager &operator=(const AdaptorManager &) = delete;

  void resumeAcquisition() override { deviceObject_->resume(adaptor_); }
  void haltAcquisition() override { deviceObject_->halt(adaptor_); }
  bool deviceIsOpen() override { return deviceObject_->deviceIsOpen(); }
  bool deviceIsAcquiring() override { return deviceObject_->deviceIsAcquiring(); }
  IEngine *currentEngine() override { return deviceObject_->currentEngine(); }
  double framesPerTrigger() override { return deviceObject_->framesPerTrigger(); }
  std::int32_t frameGrabInterval() override { return deviceObject_->frameGrabInterval(); }
  std::int32_t framesAcquired() override { return deviceObject_->framesAcquired(); }
  void countFrame() override { deviceObject_->countFrame(); }
  bool frameWanted() override { return deviceObject_->frameWanted(); }
  bool acquisitionContinues() override { return deviceObject_->acquisitionContinues(); }

private:
  IAdaptor *const adaptor_;
  const std::shared_ptr<DeviceObject> deviceObject_;
};

} // namespace
} // namespace imaqkit::detail

IAdaptorManager *createAdaptorManager(IAdaptor *adaptor, IEngine *engine) {
  auto *deviceObject = dynamic_cast<imaqkit::detail::DeviceObject *>(engine);
  if (deviceObject == nullptr || adaptor == nullptr) {
    adaptorWarn("imaqkit:engine:badManager",
                "createAdaptorManager needs the adaptor and the engine given to createInstance.");
    return nullptr;
  }
  return new (std::nothrow) imaqkit::detail::AdaptorManager(adaptor, deviceObject->shared_from_this());
}

namespace imaqkit::test {
long liveManagers() { return imaqkit::detail::liveManagers.load(); }
} // namespace imaqkit::test
