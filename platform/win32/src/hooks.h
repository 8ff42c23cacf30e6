// The WH_GETMESSAGE chain, run for every message a thread retrieves.
#ifndef CAMERA_PLATFORM_WIN32_HOOKS_H
#define CAMERA_PLATFORM_WIN32_HOOKS_H

#include "state.h"

namespace win32 {
// Runs the calling thread's hooks, last installed first, without the lock.
void runGetMessageHooks(WPARAM removal, MSG *msg);
} // namespace win32

#endif
