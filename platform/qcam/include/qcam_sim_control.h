/* Test controls of the simulated QCam driver (the library QCamDriver built
 * from platform/qcam). Tests, benchmarks and command-line tools include this
 * header; shipped code never does. The driver's own operations are declared
 * in drivers/qcam_driver.h.
 *
 * Cameras. Each has a handle, a serial string, an image size and a bit depth
 * (8, 12 or 16). qcamGetInfo answers the keys 5 (bit depth), 8 (width),
 * 9 (height) and 10 (image size in bytes: height x width x 1 for 8 bits,
 * x 2 for 12 and 16).
 *
 * Statuses. 0 is success; the driver's other statuses are those below, and
 * tests may inject any other (such as 13, a failed grab).
 *
 * Queued frames. qcamQueueBuffer puts the frame at the end of its camera's
 * queue and returns at once. The driver's one thread takes frames off the
 * queues as images arrive for them, fills each and then calls its completion
 * routine, on that thread, with the user pointer and user data given at
 * queueing, an error code and the callback flags given at queueing; frames
 * complete in the order their images arrived, so a camera's frames complete
 * in the order they were queued. The routine may queue frames again.
 *   - Deterministic mode: a camera's images arrive only through
 *     qcamSimProduceImages; an image with no frame queued for it is lost.
 *   - Free-running mode: each camera with a frame queued gets an image every
 *     frame period of its own, on a schedule kept against a monotonic clock;
 *     a camera with none queued makes none.
 * A frame whose buffer is missing or shorter than the image completes with
 * QCAM_SIM_BUFFER_TOO_SMALL and nothing written to its buffer; an error code
 * injected for "frameCompletion" completes a frame with that code and
 * nothing written. Otherwise the error code is 0, the image is in the
 * buffer's first image-size bytes, and the driver fields of the record hold
 * the image number, bytes written and error code (QCAM_SIM_FIELD_*).
 *
 * qcamGrabImage fills the frame at once on the caller's thread, with the
 * same rules for its buffer, returning the error code as its status.
 *
 * Images. Pixels row by row, one byte each at 8 bits, two bytes (little-
 * endian host order) at 12 and 16 bits. Each camera numbers its images from
 * 1 (or as qcamSimSetNextImageNumber says), grabs and queued frames alike,
 * modulo 2^32: after 4294967295 comes 0. The number is stamped in the first
 * pixels: at 8 bits bytes 0 to 3 hold it little-endian; at 12 and 16 bits
 * pixel 0 holds its low 16 bits and pixel 1 its high 16 bits. The rest is a
 * synthetic scene with noise, within the bit depth: bright spots over a
 * tilted background that drift and blink from image to image (see
 * qcamSimSetSceneMotion). What an image shows follows from the camera's
 * seed and the image's number alone: the same seed gives the same images,
 * number for number. The noise adds at most 7 to a pixel at 8 bits, 31 at
 * 12 and 127 at 16, so images of a still scene (rate 0) differ by no more.
 *
 * Environment, read when the library is first used and by
 * qcamSimConfigureFromEnvironment:
 *   QCAM_SIM_CAMERAS           number of cameras, handles 200, 201, ...,
 *                              serials "QSIM0200", ... (default 1)
 *   QCAM_SIM_SIZE              image size WIDTHxHEIGHT, or a comma-separated
 *                              list, one per camera (default 640x480)
 *   QCAM_SIM_BIT_DEPTH         8, 12 or 16 (default 8)
 *   QCAM_SIM_MODE              "free" (default) or "deterministic"
 *   QCAM_SIM_FRAME_PERIOD_MS   frame period of every camera, in milliseconds
 *                              (default 10)
 *   QCAM_SIM_FIRST_IMAGE       number of each camera's first image,
 *                              0 to 4294967295 (default 1)
 *   QCAM_SIM_MOTION            how far the scene's spots travel per image, in
 *                              pixels, 0 (a still scene) to 1000 (default 1)
 *   QCAM_SIM_SEED              the scene's seed, 0 to 4294967295 (default 1)
 *
 * Lifetime. The driver's thread starts with the first queued frame.
 * qcamSimReset stops it; on POSIX it is also stopped when the library is
 * unloaded or the process exits. On Windows a DLL must not wait for threads
 * while it is being unloaded, so a program that unloads the driver calls
 * qcamSimReset first; at process exit Windows ends the thread. */
