#include "Station.h"

#include "clsMainPerformLoop.h"
#include "platform/posix/LineWriter.h"
#include "startup/Globals.h"
#include "startup/Services.h"
#include "startup/clsINISettings.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace quavix {

namespace {

void configError(const std::string& line)
{
    errorLine("quavix: " + line);
    services().process->endProgram(StationConfigError);
}

} // namespace

void runStation(const std::string& profilePath)
{
    Globals& g = globals();
    Process& process = *services().process;
    g.gStation = true;
    g.gExitProgram = false;
    g.gCommandLine = profilePath;
    // The reader takes a missing file for one without values: say which it is.
    errno = 0;
    if (!std::ifstream(profilePath, std::ios::binary)) {
        const int err = errno;
        configError("cannot read the station profile \"" + profilePath +
                    "\": " + (err ? std::strerror(err) : "not readable"));
        return;
    }
    if (std::string problem = clsINISettings().fGetStationSettings(); !problem.empty()) {
        configError("the station profile \"" + profilePath + "\" " + problem);
        return;
    }

    // One engine for the whole run: what it has said is not said again after a restart.
    clsMainPerformLoop engine;
    for (;;) {
        g.gLogDate.clear();
        engine.fPerformPlaySongs();
        // The engine returns when a stop came in while it let events through: the same
        // stop as any other for a station, which idles until playback is started again.
        while (g.gStopPlay && !g.gExitProgram) {
            process.waitForEvents(100);
        }
        if (g.gExitProgram) {
            process.endProgram(0);
            return;
        }
    }
}

void stopStation()
{
    Globals& g = globals();
    g.gStopPlay = true;
    g.gExitProgram = true;
    services().media->stop();
}

void resumeStation()
{
    globals().gStopPlay = false;
}

} // namespace quavix
