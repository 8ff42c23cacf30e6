/* The image acquisition adaptor kit: what an adaptor library sees of the
 * toolbox that loads it.
 *
 * An adaptor is a shared library with five exports of plain C linkage and
 * undecorated names (declared at the end of this header), which the toolbox
 * finds by name:
 *
 *   initializeAdaptor()      once, right after the library is loaded
 *   getAvailHW(catalog)      report the devices present (IDeviceCatalog)
 *   getDeviceAttributes(device, formatName, maker, sources)
 *                            report one device's video sources and device
 *                            properties (ISourceList, IPropertyMaker)
 *   createInstance(engine, device)
 *                            make the IAdaptor that drives one opened device
 *   uninitializeAdaptor()    once, before the library is unloaded
 *
 * All kit objects handed to an adaptor belong to the toolbox. The adaptor
 * owns only what it allocates itself, its IAdaptor's manager, and nothing it
 * hands over (appended devices, committed properties, attached listeners,
 * delivered frames).
 *
 * Threads: the toolbox calls the exports, the IAdaptor operations and the
 * property listeners on its own thread. The IAdaptorManager, IEngine and
 * IImageFrame operations, adaptorWarn and getCurrentTime may also be called
 * from threads of the adaptor's own (an acquisition thread); the kit locks
 * inside. The catalog, source list, property maker and property set are for
 * the toolbox's thread only.
 *
 * The virtual operations of every interface stand in a fixed order: an
 * adaptor built against this header binds to the toolbox by that layout, so
 * never reorder, insert or remove one. */
#ifndef IMAQKIT_H
#define IMAQKIT_H

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#if defined(IMAQKIT_BUILD)
#define IMAQKIT_API __declspec(dllexport)
#else
#define IMAQKIT_API __declspec(dllimport)
#endif
/* Put on the definitions of the five adaptor exports. */
#define IMAQ_ADAPTOR_EXPORT extern "C" __declspec(dllexport)
#else
#define IMAQKIT_API __attribute__((visibility("default")))
#define IMAQ_ADAPTOR_EXPORT extern "C" __attribute__((visibility("default")))
#endif

#if defined(__GNUC__) && !defined(_WIN32)
#define IMAQKIT_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define IMAQKIT_PRINTF(f, a)
#endif

/* Frame formats for IAdaptor::frameFormat and IEngine::makeFrame. The top
 * byte names the colour model (0x11: monochrome), the next the band count,
 * the low half the pixel type (1: unsigned 8-bit, 4: unsigned 16-bit). */
enum : std::int32_t {
  IMAQ_FRAME_MONO8 = 0x11010001,
  IMAQ_FRAME_MONO16 = 0x11010004, /* 285278212 */
};

/* Storage kinds, as IPropertyRecord::storageKind reports them. They say what
 * the newValue of IPropPostSetListener::propertyWasSet points to; the value
 * is valid during that call only. */
enum : std::int32_t {
  IMAQ_STORAGE_TEXT = 1,         /* NUL-terminated text (char) */
  IMAQ_STORAGE_DOUBLE = 2,       /* one double; properties of newRealProperty */
  IMAQ_STORAGE_ENUM = 3,         /* NUL-terminated word, one of a fixed set */
  IMAQ_STORAGE_INT32 = 4,        /* one 32-bit signed integer */
  IMAQ_STORAGE_DOUBLE_ARRAY = 5, /* doubles, as many as the property holds */
};

/* Read-only modes for IPropertyMaker::setReadOnlyMode. */
#define IMAQ_READONLY_NEVER "never"
#define IMAQ_READONLY_WHILE_RUNNING "whileRunning"
#define IMAQ_READONLY_ALWAYS "always"

class IAdaptor;
class IAdaptorManager;
class IEngine;
class IImageFrame;
class IPropertySet;

/* A format of a device, made by IDeviceEntry::newFormat. Opaque to adaptors. */
struct ImaqFormatEntry;
/* A device property being made by IPropertyMaker. Opaque to adaptors. */
struct ImaqPropertyHandle;

/* ---- Kit functions, exported by the kit library imaqmex ---- */

/* Shows text to the user as a warning under the message identifier id
 * ("component:mnemonic"); format and the arguments after it are printf's.
 * Returns once the warning is recorded; callable from any thread. */
IMAQKIT_API void adaptorWarn(const char *id, const char *format, ...) IMAQKIT_PRINTF(2, 3);

/* The manager of adaptor, an IAdaptor under construction, made for the engine
 * that createInstance was given. The adaptor owns it and disposes of it with
 * delete (IAdaptor's destructor does). Answers null for an engine that is
 * not the toolbox's. */
