/* Operations of the Andor camera library ATMCD32D that our libraries call.
 *
 * The library keeps one current camera for the whole process: every
 * operation from getDetectorSize down acts on the camera chosen last with
 * selectCamera, whoever chose it. Every operation returns a status; 20002
 * means success.
 *
 * On Windows these are imported by ordinal (ATMCD32D.def); elsewhere they are
 * linked by name. */
#ifndef CAMERA_DRIVERS_ANDOR_DRIVER_H
#define CAMERA_DRIVERS_ANDOR_DRIVER_H

#include <windows.h>
#include <stdint.h>

/* Only a driver built from this header for an ELF host needs to mark its
 * exports; Windows drivers export through their .def file. */
#if defined(ANDOR_DRIVER_BUILD) && !defined(_WIN32)
#define ANDOR_DRIVER_API __attribute__((visibility("default")))
#else
#define ANDOR_DRIVER_API
#endif

#define ANDOR_STATUS_SUCCESS 20002

/* The values our libraries give the numbered settings, in the order a run
 * sets the camera up. */
/* driverSetting123: read mode; the whole image region, pixel by pixel. */
#define ANDOR_READ_MODE_IMAGE 4
/* driverSetting152: frame transfer on; the camera exposes the next image
 * while it reads the last one out, so a continuous run loses no exposure. */
#define ANDOR_FRAME_TRANSFER_ON 1
/* driverSetting73: acquisition mode; images follow one another until
 * abortAcquisition. */
#define ANDOR_ACQUISITION_RUN_TILL_ABORT 5
/* driverSetting131: trigger mode; the camera's own clock starts each exposure. */
#define ANDOR_TRIGGER_INTERNAL 0
/* driverSetting219(signal, state, closing, opening, external): the shutter.
 * signal: the shutter opens on a high TTL level; state: open for a run,
 * closed after it; closing and opening: no delay, in milliseconds;
 * external: an external shutter does what the internal one does. */
#define ANDOR_SHUTTER_TTL_HIGH 1
#define ANDOR_SHUTTER_OPEN 1
#define ANDOR_SHUTTER_CLOSED 0
#define ANDOR_SHUTTER_NO_DELAY_MS 0
#define ANDOR_SHUTTER_EXTERNAL_FOLLOWS 0

#ifdef __cplusplus
extern "C" {
#endif

/* Driver lifetime and cameras */
ANDOR_DRIVER_API int32_t WINAPI initializeDriver(const char *directory);         /* 62 */
ANDOR_DRIVER_API int32_t WINAPI shutDownDriver(void);                            /* 137 */
ANDOR_DRIVER_API int32_t WINAPI getCameraCount(int32_t *count);                  /* 174 */
ANDOR_DRIVER_API int32_t WINAPI getCameraHandle(int32_t index, int32_t *handle); /* 175 */
ANDOR_DRIVER_API int32_t WINAPI selectCamera(int32_t handle);                    /* 157 */

/* Set-up of the current camera */
ANDOR_DRIVER_API int32_t WINAPI getDetectorSize(int32_t *width, int32_t *height); /* 22 */
ANDOR_DRIVER_API int32_t WINAPI setImageRegion(int32_t columnBinning, int32_t rowBinning, int32_t firstColumn,
                                               int32_t lastColumn, int32_t firstRow,
                                               int32_t lastRow); /* 109 */
ANDOR_DRIVER_API int32_t WINAPI driverSetting123(int32_t value); /* 123 */
ANDOR_DRIVER_API int32_t WINAPI driverSetting152(int32_t value); /* 152 */
ANDOR_DRIVER_API int32_t WINAPI driverSetting73(int32_t value);  /* 73 */
ANDOR_DRIVER_API int32_t WINAPI driverSetting131(int32_t value); /* 131 */
ANDOR_DRIVER_API int32_t WINAPI driverSetting219(int32_t signal, int32_t state, int32_t closingMs,
                                                 int32_t openingMs, int32_t external); /* 219 */
ANDOR_DRIVER_API int32_t WINAPI setExposureTime(float seconds);                        /* 93 */
/* The first timing is the exposure the camera really uses, which can differ
 * from the one set. */
ANDOR_DRIVER_API int32_t WINAPI getAcquisitionTimings(float *exposure, float *accumulate,
                                                      float *kinetic); /* 13 */

/* Acquisition */
ANDOR_DRIVER_API int32_t WINAPI startAcquisition(void); /* 138 */
/* Blocks until the current camera has a new image. */
ANDOR_DRIVER_API int32_t WINAPI waitForAcquisition(void);                        /* 172 */
ANDOR_DRIVER_API int32_t WINAPI getNewImageRange(int32_t *first, int32_t *last); /* 149 */
/* size is in pixels; the driver never writes more. */
ANDOR_DRIVER_API int32_t WINAPI getImages16(int32_t first, int32_t last, uint16_t *buffer, uint32_t size,
                                            int32_t *validFirst, int32_t *validLast); /* 169 */
ANDOR_DRIVER_API int32_t WINAPI abortAcquisition(void);                               /* 3 */

/* The driver sets the event whenever the current camera has news; after a
 * call with 0 has returned it never touches the earlier event again. */
ANDOR_DRIVER_API int32_t WINAPI setDriverEvent(HANDLE event); /* 91 */

/* Copy the oldest unread image, a pixel per element, and mark it read. */
ANDOR_DRIVER_API int32_t WINAPI readOldestImage16(uint16_t *buffer, uint32_t size); /* 168 */
ANDOR_DRIVER_API int32_t WINAPI readOldestImage32(uint32_t *buffer, uint32_t size); /* 151 */

#ifdef __cplusplus
}
#endif

#endif
