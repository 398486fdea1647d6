#include "clsCheckForStop.h"

#include "startup/Globals.h"
#include "startup/Services.h"

namespace quavix {

bool clsCheckForStop::fPerformCheckForStop()
{
    if (globals().gStopPlay)
        return true;
    Profile* profile = services().profile;
    if (!profile)
        return true;
    return profile->read("Play Status", "Continue", "", globals().gCommandLine) != "Yes";
}

} // namespace quavix
