#include "clsCheckForStop.h"

#include "Station.h"
#include "platform/posix/LineWriter.h"
#include "startup/Globals.h"
#include "startup/Services.h"

namespace quavix {

bool clsCheckForStop::fPerformCheckForStop()
{
    Globals& g = globals();
    if (g.gStopPlay)
        return true;
    const std::string value =
        services().profile->read("Play Status", "Continue", "", g.gCommandLine);
    if (value == "Yes")
        return false;
    if (g.gStation) {
        std::string why = stationProfileProblem(g.gCommandLine);
        if (why.empty())
            why = value.empty() ? "has no Continue=Yes in [Play Status]" : "says Continue=" + value;
        errorLine("quavix: the station stops: its profile \"" + g.gCommandLine + "\" " + why +
                  "; it plays on when started again (playerctl play) once the profile says "
                  "Continue=Yes");
    }
    return true;
}

} // namespace quavix
