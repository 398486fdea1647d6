#include "SongRename.h"

#include "clsGetDriveDirFromFilename.h"
#include "startup/Globals.h"
#include "startup/Services.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>

namespace quavix {

namespace {

// rename() replaces an existing target; RENAME_NOREPLACE makes "never overwrite" atomic.
// File systems without it get an existence test first.
int renameNoReplace(const char* from, const char* to)
{
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
#endif
    struct stat st;
    if (::lstat(to, &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return std::rename(from, to);
}

} // namespace

std::string buildSongFileName(const SongRenameFields& fields, double durationSeconds)
{
    long seconds = 0;
    if (std::isfinite(durationSeconds) && durationSeconds > 0)
        seconds = std::lrint(std::nearbyint(std::min(durationSeconds, 1e9)));
    return fields.artist + " - " + fields.cdName + " - " + fields.year + " - " + fields.songTitle +
           " - " + std::to_string(seconds / 60) + "_" + std::to_string(seconds % 60) + ".mp3";
}

std::string renameSongFile(const std::string& sourcePath, const std::string& newName)
{
    const std::string what = "\"" + sourcePath + "\" cannot be renamed to \"" + newName + "\": ";
    if (newName.find('/') != std::string::npos)
        return what + "a name must not contain \"/\".";
    struct stat st;
    if (sourcePath.empty() || ::lstat(sourcePath.c_str(), &st) != 0)
        return what + "the file no longer exists.";
    const std::string target =
        clsGetDriveDirFromFilename().fPerformGetDriveDirFromFilename(sourcePath) + newName;
    if (target == sourcePath)
        return {};
    if (renameNoReplace(sourcePath.c_str(), target.c_str()) != 0) {
        if (errno == EEXIST)
            return what + "a file of that name already exists.";
        return what + std::strerror(errno) + ".";
    }
    return {};
}

bool confirmSongRename(const std::string& sourcePath, const SongRenameFields& fields)
{
    Services& s = services();
    Globals& g = globals();
    // Measuring raises play-state events that move gStopPlay; they are handled while the item
    // is still open (so they read as a stop, not as an end) and then undone: only a completed
    // rename releases the engine.
    const bool stopped = g.gStopPlay;
    s.media->setFileName(sourcePath);
    const double duration = s.media->duration();
    s.media->stop();
    s.media->playState();
    s.process->processEvents();
    s.media->setFileName("");
    g.gStopPlay = stopped;
    std::string problem = renameSongFile(sourcePath, buildSongFileName(fields, duration));
    if (!problem.empty()) {
        s.dialogs->messageBox("Reset Song File Name", problem, MsgIcon::Exclamation,
                              MsgButtons::Ok);
        return false;
    }
    g.gStopPlay = false;
    return true;
}

void confirmCancelRename()
{
    Services& s = services();
    std::string text = std::string("The song filename is not compatable.") + CrLf + CrLf +
                       "Select Yes to continue the cancel and exit the program." + CrLf + CrLf +
                       "Select No to stop the cancel and return to the rename screen.";
    if (s.dialogs->messageBox("Cancel Rename", text, MsgIcon::Information, MsgButtons::YesNo) ==
        MsgAnswer::Yes)
        s.process->endProgram();
}

} // namespace quavix