#ifndef CAMERA_PLATFORM_QCAM_SIM_CONTROL_H
#define CAMERA_PLATFORM_QCAM_SIM_CONTROL_H

#include "drivers/qcam_driver.h"

#include <stddef.h>
#include <stdint.h>

#if defined(QCAM_DRIVER_BUILD) && defined(_WIN32)
#define QCAM_SIM_API __declspec(dllexport)
#elif defined(QCAM_DRIVER_BUILD)
#define QCAM_SIM_API __attribute__((visibility("default")))
#else
#define QCAM_SIM_API
#endif

/* Statuses and error codes other than success */
#define QCAM_SIM_NOT_SUPPORTED 1     /* an information key the camera does not know */
#define QCAM_SIM_INVALID_VALUE 2     /* a null pointer or a zero size */
#define QCAM_SIM_INVALID_HANDLE 9    /* no camera has this handle */
#define QCAM_SIM_BUFFER_TOO_SMALL 20 /* the frame's buffer cannot hold the image */

/* Driver fields of a filled QCamFrameRecord (indexes into driverFields) */
#define QCAM_SIM_FIELD_IMAGE_NUMBER 0
#define QCAM_SIM_FIELD_BYTES_WRITTEN 1
#define QCAM_SIM_FIELD_ERROR_CODE 2

/* qcamSimInjectStatus: for the next call only, or for every call */
#define QCAM_SIM_ONCE 0
#define QCAM_SIM_ALWAYS 1

