#include "clsMainPerformLoop.h"

#include "clsActivityLog.h"
#include "clsCheckForStop.h"
#include "clsCreateFileList.h"
#include "clsGetNextSong.h"
#include "clsPlaySong.h"
#include "startup/Globals.h"
#include "startup/Services.h"

#include <memory>

namespace quavix {

namespace {

template <class T> T& worker(std::unique_ptr<T>& slot)
{
    if (!slot)
        slot = std::make_unique<T>();
    return *slot;
}

} // namespace

void clsMainPerformLoop::fPerformPlaySongs()
{
    Globals& g = globals();
    Services& s = services();
    Process& process = *s.process;
    std::unique_ptr<clsCheckForStop> checkForStop;
    std::unique_ptr<clsCreateFileList> createFileList;
    std::unique_ptr<clsGetNextSong> getNextSong;
    std::unique_ptr<clsPlaySong> playSong;

    for (;;) {
        g.gStopPlay = worker(checkForStop).fPerformCheckForStop();
        if (g.gStopPlay) {
            if (g.gExitProgram) {
                process.endProgram();
                return;
            }
            process.waitForEvents(100);
            continue;
        }

        process.processEvents();
        if (g.gStopPlay)
            return;

        if (clsActivityLog::fDateText(s.clock->now()) != g.gLogDate) {
            worker(createFileList).fCreateFileList();
            g.gLogDate = clsActivityLog::fDateText(s.clock->now());
            clsActivityLog().fCreateLogFile();
        }

        worker(getNextSong).fPerformGetNextSong();
        process.processEvents();
        if (!g.gStopPlay)
            worker(playSong).fPlaySong();
        process.processEvents();
    }
}

} // namespace quavix
