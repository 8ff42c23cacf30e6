/* corvid: the image acquisition adaptor for Andor cameras.
 *
 * The toolbox loads the library and calls its five exports (corvidExports.cpp);
 * createInstance makes one corvidAdaptor per opened device. The adaptor turns
 * the toolbox's open, close and start requests into thread messages to its
 * AcquisitionThread (AcquisitionThread.cpp), which does all camera work of a
 * capture. Property changes reach it through the listeners of
 * corvidListeners.h. */
#ifndef CORVID_ADAPTOR_H
#define CORVID_ADAPTOR_H

#include "drivers/andor_driver.h"
#include "imaqkit.h"

#include <windows.h>

#include <atomic>
#include <cstdint>

/* Thread messages of the acquisition thread; both parameters are always 0. */
enum : UINT {
  CORVID_MSG_RUN = WM_USER,       /* run one acquisition */
  CORVID_MSG_PROBE = WM_USER + 1, /* probe of the thread's queue; ignored */
  CORVID_MSG_QUIT = WM_QUIT,      /* end the thread */
};

/* One band of unsigned 16-bit pixels. */
constexpr std::int32_t CORVID_FRAME_FORMAT = 285278212;
static_assert(CORVID_FRAME_FORMAT == IMAQ_FRAME_MONO16, "the toolbox's 16-bit monochrome code");

/* How long closeCamera holds the toolbox's thread waiting for the
 * acquisition thread to end. */
constexpr DWORD CORVID_CLOSE_WAIT_MS = 1000;

/* How long the thread is given, once the camera's acquisition has been
 * aborted, to come back from the driver before it is given up for lost. */
constexpr DWORD CORVID_RELEASE_WAIT_MS = 3000;

/* With several device objects, a run waits for its camera's images on a driver
 * event of its own and looks at least this often whether it should end. */
constexpr DWORD CORVID_EVENT_WAIT_SLICE_MS = 100;

class corvidAdaptor : public IAdaptor {
public:
  corvidAdaptor(IEngine *engine, IDeviceEntry *device);
  ~corvidAdaptor() override;

  std::int32_t imageWidth() override;
  std::int32_t imageHeight() override;
  std::int32_t frameFormat() override;
  std::int32_t bandCount() override;
  const char *driverText() override;
  const char *versionText() override;
  bool openCamera() override;
  bool closeCamera() override;
  bool beginCapture() override;
  bool endCapture() override;

  /* Shared with the acquisition thread and the listeners; the order is the
   * object's layout. keepRunning and exposureTime are read on the
   * acquisition thread while the toolbox's thread writes them, with no lock:
   * they are lock-free atomics. */
  std::int32_t cameraHandle;
  std::atomic<bool> keepRunning;
  std::atomic<float> exposureTime;
  IPropertySet *propertySet;
  HANDLE threadHandle; /* kept while the thread may still run */
  DWORD threadId;

  /* Deallocation of the object's block, skipped for an object whose thread
   * outlived it (the block stays for that thread to read). The allocation
   * forms are the toolbox's, declared again beside it. */
  static void *operator new(std::size_t size) noexcept { return IMAQInterface::operator new(size); }
  static void *operator new(std::size_t, void *block) noexcept { return block; }
  static void operator delete(void *block) noexcept;
  static void operator delete(void *, void *) noexcept {}

  /* Whether adaptor was destroyed while its thread was stuck in the driver;
   * the thread then touches nothing of it. */
  static bool isLost(const corvidAdaptor *adaptor);
  /* The acquisition thread's last act: frees the block and manager of an
   * object that was destroyed while the thread was stuck in the driver. */
  static void threadEnded(corvidAdaptor *adaptor);
  /* Device objects of this library alive now. With one, a run waits for its
   * images as the driver's own wait does, on the current camera; with more,
   * that camera may be another object's by the time the wait begins. */
  static std::atomic<int> liveDevices;

private:
  bool retireThread();
};

static_assert(std::atomic<bool>::is_always_lock_free, "keepRunning is shared without a lock");
static_assert(std::atomic<float>::is_always_lock_free, "exposureTime is shared without a lock");
static_assert(sizeof(std::atomic<bool>) == 1, "keepRunning stays one byte");
static_assert(sizeof(std::atomic<float>) == 4, "exposureTime stays a single float");

/* The thread procedure: parameter is the corvidAdaptor; returns 0. */
DWORD WINAPI AcquisitionThread(LPVOID parameter);

#endif
