/* Test controls of the simulated Andor driver (the library ATMCD32D built
 * from platform/andor). Tests, benchmarks and command-line tools include
 * this header; shipped code never does. The driver's own operations are
 * declared in drivers/andor_driver.h.
 *
 * Cameras. Each has a handle, a detector size and its own settings, ring of
 * images, event and counters. The first camera added becomes the current
 * camera; selectCamera changes it for the whole process. initializeDriver
 * is recorded but not insisted on, so a test of one library can drive a
 * camera without going through enumeration; shutDownDriver aborts every
 * acquisition and withdraws every event.
 *
 * Statuses. 20002 is success (ANDOR_STATUS_SUCCESS); every other status the
 * driver returns is one of those below.
 *
 * Exposure. The camera counts exposure in ticks of 10 microseconds and
 * exposes for at least 100 microseconds: setExposureTime keeps the value
 * rounded to the nearest tick and raised to that minimum, and
 * getAcquisitionTimings reports that value first, then the frame period
 * twice. Exposures below 0 or above 3600 s are refused.
 *
 * Acquisition. startAcquisition empties the camera's ring and numbers the
 * images of the new acquisition from the camera's first image number (1
 * unless andorSimSetFirstImageNumber says otherwise); an acquisition runs until
 * abortAcquisition (or shutDownDriver). While one runs, setImageRegion,
 * setExposureTime and startAcquisition answer ANDOR_SIM_ACQUIRING and
 * change nothing; the five numbered settings are taken at any time.
 *   - Deterministic mode: images appear only through andorSimProduceImages.
 *   - Free-running mode: image k of an acquisition appears k frame periods
 *     after its start (scheduled against a monotonic clock, so lateness does
 *     not accumulate). The frame period is the one set with
 *     andorSimSetFramePeriod, or else the exposure the camera uses.
 *   Each new image sets the camera's driver event, if it has one, and
 *   releases a waitForAcquisition.
 *
 * Image numbers count modulo 2^32: the operations' int32 numbers are those
 * 32 bits read as int32, so an acquisition's numbers may pass from
 * 2147483647 to -2147483648, or from -1 to 0, and getImages16 takes a range
 * in the acquisition's order across either step. An acquisition makes at
 * most 2^32 images.
 *
 * Images. 16-bit pixels, row by row, of the image region (binned size
 * (lastColumn - firstColumn + 1) / columnBinning by (lastRow - firstRow + 1)
 * / rowBinning). Pixel 0 holds the low 16 bits of the image number and pixel
 * 1 the high 16 bits; the rest is a synthetic scene with noise: bright spots
 * over a tilted background that drift and blink from image to image (see
 * andorSimSetSceneMotion). What an image shows follows from the camera's
 * seed and the image's number alone: the same seed gives the same images,
 * number for number. The noise adds at most 127 to a pixel, so images of a
 * still scene (rate 0) differ by no more than that.
 * readOldestImage32 gives the same pixel values widened to 32 bits.
 *
 * Ring. Each camera keeps its newest images, 16 by default (see
 * andorSimSetRingCapacity). An image pushed out before it was read counts as
 * lost. "Unread" images are those after the last one read by getImages16 or
 * readOldestImage16/32: getNewImageRange reports them, readOldestImage reads
 * the first of them, and both move past what they read. The reads' size is
 * in pixels and must equal the pixels of the images asked for.
 *
 * Waiting. waitForAcquisition returns ANDOR_STATUS_SUCCESS at once if the
 * current camera produced an image since the last such return, and otherwise
 * blocks until it does. It returns ANDOR_SIM_IDLE at once when no
 * acquisition runs, and ANDOR_SIM_NO_NEW_DATA when the acquisition it waited
 * on ends (abortAcquisition, shutDownDriver, andorSimReset).
 *
 * Environment, read when the library is first used and by
 * andorSimConfigureFromEnvironment:
 *   ANDOR_SIM_CAMERAS           number of cameras, handles 100, 101, ... (default 1)
 *   ANDOR_SIM_SIZE              detector size WIDTHxHEIGHT, or a comma-separated
 *                               list, one per camera (default 512x512)
 *   ANDOR_SIM_MODE              "free" (default) or "deterministic"
 *   ANDOR_SIM_FRAME_PERIOD_MS   frame period in milliseconds; 0, the default,
 *                               follows the exposure
 *   ANDOR_SIM_RING              ring capacity in images (default 16)
 *   ANDOR_SIM_FIRST_IMAGE       first image number of every acquisition,
 *                               0 to 4294967295, or a comma-separated list,
 *                               one per camera (default 1)
 *   ANDOR_SIM_MOTION            how far the scene's spots travel per image, in
 *                               pixels, 0 (a still scene) to 1000 (default 1)
 *   ANDOR_SIM_SEED              the scene's seed, 0 to 4294967295 (default 1)
 *   ANDOR_SIM_FAIL              statuses to inject, as andorSimInjectStatus does:
 *                               OPERATION[=STATUS][:once], several separated
 *                               by commas; every call unless ":once", status
 *                               ANDOR_SIM_NO_CAMERA unless given. E.g.
 *                               "getImages16" or "startAcquisition=20072:once"
 *
 * Lifetime. Free-running acquisitions run on threads of the driver.
 * andorSimReset stops them; on POSIX they are also stopped when the library
 * is unloaded or the process exits. On Windows a DLL must not wait for
 * threads while it is being unloaded, so a program that unloads the driver
 * calls andorSimReset first; at process exit Windows ends the threads. */
