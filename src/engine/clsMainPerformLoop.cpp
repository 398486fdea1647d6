#include "clsMainPerformLoop.h"

#include "Station.h"
#include "clsActivityLog.h"
#include "clsCheckForStop.h"
#include "clsCreateFileList.h"
#include "clsGetNextSong.h"
#include "clsPlaySong.h"
#include "platform/posix/LineWriter.h"
#include "startup/Globals.h"
#include "startup/Services.h"

#include <algorithm>
#include <memory>

namespace quavix {

namespace {

template <class T> T& worker(std::unique_ptr<T>& slot)
{
    if (!slot)
        slot = std::make_unique<T>();
    return *slot;
}

int g_running = 0;

struct Running {
    Running() { ++g_running; }
    ~Running() { --g_running; }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;
};

std::string seconds(int milliseconds)
{
    return std::to_string(milliseconds / 1000) + " s";
}

} // namespace

bool clsMainPerformLoop::fRunning()
{
    return g_running > 0;
}

void clsMainPerformLoop::fPerformPlaySongs()
{
    Globals& g = globals();
    Services& s = services();
    Process& process = *s.process;
    std::unique_ptr<clsCheckForStop> checkForStop;
    std::unique_ptr<clsCreateFileList> createFileList;
    std::unique_ptr<clsGetNextSong> getNextSong;
    std::unique_ptr<clsPlaySong> playSong;
    Running running;

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

        const bool newDay = clsActivityLog::fDateText(s.clock->now()) != g.gLogDate;
        if (newDay || mRelist) {
            mRelist = false;
            clsCreateFileList& list = worker(createFileList);
            list.fCreateFileList();
            if (newDay) {
                g.gLogDate = clsActivityLog::fDateText(s.clock->now());
                clsActivityLog().fCreateLogFile();
            }
            const bool first = !mListed;
            mListed = true;
            if (g.gSongCount == 0 && first) {
                fNothingToPlayAtStart(list);
            } else {
                fSayFolderProblems(list);
                if (g.gSongCount == 0) {
                    fBackOff("quavix: the song folders hold no song to play; they are listed "
                             "again every " +
                             seconds(RelistMs));
                    continue;
                }
            }
        }

        worker(getNextSong).fPerformGetNextSong();
        process.processEvents();
        if (!g.gStopPlay) {
            if (worker(playSong).fPlaySong())
                fSongPlayed();
            else
                fSongFailed();
        }
        process.processEvents();
    }
}

void clsMainPerformLoop::fSongPlayed()
{
    mUnplayableSaid.erase(globals().gCurrentFileName);
    mFailedInRow = 0;
    mNothingSaid = false;
}

void clsMainPerformLoop::fSongFailed()
{
    Globals& g = globals();
    if (mUnplayableSaid.insert(g.gCurrentFileName).second)
        errorLine("quavix: \"" + g.gCurrentFileName +
                  "\" could not be played: " + services().media->errorDescription());
    // In random order the same few may come up again and again: as many failures in a row
    // as the list has lines stand for the whole list.
    if (++mFailedInRow >= std::max(1, static_cast<int>(g.gSongCount))) {
        fBackOff("quavix: no song of the song list \"" + g.gPlayListFile +
                 "\" can be played; the song folders are listed again every " + seconds(RelistMs));
        return;
    }
    fWaitUnlessStopped(FailedSongPauseMs);
}

void clsMainPerformLoop::fBackOff(const std::string& line)
{
    if (!mNothingSaid)
        errorLine(line);
    mNothingSaid = true;
    mFailedInRow = 0;
    mRelist = true;
    fWaitUnlessStopped(RelistMs);
}

bool clsMainPerformLoop::fWaitUnlessStopped(int milliseconds)
{
    Globals& g = globals();
    Process& process = *services().process;
    for (int waited = 0; waited < milliseconds; waited += 100) {
        if (g.gStopPlay || g.gExitProgram)
            return false;
        process.waitForEvents(std::min(100, milliseconds - waited));
    }
    return !g.gStopPlay && !g.gExitProgram;
}

void clsMainPerformLoop::fSayFolderProblems(const clsCreateFileList& list)
{
    for (const auto& p : list.fFolderProblems()) {
        const std::string text = clsCreateFileList::fProblemText(p);
        if (mFolderProblemsSaid.insert(text).second)
            errorLine("quavix: " + text);
    }
}

void clsMainPerformLoop::fNothingToPlayAtStart(const clsCreateFileList& list)
{
    Globals& g = globals();
    Services& s = services();
    std::vector<std::string> why;
    for (const auto& p : list.fFolderProblems())
        why.push_back(clsCreateFileList::fProblemText(p));
    if (list.fSkippedNames() > 0)
        why.push_back("every song file was left out for its name (" +
                      std::to_string(list.fSkippedNames()) + " of them; BadNames=Play plays them)");
    if (why.empty())
        why.push_back("the song folders hold no song");

    if (g.gStation) {
        std::string line = "quavix: nothing to play, so the station ends: ";
        for (std::size_t i = 0; i < why.size(); ++i)
            line += (i ? "; " : "") + why[i];
        errorLine(line);
        s.process->endProgram(StationConfigError);
        return;
    }
    std::string text = "There is nothing to play.";
    for (std::string& reason : why) {
        if (reason[0] >= 'a' && reason[0] <= 'z')
            reason[0] = static_cast<char>(reason[0] - 'a' + 'A');
        text += std::string(CrLf) + CrLf + reason + ".";
    }
    s.dialogs->messageBox("Song List", text, MsgIcon::Exclamation, MsgButtons::Ok);
}

} // namespace quavix
