/* Test controls of the adaptor kit. Tests include this header; shipped code
 * never does. */
#ifndef IMAQKIT_TEST_CONTROL_H
#define IMAQKIT_TEST_CONTROL_H

#include "imaqkit.h"

namespace imaqkit::test {

/* The next `skip` calls of imaqmalloc succeed, then `count` of them answer
 * null (count < 0: every one after the skipped ones), then they succeed
 * again. A new call replaces the previous plan. */
IMAQKIT_API void failAllocations(long skip, long count);
IMAQKIT_API void stopFailingAllocations();
/* imaqmalloc calls so far, and its blocks not yet returned with imaqfree. */
IMAQKIT_API long allocationCalls();
IMAQKIT_API long liveBlocks();
/* Adaptor managers made by createAdaptorManager and not yet deleted. */
IMAQKIT_API long liveManagers();
/* The next call of the named property set operation ("propertyRecord",
 * "propertyCount", "propertyNames" or "attachListener"), on any device
 * object, throws imaqkit::Error before it does anything; null: none. */
IMAQKIT_API void throwFromPropertySet(const char *operation);

} // namespace imaqkit::test

#endif