IMAQKIT_API IAdaptorManager *createAdaptorManager(IAdaptor *adaptor, IEngine *engine);

/* The toolbox clock: seconds, monotonic, the same clock for every adaptor. */
IMAQKIT_API double getCurrentTime();

/* The toolbox's allocator. imaqmalloc answers null when the block cannot be
 * had; imaqfree takes null or a block of imaqmalloc. */
IMAQKIT_API void *imaqmalloc(std::size_t size);
IMAQKIT_API void imaqfree(void *block);

/* ---- Interfaces ---- */

/* Root of the classes an adaptor implements (its IAdaptor and its property
 * listeners). Their memory comes from imaqmalloc and goes back through
 * imaqfree. `new` of such a class yields null, and constructs nothing, when
 * imaqmalloc fails; it never throws std::bad_alloc. */
class IMAQInterface {
public:
  virtual ~IMAQInterface() {}

  static void *operator new(std::size_t size) noexcept { return imaqmalloc(size); }
  static void operator delete(void *block) noexcept { imaqfree(block); }

  /* Construction in a block the caller got from imaqmalloc itself. */
  static void *operator new(std::size_t, void *block) noexcept { return block; }
  static void operator delete(void *, void *) noexcept {}
};

/* The toolbox's side of one device's acquisition. Reached through
 * IAdaptor::manager. */
class IAdaptorManager {
public:
  virtual ~IAdaptorManager() {}

  /* Start again an acquisition that haltAcquisition stopped, towards the same
   * frame count; calls the adaptor's beginCapture. Does nothing otherwise. */
  virtual void resumeAcquisition() = 0;
  /* Stop a running acquisition so that resumeAcquisition can start it again:
   * the next acquisitionContinues answers false, even if the acquisition has
   * been resumed by then, so the run in progress always ends. Calls the
   * adaptor's endCapture. Does nothing when not acquiring. */
  virtual void haltAcquisition() = 0;
  /* True from a successful openCamera until closeCamera has returned. False
   * while openCamera runs, true while closeCamera runs. */
  virtual bool deviceIsOpen() = 0;
  /* True from a successful beginCapture until the acquisition has all its
   * frames or is stopped (or halted). False while beginCapture runs. */
  virtual bool deviceIsAcquiring() = 0;
  /* The engine of this device: frames and the property set. */
  virtual IEngine *currentEngine() = 0;
  /* Reached through IAdaptor's forwarders; for adaptors that need them. */
  virtual double framesPerTrigger() = 0;        /* frames asked for; may be +infinity */
  virtual std::int32_t frameGrabInterval() = 0; /* every n-th image is wanted */
  virtual std::int32_t framesAcquired() = 0;    /* frames delivered so far */
  /* One image has passed (whether or not a frame was delivered for it). */
  virtual void countFrame() = 0;
  /* Whether the toolbox wants a frame made of the image at hand: the
   * acquisition is running, the image falls on the frame grab interval and
   * frames are still wanted. */
  virtual bool frameWanted() = 0;
  /* Whether the run in progress goes on. An adaptor tests it before every
   * image and ends its run on false. */
  virtual bool acquisitionContinues() = 0;
};

/* What the adaptor hands frames to. */
class IEngine {
public:
  /* An empty frame of that format and size, or null for a format the kit
   * does not know or an impossible size. */
  virtual IImageFrame *makeFrame(std::int32_t frameFormat, std::int32_t width, std::int32_t height) = 0;
  /* Takes the frame over (it must not be touched afterwards); buffered for
   * the user while the acquisition runs, discarded otherwise. */
  virtual void deliverFrame(IImageFrame *frame) = 0;
  /* The properties of this device's object. */
  virtual IPropertySet *propertySet() = 0;

protected:
  ~IEngine() = default;
};

class IDeviceEntry {
public:
  /* A format of this device; it becomes one once appended. */
  virtual ImaqFormatEntry *newFormat(std::int32_t id, const char *name) = 0;
  virtual void appendFormat(ImaqFormatEntry *format, bool isDefault) = 0;
  /* The id given to IDeviceCatalog::newDevice. */
  virtual std::int32_t deviceNumber() = 0;

protected:
  ~IDeviceEntry() = default;
};

class IDeviceCatalog {
public:
  /* An entry for a device; it becomes one of the adaptor's devices once
   * appended, and the catalog owns it either way. */
  virtual IDeviceEntry *newDevice(std::int32_t id, const char *name) = 0;
  virtual void appendDevice(IDeviceEntry *entry) = 0;

protected:
  ~IDeviceCatalog() = default;
};

