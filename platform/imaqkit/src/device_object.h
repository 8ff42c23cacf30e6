// One device object's engine: the acquisition state the manager answers
// from, the frames the adaptor makes and delivers, the buffer the user reads.
//
// The toolbox's thread and the adaptor's acquisition thread both come here,
// so every field below the mutex is guarded by it. No lock is held while the
// adaptor is called (openCamera, beginCapture, ...): the adaptor calls back
// into the manager from there.
#ifndef IMAQKIT_SRC_DEVICE_OBJECT_H
#define IMAQKIT_SRC_DEVICE_OBJECT_H

#include "kit_call_record.h"
#include "frame.h"
#include "imaqkit.h"
#include "imaqkit_engine.h"
#include "properties.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace imaqkit::detail {

class DeviceObject final : public IEngine, public std::enable_shared_from_this<DeviceObject> {
public:
  /* With the toolbox's own properties; the device properties are added by
   * the maker of the device object before the adaptor sees it. */
  DeviceObject(const std::string &name, std::vector<SourceInfo> sources);
  ~DeviceObject();
  DeviceObject(const DeviceObject &) = delete;
  DeviceObject &operator=(const DeviceObject &) = delete;

  KitCallRecord &calls() { return calls_; }
  PropertyTable &properties() { return properties_; }

  // IEngine
  IImageFrame *makeFrame(std::int32_t frameFormat, std::int32_t width, std::int32_t height) override;
  void deliverFrame(IImageFrame *frame) override;
  IPropertySet *propertySet() override;

  // The manager's side.
  void managerMade();
  void managerGone();
  int managers() const;
  bool deviceIsOpen();
  bool deviceIsAcquiring();
  IEngine *currentEngine();
  double framesPerTrigger();
  std::int32_t frameGrabInterval();
  std::int32_t framesAcquired();
  void countFrame();
  bool frameWanted();
  bool acquisitionContinues();
  void halt(IAdaptor *adaptor);
  void resume(IAdaptor *adaptor);

  // The toolbox's side.
  void open(IAdaptor *adaptor);
  void close(IAdaptor *adaptor);
  void start(IAdaptor *adaptor);
  void stop(IAdaptor *adaptor);
  bool isOpen() const;
  bool isRunning() const;
  bool waitForFrames(std::size_t count, std::chrono::milliseconds timeout);
  bool waitUntilStopped(std::chrono::milliseconds timeout);
  std::size_t framesAvailable() const;
  std::vector<Frame> getFrames(std::size_t count);
  AcquisitionStats stats() const;
  void answerFrameWanted(std::optional<bool> answer);
  void answerAcquisitionContinues(std::optional<bool> answer);

private:
  bool busy() const { return acquiring_ || armed_ || halted_; } // mutex held
  void flushBuffer();

  KitCallRecord calls_;
  PropertyTable properties_;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  int managers_ = 0;
  bool open_ = false;
  // armed_: frames are still wanted (acquisitionContinues' own answer).
  // acquiring_: what deviceIsAcquiring reports; it trails armed_ while the
  // adaptor's beginCapture runs, so the adaptor sees "not acquiring" then.
  bool armed_ = false;
  bool acquiring_ = false;
  // A stop or halt that the run in progress has yet to see.
  bool haltPending_ = false;
  // A run has answered true and will test again. Only such a run is known
  // to be there to see a halt: one that ended before its first test (an
  // adaptor that gave up) must not leave the halt to the next start's run.
  bool runUnderway_ = false;
  // Halted, waiting for resume.
  bool halted_ = false;
  double target_ = 0;
  std::int32_t interval_ = 1;
  AcquisitionStats stats_;
  std::deque<Frame> buffer_;                             // each frame counted in the process's frame memory
  std::vector<std::unique_ptr<ImageFrame>> outstanding_; // made, not yet delivered
  std::optional<bool> wantedAnswer_;
  std::optional<bool> continuesAnswer_;
};

} // namespace imaqkit::detail

#endif
