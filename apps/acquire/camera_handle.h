// The Andor driver's handle of a camera, which tells two cameras of one
// model apart where the adaptor names them all alike. The toolbox's device
// list does not carry it, so it is asked of the driver the adaptor has
// loaded: the same library, already initialised by the adaptor's
// enumeration, never loaded a second time.
#ifndef ACQUIRE_CAMERA_HANDLE_H
#define ACQUIRE_CAMERA_HANDLE_H

#include <cstdint>
#include <optional>

namespace acquire {

/* The handle of the camera at index, or nothing when the adaptor has not
 * loaded the driver or the driver gives none. */
std::optional<std::int32_t> cameraHandle(std::int32_t index);

} // namespace acquire

#endif
