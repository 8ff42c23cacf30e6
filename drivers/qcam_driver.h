/* Operations of the QImaging camera library QCamDriver that our libraries
 * call, its information keys and its frame record.
 *
 * On Windows these are imported by ordinal (QCamDriver.def); elsewhere they
 * are linked by name. Status 0 means success. */
#ifndef CAMERA_DRIVERS_QCAM_DRIVER_H
#define CAMERA_DRIVERS_QCAM_DRIVER_H

#include <windows.h>
#include <stddef.h>
#include <stdint.h>

#if defined(QCAM_DRIVER_BUILD) && !defined(_WIN32)
#define QCAM_DRIVER_API __attribute__((visibility("default")))
#else
#define QCAM_DRIVER_API
#endif

#define QCAM_STATUS_SUCCESS 0

/* Information keys of qcamGetInfo */
#define QCAM_INFO_BIT_DEPTH 5    /* bits per pixel: 8, 12 or 16 */
#define QCAM_INFO_IMAGE_WIDTH 8  /* pixels */
#define QCAM_INFO_IMAGE_HEIGHT 9 /* pixels */
#define QCAM_INFO_IMAGE_SIZE 10  /* bytes: height x width x bytes per pixel */

/* Callback flags of qcamQueueBuffer: call the routine when the frame is done. */
#define QCAM_CALLBACK_ON_FRAME_DONE 1u

/* The record of one frame. The caller sets the buffer address and length and
 * leaves the rest zero; the driver reads the record and fills in its own
 * fields. Its layout is the driver's: 72 bytes where pointers are 32-bit. */
typedef struct QCamFrameRecord {
  void *bufferAddress;
  uint32_t bufferLength; /* bytes */
  uint32_t driverFields[16];
} QCamFrameRecord;

#ifdef __cplusplus
#define QCAM_STATIC_ASSERT(condition, text) static_assert(condition, text)
#else
#define QCAM_STATIC_ASSERT(condition, text) _Static_assert(condition, text)
#endif
QCAM_STATIC_ASSERT(offsetof(QCamFrameRecord, bufferAddress) == 0, "buffer address at offset 0");
QCAM_STATIC_ASSERT(sizeof(void *) != 4 || offsetof(QCamFrameRecord, bufferLength) == 4,
                   "buffer length at offset 4 with 32-bit pointers");
QCAM_STATIC_ASSERT(sizeof(void *) != 4 || offsetof(QCamFrameRecord, driverFields) == 8,
                   "driver fields at offset 8 with 32-bit pointers");
QCAM_STATIC_ASSERT(sizeof(void *) != 4 || sizeof(QCamFrameRecord) == 72,
                   "the frame record is 72 bytes with 32-bit pointers");
#undef QCAM_STATIC_ASSERT

/* Called once per queued frame, on a thread of the driver, with the user
 * pointer and user data given to qcamQueueBuffer. */
typedef void(WINAPI *QCamCompletionRoutine)(void *userPointer, uint32_t userData, int32_t errorCode,
                                            uint32_t flags);

#ifdef __cplusplus
extern "C" {
#endif

/* Writes a zero-terminated text of at most size bytes. */
QCAM_DRIVER_API int32_t WINAPI qcamGetSerialString(int32_t camera, char *buffer, uint32_t size); /* 27 */
QCAM_DRIVER_API int32_t WINAPI qcamGetInfo(int32_t camera, uint32_t key, uint32_t *value);       /* 7 */
/* Queues the frame and returns at once; the record and its buffer must stay
 * valid until the routine has been called for it. */
QCAM_DRIVER_API int32_t WINAPI qcamQueueBuffer(int32_t camera, QCamFrameRecord *frame,
                                               QCamCompletionRoutine routine, uint32_t callbackFlags,
                                               void *userPointer, uint32_t userData); /* 22 */
/* Returns with one image in the frame's buffer, or a nonzero status. */
QCAM_DRIVER_API int32_t WINAPI qcamGrabImage(int32_t camera, QCamFrameRecord *frame); /* 18 */

#ifdef __cplusplus
}
#endif

#endif