#ifndef CAMERA_PLATFORM_ANDOR_SIM_CONTROL_H
#define CAMERA_PLATFORM_ANDOR_SIM_CONTROL_H

#include "drivers/andor_driver.h"

#include <stddef.h>
#include <stdint.h>

#if defined(ANDOR_DRIVER_BUILD) && defined(_WIN32)
#define ANDOR_SIM_API __declspec(dllexport)
#elif defined(ANDOR_DRIVER_BUILD)
#define ANDOR_SIM_API __attribute__((visibility("default")))
#else
#define ANDOR_SIM_API
#endif

/* Statuses other than success */
#define ANDOR_SIM_NO_NEW_DATA 20024 /* no unread image; a wait ended without one */
#define ANDOR_SIM_INVALID_P1 20066  /* the first argument is invalid */
#define ANDOR_SIM_INVALID_P2 20067  /* the second argument is invalid */
#define ANDOR_SIM_INVALID_P3 20068  /* the third argument is invalid */
#define ANDOR_SIM_INVALID_P4 20069  /* the fourth argument is invalid */
#define ANDOR_SIM_ACQUIRING 20072   /* not while an acquisition runs */
#define ANDOR_SIM_IDLE 20073        /* no acquisition runs */
#define ANDOR_SIM_NO_CAMERA 20075   /* there is no camera to act on */
#define ANDOR_SIM_INVALID_P5 20076  /* the fifth argument is invalid */
#define ANDOR_SIM_INVALID_P6 20077  /* the sixth argument is invalid */

/* andorSimInjectStatus: for the next call only, or for every call */
#define ANDOR_SIM_ONCE 0
#define ANDOR_SIM_ALWAYS 1

