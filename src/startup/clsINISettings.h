#pragma once
// Reads the profile into the shared state once at start-up; runs the first-run set-up
// (which ends the program) when no default play list is known yet.
#include "platform/OptionsStore.h"
#include "platform/Profile.h"

#include <string>

namespace quavix {

class clsINISettings {
public:
    // Fills gPlayListFile, gMP3Locations, gLogLocation, gStartUpAction,
    // gAutoLoadMP3Locations and gLogActivity from the default profile (and the options store for
    // the play list). Does not return when the set-up runs: services().process->endProgram().
    void fGetINISettings();

    // The station's start (quavix --station): the same values, from the default profile
    // (which is the station's), and gBadNames from [StartUp] BadNames. No first run and no
    // options store: a station never asks, and must not rewrite the play list that the
    // desktop strip keeps there. Returns "" when the station can run, otherwise what is
    // missing, for the user (FileList, or MP3Location001).
    std::string fGetStationSettings();

private:
    void firstRunSetUp();
    void readEngineSettings();
};

// The default play list file: the profile's [File Locations] FileList, else the stored
// option of the same name; "" when neither names one. Values are kept as read.
std::string defaultPlayListFile(Profile& profile, OptionsStore& options);

// True when the text holds nothing but blanks.
bool isBlankText(const std::string& text);

} // namespace quavix
