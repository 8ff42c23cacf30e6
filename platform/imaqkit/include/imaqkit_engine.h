/* The toolbox engine: plays MATLAB's image acquisition toolbox for front ends
 * and tests. It loads an adaptor library by file name, asks it for its
 * devices, opens device objects, sets their properties (telling the
 * adaptor's listeners), starts and stops acquisitions and hands the
 * delivered frames to its user, oldest first.
 *
 * Shipped code never includes this header; adaptors see only imaqkit.h.
 *
 *   imaqkit::AdaptorLibrary corvid("corvid.dll");   // initializeAdaptor
 *   auto devices = corvid.enumerate();                // getAvailHW
 *   auto vid = corvid.createVideoInput(0);           // getDeviceAttributes,
 *                                                     // createInstance
 *   vid->set("Exposure", 0.02);                       // listeners told
 *   vid->set("FramesPerTrigger", 100);
 *   vid->start();                                     // openCamera, beginCapture
 *   vid->waitForFrames(100, std::chrono::seconds(10));
 *   auto frames = vid->getFrames();                   // oldest first
 *
 * Errors (no such device, a refused property value, an adaptor that will
 * not open) are thrown as imaqkit::Error with a one-line message. A
 * VideoInput is used from one thread, the toolbox's; its waits may be called
 * from another. */
#ifndef IMAQKIT_ENGINE_H
#define IMAQKIT_ENGINE_H

#include "imaqkit.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace imaqkit {

class Error : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct FormatInfo {
  std::int32_t id = 0;
  std::string name;
};

struct DeviceInfo {
  std::int32_t id = 0;
  std::string name;
  std::vector<FormatInfo> formats; /* in the order they were appended */
  int defaultFormat = -1;          /* index into formats; -1 when none is marked */
};

struct SourceInfo {
  std::string name;
  std::int32_t id = 0;
};

enum class ReadOnly { never, whileRunning, always };

struct PropertyInfo {
  std::string name;
  std::int32_t storageKind = 0; /* IMAQ_STORAGE_ */
  bool deviceProperty = false;  /* made by the adaptor, not the toolbox */
  ReadOnly readOnly = ReadOnly::never;
  double lowerBound = 0, upperBound = 0, defaultValue = 0; /* numeric kinds */
};

struct DeviceAttributes {
  std::vector<SourceInfo> sources;
  std::vector<PropertyInfo> properties; /* device properties, in commit order */
  /* The property maker's calls in the order the adaptor made them:
   * "newRealProperty(Exposure)", "setReadOnlyMode(Exposure, whileRunning)",
   * "commitProperty(Exposure)". */
  std::vector<std::string> makerCalls;
};

/* Frame memory comes from the engine's store: a running camera makes a frame
 * per image, all of one size, so the memory of a frame its user has let go
 * serves the next one instead of fresh pages mapped and zeroed by the system
 * for every image. takeFrameMemory answers null when there is none. */
IMAQKIT_API void *takeFrameMemory(std::size_t bytes);
IMAQKIT_API void giveFrameMemory(void *block, std::size_t bytes);

template <typename T> struct FrameAllocator {
  using value_type = T;
  FrameAllocator() = default;
  template <typename U> FrameAllocator(const FrameAllocator<U> &) {}
  T *allocate(std::size_t n) {
    if (n > std::size_t(-1) / sizeof(T)) throw std::bad_alloc();
    void *block = takeFrameMemory(n * sizeof(T));
    if (block == nullptr) throw std::bad_alloc();
    return static_cast<T *>(block);
  }
  void deallocate(T *block, std::size_t n) { giveFrameMemory(block, n * sizeof(T)); }
  /* Elements made without a value are left as they are: the engine writes or
   * zeroes every byte of a frame before its user sees it. */
  template <typename U> void construct(U *at) { ::new (static_cast<void *>(at)) U; }
  template <typename U, typename... Args> void construct(U *at, Args &&...args) {
    ::new (static_cast<void *>(at)) U(std::forward<Args>(args)...);
  }
  friend bool operator==(const FrameAllocator &, const FrameAllocator &) { return true; }
  friend bool operator!=(const FrameAllocator &, const FrameAllocator &) { return false; }
};

using FrameBytes = std::vector<std::uint8_t, FrameAllocator<std::uint8_t>>;

