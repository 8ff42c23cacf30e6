// acquire's main job: open each device asked for, set its exposure, stream
// its frames into a TIFF of its own, and report what each acquisition did.
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
#include <utility>
#include <vector>

namespace acquire {

/* A job that could not be done, or was done only in part; its message is
 * one line. A run of several cameras can fail on more than one: each has a
 * line of its own, and what() is the first. */
class Failure : public std::runtime_error {
public:
  explicit Failure(const std::string &message) : std::runtime_error(message), messages_{message} {}
  explicit Failure(std::vector<std::string> messages)
      : std::runtime_error(messages.at(0)), messages_(std::move(messages)) {}
  const std::vector<std::string> &messages() const { return messages_; }

private:
  std::vector<std::string> messages_;
};

/* Where the TIFF of a run goes, given its file name. */
using SinkMaker = std::function<std::unique_ptr<ByteSink>(const std::string &file)>;

/* Acquires from every device of options.devices at once, one device object
 * each, driven from this thread as the toolbox's user drives several
 * videoinputs. One device writes into options.out; several write into
 * options.out/camera<id>, and every line of their figures starts with
 * "camera <id>: ". Returns when every camera's frames were all acquired
 * and written; throws Failure, naming each camera that fell short, when
 * some were not (a camera's frames are written whatever the others do).
 * progress is null for no progress line. makeSink (empty: the file itself)
 * lets the pages go elsewhere through the same path. */
void acquireFrames(imaqkit::AdaptorLibrary &library, const Options &options, std::FILE *out,
                   std::FILE *progress, const SinkMaker &makeSink = {});

} // namespace acquire

#endif
