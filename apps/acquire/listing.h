// acquire --list: what the adaptor reports, as imaqhwinfo shows it.
#ifndef ACQUIRE_LISTING_H
#define ACQUIRE_LISTING_H

#include "imaqkit_engine.h"

#include <cstdio>

namespace acquire {

void printDevices(imaqkit::AdaptorLibrary &library, std::FILE *out);

} // namespace acquire

#endif
