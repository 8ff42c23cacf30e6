/* The Andor driver keeps one current camera for the whole process, and the
 * libraries that call it (corvid, watchDriverSignal, takeEarliest) are DLLs
 * of their own that never call each other. So every sequence of driver calls
 * that acts on the current camera selects its camera first, under one lock
 * of the process: a named mutex whose name carries the process id, so that
 * the libraries of another MATLAB never wait on it. Nothing holds the lock
 * while it waits for an image, a thread or MATLAB: a camera's long exposure
 * never holds up another camera.
 *
 * A lock whose owner ended holding it (a thread that died mid-sequence) is
 * taken over. Where the mutex cannot be made at all, the calls go on
 * unlocked, as they would with a single camera. */
#ifndef CAMERA_DRIVERS_ANDOR_CAMERA_LOCK_H
#define CAMERA_DRIVERS_ANDOR_CAMERA_LOCK_H

#include <windows.h>

#include <stdint.h>

/* A handle of the caller's own to the process's lock (null if it cannot be
 * made); CloseHandle it when done. A thread that takes the lock often keeps
 * one, rather than open it for every sequence. */
HANDLE openAndorCameraLock(void);

/* Holds the process's lock for as long as it lives, with its camera
 * selected. Made from a handle of openAndorCameraLock, or, without one, it
 * opens and closes its own. */
class AndorCameraSelection {
public:
  AndorCameraSelection(HANDLE lock, int32_t cameraHandle);
  explicit AndorCameraSelection(int32_t cameraHandle);
  /* The lock alone: the current camera as whoever selected last left it. */
  static AndorCameraSelection currentCamera(HANDLE lock = nullptr);
  ~AndorCameraSelection();
  AndorCameraSelection(AndorCameraSelection &&other) noexcept;
  AndorCameraSelection(const AndorCameraSelection &) = delete;
  AndorCameraSelection &operator=(const AndorCameraSelection &) = delete;
  AndorCameraSelection &operator=(AndorCameraSelection &&) = delete;

private:
  AndorCameraSelection(HANDLE lock, bool select, int32_t cameraHandle);
  HANDLE lock_ = nullptr;
  bool ownHandle_ = false;
  bool held_ = false;
};

#endif
