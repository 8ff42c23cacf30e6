// camsim on Windows: the Win32 there is the real one, without the
// stand-in's test controls that the host commands read, so there are none.
#include "camsimCommand.h"

const CamsimCommand hostCommands[] = {
    {nullptr, 0, 0, nullptr},
};
