// The adaptor manager: the adaptor's handle on its device object's engine.
// The adaptor owns it; it shares the session, so it stays sound whichever
// of the two goes first.
#include "imaqkit.h"
#include "imaqkit_test_control.h"
#include "session.h"

#include <atomic>
#include <new>

namespace imaqkit::detail {
namespace {

std::atomic<long> liveManagers{0};

class AdaptorManager final : public IAdaptorManager {
public:
  AdaptorManager(IAdaptor *adaptor, std::shared_ptr<Session> session)
      : adaptor_(adaptor), session_(std::move(session)) {
    session_->managerMade();
    liveManagers.fetch_add(1);
  }
  ~AdaptorManager() override {
    session_->managerGone();
    liveManagers.fetch_sub(1);
  }
  AdaptorManager(const AdaptorManager &) = delete;
  AdaptorManager &operator=(const AdaptorManager &) = delete;

  void resumeAcquisition() override { session_->resume(adaptor_); }
  void haltAcquisition() override { session_->halt(adaptor_); }
  bool deviceIsOpen() override { return session_->deviceIsOpen(); }
  bool deviceIsAcquiring() override { return session_->deviceIsAcquiring(); }
  IEngine *currentEngine() override { return session_->currentEngine(); }
  double framesPerTrigger() override { return session_->framesPerTrigger(); }
  std::int32_t frameGrabInterval() override { return session_->frameGrabInterval(); }
  std::int32_t framesAcquired() override { return session_->framesAcquired(); }
  void countFrame() override { session_->countFrame(); }
  bool frameWanted() override { return session_->frameWanted(); }
  bool acquisitionContinues() override { return session_->acquisitionContinues(); }

private:
  IAdaptor *const adaptor_;
  const std::shared_ptr<Session> session_;
};

} // namespace
} // namespace imaqkit::detail

IAdaptorManager *createAdaptorManager(IAdaptor *adaptor, IEngine *engine) {
  auto *session = dynamic_cast<imaqkit::detail::Session *>(engine);
  if (session == nullptr || adaptor == nullptr) {
    adaptorWarn("imaqkit:engine:badManager",
                "createAdaptorManager needs the adaptor and the engine given to createInstance.");
    return nullptr;
  }
  return new (std::nothrow) imaqkit::detail::AdaptorManager(adaptor, session->shared_from_this());
}

namespace imaqkit::test {
long liveManagers() { return imaqkit::detail::liveManagers.load(); }
} // namespace imaqkit::test
