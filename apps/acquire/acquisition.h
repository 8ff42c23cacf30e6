// acquire's main job: open a device, set its exposure, acquire frames into
// a TIFF, and report what the acquisition did.
#ifndef ACQUIRE_ACQUISITION_H
#define ACQUIRE_ACQUISITION_H

#include "imaqkit_engine.h"
#include "options.h"

#include <cstdio>
#include <stdexcept>

namespace acquire {

/* A job that could not be done; its message is one line. */
class Failure : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

/* Returns true when every frame asked for was acquired and written. */
bool acquireFrames(imaqkit::AdaptorLibrary &library, const Options &options, std::FILE *out,
                   std::FILE *progress);

} // namespace acquire

#endif