#ifdef __cplusplus
extern "C" {
#endif

typedef struct AndorSimCounters {
  uint64_t produced; /* images the camera made */
  uint64_t read;     /* images copied out by getImages16 and readOldestImage16/32 */
  uint64_t lost;     /* images pushed out of the ring before they were read */
} AndorSimCounters;

typedef struct AndorSimCameraState {
  int32_t handle;
  int32_t detectorWidth, detectorHeight;
  int32_t region[6]; /* as given to setImageRegion; the whole detector at first */
  int32_t setting123, setting152, setting73, setting131; /* 0 at first */
  int32_t setting219[5];                                 /* 0 at first */
  float exposureSet;                                     /* as given to setExposureTime (0.01 at first) */
  float exposureEffective;                               /* what the camera uses */
  double framePeriod;                                    /* seconds between free-running images */
  int32_t acquiring;                                     /* 1 while an acquisition runs */
  int32_t lastImage; /* number of the newest image of the acquisition; with
                        none yet, the number before its first (0 at first) */
  uint32_t ringCapacity;
  HANDLE event; /* the driver event, or 0 */
  AndorSimCounters counters;
} AndorSimCameraState;

/* Back to a clean state: no cameras, deterministic mode, no injected
 * statuses, an empty call log, driver not initialised. Ends every
 * acquisition (waiting for the driver's threads and releasing waiters) and
 * forgets every event without setting it. Refused (returns 0) on one of the
 * driver's free-running threads, which cannot wait for themselves; 1
 * otherwise. */
ANDOR_SIM_API int andorSimReset(void);
/* andorSimReset, then the cameras and mode that the environment asks for;
 * returns as andorSimReset does. */
ANDOR_SIM_API int andorSimConfigureFromEnvironment(void);

/* A camera with this handle and detector size; ANDOR_STATUS_SUCCESS, or
 * ANDOR_SIM_INVALID_P1 for handle 0 or one in use, P2/P3 for a side outside
 * 1 to 65535. */
ANDOR_SIM_API int32_t andorSimAddCamera(int32_t handle, int32_t width, int32_t height);
/* Images kept per camera, at least 1; takes effect at the next start. */
ANDOR_SIM_API int32_t andorSimSetRingCapacity(int32_t handle, uint32_t images);
/* Seconds between free-running images; 0 follows the exposure. Takes effect
 * at the next start. */
ANDOR_SIM_API int32_t andorSimSetFramePeriod(int32_t handle, double seconds);
/* The number the first image of the camera's next acquisitions gets (1 at
 * first); ANDOR_STATUS_SUCCESS or ANDOR_SIM_INVALID_P1. */
ANDOR_SIM_API int32_t andorSimSetFirstImageNumber(int32_t handle, uint32_t number);
/* How far the spots of the camera's scene travel per image, in pixels: 0
 * holds the scene still, 1 (the default) is a slow drift; up to 1000.
 * ANDOR_STATUS_SUCCESS, ANDOR_SIM_INVALID_P1 or P2. Takes effect at the
 * next start, as does the seed of the scene and its noise (1 at first). */
ANDOR_SIM_API int32_t andorSimSetSceneMotion(int32_t handle, double rate);
ANDOR_SIM_API int32_t andorSimSetSceneSeed(int32_t handle, uint32_t seed);
/* Nonzero: the camera's next acquisitions show a still picture, the scene's
 * first image drawn once at the start and copied into the ring for each
 * image, stamped with that image's number; no image is drawn, so a
 * benchmark times the code that reads the images, not the scene (a real
 * camera's transfer is one copy too). 0, the default: every image drawn.
 * ANDOR_STATUS_SUCCESS or ANDOR_SIM_INVALID_P1. */
ANDOR_SIM_API int32_t andorSimSetStillPicture(int32_t handle, int still);
/* Mode of acquisitions started from now on: nonzero free-running, 0
 * deterministic. */
ANDOR_SIM_API void andorSimSetFreeRunning(int freeRunning);

/* Deterministic production: the camera makes count images now, as if its
 * exposures had ended; returns how many it made (0 when it is not
 * acquiring or there is no such camera). */
ANDOR_SIM_API int32_t andorSimProduceImages(int32_t handle, int32_t count);

/* Make operation (its name, e.g. "waitForAcquisition") return status,
 * ANDOR_SIM_ONCE or ANDOR_SIM_ALWAYS; returns 0 for an unknown name. */
ANDOR_SIM_API int andorSimInjectStatus(const char *operation, int32_t status, int when);
ANDOR_SIM_API void andorSimClearInjectedStatuses(void);

/* The call log: one line per driver call, "name(arg, ...)": integers in
 * decimal, floats with %g, texts in double quotes, pointers as ptr, or 0
 * when null. E.g. "selectCamera(101)", "setExposureTime(0.01)",
 * "getImages16(1, 1, ptr, 262144, ptr, ptr)", "setDriverEvent(0)".
 * andorSimCallLogLine copies line index (from 0), cut to size, and returns
 * its full length, or -1 when there is no such line. The log keeps the
 * latest 65536 lines. */
ANDOR_SIM_API size_t andorSimCallLogCount(void);
ANDOR_SIM_API long andorSimCallLogLine(size_t index, char *buffer, size_t size);
ANDOR_SIM_API void andorSimClearCallLog(void);

/* What a camera holds; ANDOR_STATUS_SUCCESS or ANDOR_SIM_INVALID_P1. */
ANDOR_SIM_API int32_t andorSimGetCamera(int32_t handle, AndorSimCameraState *state);
/* The current camera's handle, or 0 when there is none. */
ANDOR_SIM_API int32_t andorSimCurrentCamera(void);
/* 1 between initializeDriver and shutDownDriver. */
ANDOR_SIM_API int andorSimDriverInitialized(void);

/* Waits without polling, at most timeoutMs milliseconds; 1 when the
 * condition holds, 0 on time-out. */
/* until the camera has produced at least count images in all */
ANDOR_SIM_API int andorSimWaitForImages(int32_t handle, uint64_t count, uint32_t timeoutMs);
/* until at least count threads are blocked in waitForAcquisition */
ANDOR_SIM_API int andorSimWaitForWaiters(int32_t count, uint32_t timeoutMs);
/* until the camera acquires with a driver event: its next image sets it */
ANDOR_SIM_API int andorSimWaitForDriverEvent(int32_t handle, uint32_t timeoutMs);

#ifdef __cplusplus
}
#endif

#endif
