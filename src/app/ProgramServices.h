#pragma once
// The real services of quavix-gui, made in this one place for the strip and the station, and
// given to services() (startup/Services.h) all at once: a service added to that record and
// not made here does not compile, and one missing when the program runs is said here, before
// anything uses it. What the two programs want differently comes in ServiceChoices.
//
// Before the process ends (Process::endProgram, which skips destructors) the window system
// goes, so that code of ours in the compositor (the KWin script) does not outlive us, and
// with closeMediaAtEnd the media player too, so that a broadcast's connection is closed as a
// source should close it rather than left to the kernel.
#include "platform/linux/DesktopClassesRegistry.h"
#include "platform/linux/GstMediaPlayer.h"
#include "platform/linux/InstanceServer.h"
#include "platform/linux/QtProcess.h"
#include "platform/linux/QtTray.h"
#include "platform/linux/QtWindowSystem.h"
#include "platform/linux/XdgBrowser.h"
#include "platform/posix/IniOptionsStore.h"
#include "platform/posix/IniProfile.h"
#include "platform/posix/SystemClock.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quavix {

class Dialogs;

struct ServiceChoices {
    IniProfile& profile;
    IniOptionsStore& options;
    // Boxes on the screen, or lines on standard error; the media player's notices go there.
    Dialogs& dialogs;
    // The profile whose [Broadcast] and [Sound] sections the media player follows.
    std::string profilePath;
    // The command line the process reports, and the socket that answers second starts.
    std::vector<std::string> arguments;
    const InstanceServer& server;
    std::unique_ptr<QtWindowSystem> windows;
    // The media player's lines about what plays (its status display, or the journal).
    std::function<void(const std::string&)> status;
    // Where its play-state changes go from the start; the strip's window takes them when it
    // loads.
    std::function<void(int oldState, int newState, bool currentItem)> playState;
    bool closeMediaAtEnd = false;
};

class ProgramServices {
public:
    // Fills services(); they stay there for the life of the process (see above for its end).
    explicit ProgramServices(ServiceChoices choices);
    ProgramServices(const ProgramServices&) = delete;
    ProgramServices& operator=(const ProgramServices&) = delete;

    GstMediaPlayer& media() { return *m_media; }

private:
    std::unique_ptr<GstMediaPlayer> m_media;
    std::unique_ptr<QtWindowSystem> m_windows;
    DesktopClassesRegistry m_classes;
    QtTray m_tray;
    QtProcess m_process;
    SystemClock m_clock;
    MtRandom m_random;
    XdgBrowser m_browser;
};

} // namespace quavix
