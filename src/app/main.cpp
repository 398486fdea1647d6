// quavix-gui: the whole program, the strip or (--station) the station. The start-up steps
// before the toolkit are in StartUp.h, the services in ProgramServices.h; the station's
// start is in station.cpp.
#include "startup/Main.h"

#include "ProgramServices.h"
#include "StartUp.h"
#include "engine/clsMainPerformLoop.h"
#include "mainwindow/Form1.h"
#include "mainwindow/MainWindowLoader.h"
#include "mpris/MprisService.h"
#include "platform/linux/EarlyStart.h"
#include "platform/linux/FollowerWindowSystem.h"
#include "platform/linux/QtDialogs.h"
#include "platform/linux/SwayWindowSystem.h"
#include "platform/linux/TerminationSignals.h"
#include "platform/linux/X11WindowSystem.h"
#include "platform/posix/LineWriter.h"
#include "platform/posix/PosixProcess.h"
#include "platform/posix/XdgPaths.h"
#include "rename/frmResetSongFileName.h"
#include "startup/AfterFirstPaint.h"
#include "startup/CommandOptions.h"
#include "startup/Globals.h"
#include "startup/HandOff.h"
#include "startup/Services.h"
#include "startup/Windows.h"

#include <QAction>
#include <QApplication>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

// Brings the strip back when a second start hands a file over.
void showMainWindow()
{
    if (quavix::MainWindowPort* form1 = quavix::mainWindowIfLoaded())
        form1->bringToFront();
}

// The strip's own commands, for the desktop's media controls.
quavix::MprisCommands mprisCommands()
{
    using quavix::MprisCommand;
    quavix::MprisCommands commands;
    commands.action = [](MprisCommand command) -> QAction* {
        quavix::Form1* f = quavix::loadedForm1();
        if (!f)
            return nullptr;
        switch (command) {
        case MprisCommand::Play:
            return f->mnuPlay;
        case MprisCommand::Pause:
            return f->mnuPause;
        case MprisCommand::Stop:
            return f->mnuStop;
        case MprisCommand::Next:
            return f->mnuNext;
        case MprisCommand::Previous:
            return f->mnuPrevious;
        }
        return nullptr;
    };
    commands.raise = showMainWindow;
    commands.quit = quavix::closeMainWindowWithoutAsking;
    commands.open = [](const std::vector<std::string>& files) {
        if (quavix::Form1* f = quavix::loadedForm1())
            f->Image1_OLEDragDrop(files);
    };
    return commands;
}

std::unique_ptr<quavix::QtWindowSystem> makeWindowSystem(quavix::MechanismChoice& choice)
{
    using quavix::WindowMechanism;
    const char* swaySocket = std::getenv("SWAYSOCK");
    if (choice.mechanism == WindowMechanism::Sway && swaySocket &&
        quavix::X11WindowSystem::usable())
        return std::make_unique<quavix::SwayWindowSystem>(swaySocket);
    if (choice.mechanism == WindowMechanism::KWin || choice.mechanism == WindowMechanism::Gnome) {
        using Host = quavix::FollowerWindowSystem::Host;
        const bool kwin = choice.mechanism == WindowMechanism::KWin;
        auto follower =
            std::make_unique<quavix::FollowerWindowSystem>(kwin ? Host::KWin : Host::GnomeShell);
        std::string problem;
        if (follower->start(problem))
            return follower;
        quavix::errorLine("quavix: " + problem);
        choice.mechanism = WindowMechanism::None;
        choice.found = kwin ? "KWin did not take the script that reports the active window"
                            : "GNOME Shell's Quavix extension does not answer";
        choice.advice = kwin ? "make sure KWin runs scripts (its Scripting interface on the "
                               "session bus)"
                             : "make sure Quavix can use the session bus";
    }
    if (quavix::X11WindowSystem::usable())
        return std::make_unique<quavix::X11WindowSystem>(choice.mechanism == WindowMechanism::None);
    return std::make_unique<quavix::QtWindowSystem>();
}