class ISourceList {
public:
  virtual void appendSource(const char *name, std::int32_t id) = 0;

protected:
  ~ISourceList() = default;
};

class IPropertyMaker {
public:
  /* A double-valued device property; it exists once committed. */
  virtual ImaqPropertyHandle *newRealProperty(const char *name, double lowerBound, double upperBound,
                                              double defaultValue) = 0;
  virtual void commitProperty(ImaqPropertyHandle *property) = 0;
  /* mode: one of the IMAQ_READONLY_ words. */
  virtual void setReadOnlyMode(ImaqPropertyHandle *property, const char *mode) = 0;

protected:
  ~IPropertyMaker() = default;
};

class IImageFrame {
public:
  /* Copies width x height pixels (rows of width pixels, each of the frame's
   * pixel size and band count) from data into the frame at (xOffset,
   * yOffset) before it returns. A region outside the frame copies nothing. */
  virtual void putImage(const void *data, std::int32_t width, std::int32_t height, std::int32_t xOffset,
                        std::int32_t yOffset) = 0;
  /* time: a getCurrentTime value. */
  virtual void putTime(double time) = 0;

protected:
  ~IImageFrame() = default;
};

class IPropertyRecord {
public:
  virtual const char *propertyName() = 0;
  virtual std::int32_t storageKind() = 0; /* an IMAQ_STORAGE_ code */
  /* True for the properties the adaptor made in getDeviceAttributes, false
   * for those the toolbox gives every object (SelectedSourceName, ...). */
  virtual bool isDeviceProperty() = 0;

protected:
  ~IPropertyRecord() = default;
};

/* Implemented by adaptors; called after a property has been set. */
class IPropPostSetListener : public IMAQInterface {
public:
  ~IPropPostSetListener() override {}
  /* On the toolbox's thread, after the property of record has changed.
   * newValue points to the new value (see IMAQ_STORAGE_), or is null. */
  virtual void propertyWasSet(IPropertyRecord *record, const void *newValue) = 0;
};

class IPropertySet {
public:
  /* Null for a name the set does not hold. */
  virtual IPropertyRecord *propertyRecord(const char *name) = 0;
  virtual std::int32_t propertyCount() = 0;
  /* Fills names[0 .. propertyCount()-1]; the texts live as long as the set. */
  virtual void propertyNames(const char **names) = 0;
  /* Takes listener over (null is ignored) and calls it after every set of
   * the property name, in the order listeners were attached. */
  virtual void attachListener(const char *name, IPropPostSetListener *listener) = 0;

protected:
  ~IPropertySet() = default;
};

/* The object that drives one opened device; derive from it and supply the
 * ten pure operations. */
class IAdaptor : public IMAQInterface {
public:
  explicit IAdaptor(IEngine *engine) : manager(createAdaptorManager(this, engine)) {}
  ~IAdaptor() override {
    if (manager != nullptr) delete manager;
  }
  IAdaptor(const IAdaptor &) = delete;
  IAdaptor &operator=(const IAdaptor &) = delete;

  /* Forwarders to the manager, for the toolbox. */
  virtual double framesPerTrigger() { return manager->framesPerTrigger(); }
  virtual std::int32_t frameGrabInterval() { return manager->frameGrabInterval(); }
  virtual std::int32_t framesAcquired() { return manager->framesAcquired(); }

  virtual std::int32_t imageWidth() = 0;
  virtual std::int32_t imageHeight() = 0;
  virtual std::int32_t frameFormat() = 0; /* an IMAQ_FRAME_ code */
  virtual std::int32_t bandCount() = 0;
  virtual const char *driverText() = 0;
  virtual const char *versionText() = 0;
  /* Called while deviceIsOpen is false; true when the device is open. */
  virtual bool openCamera() = 0;
  /* Called while deviceIsOpen is still true. */
  virtual bool closeCamera() = 0;
  /* Called while deviceIsAcquiring is false: start delivering frames. */
  virtual bool beginCapture() = 0;
  /* The acquisition was stopped; acquisitionContinues already answers false. */
  virtual bool endCapture() = 0;

  IAdaptorManager *manager;
};

/* ---- The five exports an adaptor defines (with IMAQ_ADAPTOR_EXPORT) ---- */
extern "C" {
void initializeAdaptor(void);
void uninitializeAdaptor(void);
void getAvailHW(IDeviceCatalog *catalog);
/* formatName: the format the device is being opened with. */
void getDeviceAttributes(IDeviceEntry *device, const char *formatName, IPropertyMaker *properties,
                         ISourceList *sources);
/* Null when the object cannot be made. */
IAdaptor *createInstance(IEngine *engine, IDeviceEntry *device);
}

#endif
