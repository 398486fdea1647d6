#include "clsGetNextSong.h"

#include "RenameDialog.h"
#include "SongFileName.h"
#include "platform/posix/LineWriter.h"
#include "startup/Globals.h"
#include "startup/Services.h"

#include <algorithm>
#include <fstream>
#include <string>

namespace quavix {

namespace {

void endOfPlayList()
{
    Services& s = services();
    s.dialogs->messageBox("End Of Play List",
                          std::string("The last song has been played") + CrLf + CrLf +
                              "Click OK to exit",
                          MsgIcon::Information, MsgButtons::Ok);
    s.process->endProgram();
}

} // namespace

int clsGetNextSong::fRandomLine(int songCount, int current, double draw)
{
    if (songCount <= 1)
        return 1;
    draw = std::clamp(draw, 0.0, 1.0);
    // One draw among the other lines: the same odds as drawing again until the line
    // differs, without the chance of drawing forever.
    bool exclude = current >= 1 && current <= songCount;
    int choices = exclude ? songCount - 1 : songCount;
    int line = std::min(static_cast<int>(draw * choices), choices - 1) + 1;
    if (exclude && line >= current)
        ++line;
    return line;
}

void clsGetNextSong::fPerformGetNextSong()
{
    Globals& g = globals();
    for (int tries = 1;; ++tries) {
        if (fChooseSong())
            return;
        if (!g.gStation) {
            g.gStopPlay = true;
            // After the rename the list must name the file by its new name: rebuild it on
            // the engine's next cycle.
            g.gLogDate.clear();
            RenameDialogPort& dialog = loadResetSongFileName();
            dialog.setCurrentName(g.gCurrentFileName);
            dialog.setSongPath(g.gCurrentFileName);
            dialog.showModeless();
            return;
        }
        // The list builder has said so of every bad name it listed: not again per song.
        if (g.gBadNames == "Play") {
            g.gCurrentGroup.clear();
            g.gCurrentCDTitle.clear();
            g.gCurrentReleaseYear.clear();
            g.gCurrentTitle.clear();
            g.gCurrentLength = 0;
            return;
        }
        const std::string problem = parseSongName(fileNamePart(g.gCurrentFileName)).problem;
        errorLine(badSongNameLine(g.gCurrentFileName, problem, false));
        // List order runs into the end of the list, but a list of one line never does,
        // and random order never: after as many tries as there are lines, give up.
        if (tries > g.gSongCount) {
            errorLine("quavix: no song of the list \"" + g.gPlayListFile + "\" can be played");
            services().process->endProgram(1);
            return;
        }
    }
}

bool clsGetNextSong::fChooseSong()
{
    Globals& g = globals();
    Services& s = services();
    if (g.gStartUpAction == "Preview") {
        ++g.gSongIndex;
    } else {
        if (g.gSongCount <= 0) {
            endOfPlayList();
            return true;
        }
        s.random->seedFromClock();
        g.gSongIndex = fRandomLine(g.gSongCount, g.gSongIndex, s.random->next());
    }

    std::string chosen;
    int linesRead = 0;
    {
        std::ifstream list(g.gPlayListFile, std::ios::binary);
        std::string line;
        while (linesRead < g.gSongIndex && std::getline(list, line)) {
            ++linesRead;
            chosen = std::move(line);
        }
    }
    if (linesRead < g.gSongIndex && linesRead != 1) {
        endOfPlayList();
        return true;
    }
    if (!chosen.empty() && chosen.back() == '\r')
        chosen.pop_back();

    g.gCurrentFileName = chosen;
    return takeSongNameApart(fileNamePart(chosen));
}

} // namespace quavix
