#include "clsGetNextSong.h"

#include "RenameDialog.h"
#include "SongFileName.h"
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
    Services& s = services();
    if (g.gStartUpAction == "Preview") {
        ++g.gSongIndex;
    } else {
        if (g.gSongCount <= 0) {
            endOfPlayList();
            return;
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
        return;
    }
    if (!chosen.empty() && chosen.back() == '\r')
        chosen.pop_back();

    g.gCurrentFileName = chosen;
    if (takeSongNameApart(fileNamePart(chosen)))
        return;
    g.gStopPlay = true;
    // After the rename the list must name the file by its new name: rebuild it on the
    // engine's next cycle.
    g.gLogDate.clear();
    RenameDialogPort& dialog = loadResetSongFileName();
    dialog.setCurrentName(g.gCurrentFileName);
    dialog.setSongPath(g.gCurrentFileName);
    dialog.showModeless();
}

} // namespace quavix