/* One delivered frame. */
struct Frame {
  std::int32_t format = 0; /* IMAQ_FRAME_ */
  std::int32_t width = 0, height = 0, bands = 0, bytesPerPixel = 0;
  FrameBytes bytes; /* rows of width pixels, bands interleaved */
  double time = 0;  /* from putTime; NaN when never stamped */
  /* Its place among the acquisition's delivered frames, from 0; frames not
   * kept for the frame memory limit have their numbers too. */
  std::uint64_t number = 0;

  /* The value at (x, y), or 0 outside the frame. */
  std::uint32_t pixel(std::int32_t x, std::int32_t y, std::int32_t band = 0) const {
    if (x < 0 || y < 0 || band < 0 || x >= width || y >= height || band >= bands) return 0;
    std::size_t at =
        ((std::size_t(y) * std::size_t(width) + std::size_t(x)) * std::size_t(bands) + std::size_t(band)) *
        std::size_t(bytesPerPixel);
    if (bytesPerPixel == 1) return bytes[at];
    std::uint16_t value;
    std::memcpy(&value, &bytes[at], sizeof value);
    return value;
  }
};

/* Counters of one acquisition, from start(). Images the adaptor counted but
 * the frame grab interval skipped are not lost; a frame that was wanted and
 * never delivered is (dropped = framesWanted - framesDelivered -
 * framesOverMemoryLimit). A frame delivered while the frame memory limit
 * was reached is lost too, and counted apart: the adaptor did its part. */
struct AcquisitionStats {
  std::uint64_t imagesCounted = 0;         /* countFrame calls */
  std::uint64_t framesWanted = 0;          /* frameWanted answers of true */
  std::uint64_t framesDelivered = 0;       /* frames buffered for the user */
  std::uint64_t framesDiscarded = 0;       /* delivered while not acquiring */
  std::uint64_t framesOverMemoryLimit = 0; /* delivered while acquiring, not kept */
};

/* The frame memory limit, as the toolbox's imaqmem sets it: the bytes that
 * the frames buffered by every device object of the process (delivered and
 * not yet taken with getFrames) may take together. A frame delivered while
 * it would take the buffered frames past the limit is not kept: it is
 * counted (AcquisitionStats::framesOverMemoryLimit), its memory goes back at
 * once, and the acquisition goes on towards its frame count, so the frame
 * numbers of the frames kept show the gap. The limit also caps the spare
 * frame memory the engine keeps for reuse, but for one frame's worth, which
 * serves the next image while frames are dropped. Default: a quarter of the
 * machine's physical memory, at most 1 GiB in a 32-bit process; a new limit
 * applies to the frames delivered from then on. */
IMAQKIT_API void setFrameMemoryLimit(std::uint64_t bytes);
IMAQKIT_API std::uint64_t frameMemoryLimit();
IMAQKIT_API std::uint64_t defaultFrameMemoryLimit();

/* The buffered frames of every device object, now and at their peak. */
struct FrameMemoryUse {
  std::uint64_t limit = 0;
  std::uint64_t bytesHeld = 0, framesHeld = 0;
  std::uint64_t peakBytesHeld = 0, peakFramesHeld = 0; /* since resetFrameMemoryPeak */
};
IMAQKIT_API FrameMemoryUse frameMemoryUse();
/* The peaks start again from what is held now. */
IMAQKIT_API void resetFrameMemoryPeak();

/* A warning raised with adaptorWarn. */
struct AdaptorWarning {
  std::string identifier;
  std::string message;
};

IMAQKIT_API std::vector<AdaptorWarning> warnings();
IMAQKIT_API void clearWarnings();
/* As MATLAB prints it: "Warning: <text>". */
IMAQKIT_API std::string formatWarning(const AdaptorWarning &warning);
/* Also print every new warning to stream (null: stop printing). */
IMAQKIT_API void echoWarnings(std::FILE *stream);
/* Also hand every new warning to observer, on the thread that raised it,
 * with no kit lock held (an empty function: stop); for merging warnings into
 * another log in the order they came. */
IMAQKIT_API void observeWarnings(std::function<void(const AdaptorWarning &)> observer);

class VideoInput;

/* One adaptor library, loaded for the lifetime of this object (and of the
 * VideoInputs made from it). */
class IMAQKIT_API AdaptorLibrary {
public:
  /* Loads the library, finds its five exports and calls initializeAdaptor. */
  explicit AdaptorLibrary(const std::string &file);
  /* uninitializeAdaptor and unload, once the last VideoInput is gone too. */
  ~AdaptorLibrary();
  AdaptorLibrary(const AdaptorLibrary &) = delete;
  AdaptorLibrary &operator=(const AdaptorLibrary &) = delete;

  const std::string &file() const;