// Where the strip cannot follow, the user hears why once in a box, and on every start on
// standard error.
void tellWhyTheStripStays(const quavix::MechanismChoice& choice, quavix::OptionsStore& options)
{
    if (choice.mechanism != quavix::WindowMechanism::None || choice.advice.empty())
        return;
    quavix::errorLine("quavix: " + choice.found +
                      ", so the strip stays at the top edge and follows only X11 windows; to "
                      "make it follow, " +
                      choice.advice);
    if (options.get(quavix::ProgramTitle, "Options", "WaylandNoticeShown", "") == "Yes")
        return;
    options.save(quavix::ProgramTitle, "Options", "WaylandNoticeShown", "Yes");
    std::string found = choice.found;
    found[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(found[0])));
    quavix::afterFirstPaint([found, advice = choice.advice] {
        quavix::services().dialogs->messageBox(
            quavix::ProgramTitle,
            found +
                ", so the Quavix strip cannot ride on the window in front: it stays at the top "
                "edge of the screen and follows only X11 windows.\r\n\r\nTo make it follow, " +
                advice + ".",
            quavix::MsgIcon::Information, quavix::MsgButtons::Ok);
    });
}

} // namespace

int main(int argc, char** argv)
{
    // Before QApplication takes the arguments it knows (-style and the like) out of argv:
    // every argument belongs to the command line, as the launcher passed it.
    const auto given = quavix::parseCommandOptions(quavix::PosixProcess::arguments(argc, argv));
    if (int status = quavix::answerCommandOptions(given, "quavix"); status >= 0)
        return status;
    if (given.action == quavix::CommandOptions::Action::Station)
        return quavix::stationMain(given.arguments, argc, argv);
    return quavix::stripMain(given.arguments, argc, argv);
}

int quavix::stripMain(const std::vector<std::string>& arguments, int& argc, char** argv)
{
    // The launcher appended the file but the running instance did not answer.
    const char* unanswered = std::getenv("QUAVIX_HANDOFF_UNANSWERED");
    const std::string unansweredPlayList = unanswered ? unanswered : "";

    // While the toolkit starts, the early thread loads its plugins ahead of it, opens the door
    // for second starts and reads the profile and the options. Not for a start that only
    // reports a failed hand-off: a second start must not hand its file to an instance that is
    // about to end.
    std::optional<EarlyStart> early;
    if (!unanswered)
        early.emplace(showMainWindow);
    Platform platform = stripPlatform(settleBuses(bus::Buses::SessionAndAccessibility));
    Toolkit toolkit(argc, argv, platform);

    QtDialogs dialogs;
    if (unanswered) {
        services().dialogs = &dialogs;
        ::unsetenv("QUAVIX_HANDOFF_UNANSWERED");
        PosixProcess plain(arguments);
        reportHandOff(HandOffResult::NotAcknowledged, unansweredPlayList, plain.commandLine(), {},
                      dialogs);
        return 1;
    }

    const EarlyStart::Done read = early->finish();
    ProgramServices real({
        .profile = read.profile,
        .options = read.options,
        .dialogs = dialogs,
        .profilePath = xdg::defaultProfilePath(),
        .arguments = arguments,
        .server = read.server,
        .windows = makeWindowSystem(platform.mechanism),
        .status =
            [](const std::string& text) {
                if (MainWindowPort* form1 = mainWindowIfLoaded())
                    form1->showStatusMessage(text);
            },
        .playState = {}, // the strip's window takes them when it loads
    });

    // Reaching the session bus can mean starting its launcher: the strip does not wait for
    // it, nor for the media framework (the first MP3 then opens in a fraction of the time).
    afterFirstPaint([] { serveMpris(mprisCommands()); });
    afterFirstPaint([&real] { real.media().warmUp(); });
    tellWhyTheStripStays(platform.mechanism, read.options);
    installMainWindow();
    installResetSongFileName();
    TerminationSignals termination([](int) { closeMainWindowWithoutAsking(); });
    armSaveAtExit();
    Main({[] { clsMainPerformLoop().fPerformPlaySongs(); }});
    const int status = QApplication::exec();
    disarmSaveAtExit();
    return status;
}
