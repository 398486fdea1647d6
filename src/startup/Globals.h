#pragma once
// The shared program state: one record, zero-initialised at start, read and written
// directly by every part of the program (all on the UI thread, so no locking).
#include <cstdint>
#include <string>
#include <vector>

namespace quavix {

inline constexpr const char* ProgramTitle = "Quavix";
inline constexpr const char* CrLf = "\r\n";

struct Globals {
    std::int32_t gSongCount = 0;
    std::int32_t gSongIndex = 0;
    std::string gCurrentFileName;
    std::string gCurrentGroup;
    std::string gCurrentCDTitle;
    std::string gCurrentReleaseYear;
    std::string gCurrentTitle;
    std::int32_t gCurrentLength = 0;
    bool gStopPlay = false;
    bool gExitProgram = false;
    std::string gPlayListFile;
    std::string gCommandLine;
    // Song folders, each ending with "/". Index 0 is folder 1.
    std::vector<std::string> gMP3Locations;
    std::string gLogLocation;
    std::string gLogDate;
    std::string gStartUpAction;
    bool gAutoLoadMP3Locations = false;
    bool gLogActivity = false;
    bool gPlayingPlayList = false;
    bool gPlayListSequential = false;
    bool gPlayListEditCancelled = false;
    std::int16_t gIconChangeTicks = 0;
    std::int16_t gIconChangeLimit = 0;
    std::int32_t gAdjustFontUpDown = 0;
    std::int32_t gAdjustFontLeftRight = 0;
    std::int32_t gAdjustIconUpDown = 0;
    std::int32_t gAdjustIconLeftRight = 0;
    bool gRandomIconAtStartup = false;
    bool gRandomIconWhileRunning = false;
    bool gPlayFirstEntry = false;
    bool gChangeIconAfterFile = false;
    bool gCommandLineFile = false;
    // The station runs as a service (quavix --station): nobody is there to answer a
    // window, so a song name the engine cannot take apart is reported on standard error and
    // skipped, or played as it is when gBadNames is "Play" ([StartUp] BadNames).
    bool gStation = false;
    std::string gBadNames;
    // The file name the main window's file dialog holds from its last use (CommonDialog.h).
    std::string commonDialog1FileName;
};

Globals& globals();
// Back to the state at program start (tests).
void resetGlobals();

} // namespace quavix
