// acquire's main job: open a device, set its exposure, stream frames into a
// TIFF, and report what the acquisition did.
#ifndef ACQUIRE_ACQUISITION_H
#define ACQUIRE_ACQUISITION_H

#include "byte_sink.h"
#include "imaqkit_engine.h"
#include "options.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace acquire {

/* A job that could not be done, or was done only in part; its message is
 * one line. */
class Failure : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

/* Where the TIFF of a run goes, given its file name. */
using SinkMaker = std::function<std::unique_ptr<ByteSink>(const std::string &file)>;

/* Returns when every frame asked for was acquired and written; throws
 * Failure when none could be, or only some (those are written first).
 * progress is null for no progress line. makeSink (empty: the file itself)
 * lets the pages go elsewhere through the same path. */
void acquireFrames(imaqkit::AdaptorLibrary &library, const Options &options, std::FILE *out,
                   std::FILE *progress, const SinkMaker &makeSink = {});

} // namespace acquire

#endif
