// The engine's side of the frame memory limit: what the device objects'
// buffers hold, counted across the process.
#ifndef IMAQKIT_SRC_FRAME_MEMORY_H
#define IMAQKIT_SRC_FRAME_MEMORY_H

#include <cstddef>

namespace imaqkit::detail {

/* Counts a frame of `bytes` as buffered; false (nothing counted) when it
 * would take the buffered frames past the limit. */
bool holdFrameMemory(std::size_t bytes);
/* frames buffered frames of `bytes` in all have been taken or flushed. */
void releaseFrameMemory(std::size_t bytes, std::size_t frames);

} // namespace imaqkit::detail

#endif
