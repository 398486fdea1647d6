#include "Station.h"

#include "clsMainPerformLoop.h"
#include "platform/posix/LineWriter.h"
#include "startup/Globals.h"
#include "startup/Services.h"
#include "startup/clsINISettings.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quavix {

namespace {

void configError(const std::string& line)
{
    errorLine("quavix: " + line);
    services().process->endProgram(StationConfigError);
}

} // namespace

std::string stationProfileProblem(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT ? "does not exist"
                               : std::string("cannot be read: ") + std::strerror(errno);
    if (S_ISDIR(st.st_mode))
        return "is a folder";
    if (!S_ISREG(st.st_mode))
        return "is not a regular file";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::string("cannot be read: ") + std::strerror(errno);
    ::close(fd);
    return {};
}

void runStation(const std::string& profilePath)
{
    Globals& g = globals();
    Process& process = *services().process;
    g.gStation = true;
    g.gExitProgram = false;
    g.gCommandLine = profilePath;
    // The reader takes a missing file for one without values: say which it is. A FIFO
    // would hold the station before it reads anything, deaf to SIGTERM.
    if (std::string problem = stationProfileProblem(profilePath); !problem.empty()) {
        configError("cannot read the station profile \"" + profilePath + "\": it " + problem);
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
