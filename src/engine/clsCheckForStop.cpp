#include "clsCheckForStop.h"

#include "startup/Globals.h"
#include "startup/Services.h"

namespace quavix {

bool clsCheckForStop::fPerformCheckForStop()
{
    if (globals().gStopPlay)
        return true;
    return services().profile->read("Play Status", "Continue", "", globals().gCommandLine) != "Yes";
}

} // namespace quavix