  /* Asks the adaptor for its devices (getAvailHW, every call) and keeps the
   * answer for createVideoInput. */
  std::vector<DeviceInfo> enumerate();
  /* getDeviceAttributes of a device of the last enumeration (enumerating
   * first if there was none); format "" is the device's default. */
  DeviceAttributes attributes(std::int32_t deviceId, const std::string &format = "");
  /* A device object: the device's attributes, then createInstance. */
  std::unique_ptr<VideoInput> createVideoInput(std::int32_t deviceId, const std::string &format = "");

private:
  struct Impl;
  std::shared_ptr<Impl> impl_;
};

/* A device object, as MATLAB's videoinput. Its properties are the adaptor's
 * device properties and the toolbox's own:
 *   Name               text, never read-only
 *   SelectedSourceName text, a source name; listeners get the source id
 *                      (IMAQ_STORAGE_INT32)
 *   FramesPerTrigger   double, a whole number from 1, or Inf; default 10;
 *                      read-only while running
 *   FrameGrabInterval  32-bit integer from 1; default 1; read-only while
 *                      running */
class IMAQKIT_API VideoInput {
public:
  /* Stops, closes the device, destroys the adaptor object, then disposes of
   * the listeners. */
  ~VideoInput();
  VideoInput(const VideoInput &) = delete;
  VideoInput &operator=(const VideoInput &) = delete;

  std::int32_t deviceId() const;
  const std::string &formatName() const;
  const std::vector<SourceInfo> &sources() const;

  /* Properties. set refuses (Error, value unchanged) an unknown name, a
   * value of the wrong kind or out of range, and a read-only property; after
   * a set the property's listeners are called in order. */
  std::vector<std::string> propertyNames() const;
  PropertyInfo propertyInfo(const std::string &name) const;
  void set(const std::string &name, double value);
  void set(const std::string &name, const std::string &text);
  double number(const std::string &name) const;
  std::string text(const std::string &name) const;

  /* The adaptor's answers about its images. */
  std::int32_t imageWidth() const;
  std::int32_t imageHeight() const;
  std::int32_t frameFormat() const;
  std::int32_t bandCount() const;
  std::string driverText() const;
  std::string versionText() const;

  /* openCamera; nothing when open already. Error when the adaptor refuses. */
  void open();
  /* Stops, then closeCamera; nothing when closed. */
  void close();
  bool isOpen() const;
  /* Opens when needed, flushes the frame buffer, resets the counters and
   * calls beginCapture. The acquisition runs until FramesPerTrigger frames
   * are in or stop() is called. Error when running or refused. */
  void start();
  /* Ends the acquisition (the run in progress ends at its next test), then
   * endCapture. Nothing when not running. */
  void stop();
  bool isRunning() const;

  /* Wait (no polling) until count frames are buffered, or the acquisition is
   * no longer running, or timeout; true when count frames are there. */
  bool waitForFrames(std::size_t count, std::chrono::milliseconds timeout);
  /* Wait until the acquisition is no longer running; false on timeout. */
  bool waitUntilStopped(std::chrono::milliseconds timeout);
  std::size_t framesAvailable() const;
  /* Takes up to count buffered frames, oldest first. */
  std::vector<Frame> getFrames(std::size_t count = static_cast<std::size_t>(-1));
  AcquisitionStats stats() const;

  /* ---- For tests of adaptors ---- */
  IAdaptor *adaptor() const;
  IEngine *engine() const;
  /* Keep a log of every kit call the adaptor makes on this object's manager,
   * engine, frames and property set, in order, from any thread. Entries are
   * the operation's name; queries add their answer ("frameWanted=false"),
   * property set calls their name argument ("attachListener(Exposure)"). */
  void recordCalls(bool on);
  std::vector<std::string> calls() const;
  void clearCalls();
  /* Wait until entry has been logged `occurrences` times in all. */
  bool waitForCall(const std::string &entry, std::size_t occurrences, std::chrono::milliseconds timeout);
  /* Called with each entry as it is made (before the call's effect), on the
   * adaptor's thread, with no kit lock held; for merging with other logs. */
  void setCallObserver(std::function<void(const std::string &)> observer);
  /* Force the answers of frameWanted / acquisitionContinues (nullopt: the
   * engine's own answer again). */
  void answerFrameWanted(std::optional<bool> answer);
  void answerAcquisitionContinues(std::optional<bool> answer);

  struct Impl;

private:
  friend class AdaptorLibrary;
  explicit VideoInput(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

} // namespace imaqkit

#endif