#ifdef __cplusplus
extern "C" {
#endif

typedef struct QCamSimCounters {
  uint64_t queued;    /* frames accepted by qcamQueueBuffer */
  uint64_t completed; /* completion routines returned (or frames done without one) */
  uint64_t failed;    /* of those, with a nonzero error code */
  uint64_t produced;  /* images made, grabs included */
  uint64_t grabbed;   /* images made by qcamGrabImage that reached the caller */
  uint64_t lost;      /* images with no queued frame to go to */
} QCamSimCounters;

/* Back to a clean state: no cameras, deterministic mode, no injected
 * statuses, an empty call log. Stops the driver's thread after
 * the completion it is running; frames still queued are dropped without
 * completion. Refused (returns 0) on the driver's thread, that is from a
 * completion routine; 1 otherwise. */
QCAM_SIM_API int qcamSimReset(void);
/* qcamSimReset, then the cameras and mode that the environment asks for. */
QCAM_SIM_API int qcamSimConfigureFromEnvironment(void);

/* A camera, with a frame period of 10 ms; 0, or QCAM_SIM_INVALID_HANDLE for handle 0 or one in use,
 * QCAM_SIM_INVALID_VALUE for a side outside 1 to 65535, a bit depth other
 * than 8, 12 or 16, or a serial that is null or longer than 255 bytes. */
QCAM_SIM_API int32_t qcamSimAddCamera(int32_t handle, const char *serial, uint32_t width, uint32_t height,
                                      uint32_t bitDepth);
/* From now on qcamGetInfo answers value for the key (5, 8, 9 or 10) of this
 * camera, whose images stay what they are: a driver reporting sizes no
 * buffer was made for. 0, QCAM_SIM_INVALID_HANDLE, or QCAM_SIM_NOT_SUPPORTED
 * for another key. */
QCAM_SIM_API int32_t qcamSimReportInfo(int32_t handle, uint32_t key, uint32_t value);
/* Nonzero free-running, 0 deterministic; takes effect at once. */
QCAM_SIM_API void qcamSimSetFreeRunning(int freeRunning);
/* Seconds between the camera's free-running images, above 0; its schedule
 * starts again from now. 0, QCAM_SIM_INVALID_HANDLE or
 * QCAM_SIM_INVALID_VALUE. */
QCAM_SIM_API int32_t qcamSimSetFramePeriod(int32_t handle, double seconds);
/* The number the camera's next image gets, whether grabbed or for a queued
 * frame; 0 or QCAM_SIM_INVALID_HANDLE. */
QCAM_SIM_API int32_t qcamSimSetNextImageNumber(int32_t handle, uint32_t number);
/* How far the spots of the camera's scene travel per image, in pixels: 0
 * holds the scene still, 1 (the default) is a slow drift; up to 1000. And
 * the seed of the scene and its noise (1 at first). Each takes effect from
 * the next image; 0, QCAM_SIM_INVALID_HANDLE or QCAM_SIM_INVALID_VALUE. */
QCAM_SIM_API int32_t qcamSimSetSceneMotion(int32_t handle, double rate);
QCAM_SIM_API int32_t qcamSimSetSceneSeed(int32_t handle, uint32_t seed);
/* Nonzero: from the next image on, the camera shows a still picture, its
 * scene's image drawn once, at this call (again after a change of the
 * scene, with the next image), and copied
 * into each frame, stamped with that image's number; no image is drawn, so
 * a benchmark times the code that takes the frames, not the scene (a real
 * camera's transfer is one copy too). 0, the default: every image drawn.
 * 0 or QCAM_SIM_INVALID_HANDLE. */
QCAM_SIM_API int32_t qcamSimSetStillPicture(int32_t handle, int still);
/* The handles of the cameras, in the order they were added: copies at most
 * capacity of them and returns how many cameras there are. */
QCAM_SIM_API size_t qcamSimCameraHandles(int32_t *handles, size_t capacity);

/* Deterministic production: count images arrive at the camera now. Each
 * goes to the next queued frame, which the driver's thread then fills and
 * completes; returns how many frames will complete (the rest of the images
 * are lost). */
QCAM_SIM_API int32_t qcamSimProduceImages(int32_t handle, int32_t count);

/* Make operation (its name, e.g. "qcamGrabImage", or "frameCompletion" for
 * the error code of completed frames) return status; QCAM_SIM_ONCE or
 * QCAM_SIM_ALWAYS; returns 0 for an unknown name. */
QCAM_SIM_API int qcamSimInjectStatus(const char *operation, int32_t status, int when);
QCAM_SIM_API void qcamSimClearInjectedStatuses(void);

/* The call log: one line per driver call, "name(arg, ...)": integers in
 * decimal, texts in double quotes, pointers as ptr, or 0 when null. E.g.
 * "qcamGetInfo(200, 9, ptr)", "qcamQueueBuffer(200, ptr, ptr, 1, 0, 3)".
 * qcamSimCallLogLine copies line index (from 0), cut to size, and returns
 * its full length, or -1 when there is no such line. The log keeps the
 * latest 65536 lines. */
QCAM_SIM_API size_t qcamSimCallLogCount(void);
QCAM_SIM_API long qcamSimCallLogLine(size_t index, char *buffer, size_t size);
QCAM_SIM_API void qcamSimClearCallLog(void);

/* A camera's counters; 0 or QCAM_SIM_INVALID_HANDLE. */
QCAM_SIM_API int32_t qcamSimGetCounters(int32_t handle, QCamSimCounters *counters);
/* Frames queued on the camera and not yet taken by an image. */
QCAM_SIM_API int32_t qcamSimQueuedFrames(int32_t handle);

/* Wait without polling, at most timeoutMs milliseconds; 1 when the
 * condition holds, 0 on time-out. */
/* until completions of all cameras since the reset number at least count */
QCAM_SIM_API int qcamSimWaitForCompletions(uint64_t count, uint32_t timeoutMs);
/* until no frame is queued, waiting for the driver's thread or being filled */
QCAM_SIM_API int qcamSimWaitUntilDrained(uint32_t timeoutMs);

#ifdef __cplusplus
}
#endif

#endif
