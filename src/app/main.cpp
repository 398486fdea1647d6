// quavix-gui: the whole program. The only place that builds the real services.
#include "startup/Main.h"

#include "engine/PlayListPlayer.h"
#include "engine/SongFileName.h"
#include "engine/Station.h"
#include "engine/clsMainPerformLoop.h"
#include "mainwindow/Form1.h"
#include "mainwindow/MainWindowLoader.h"
#include "mpris/MprisService.h"
#include "platform/Sound.h"
#include "platform/TextFiles.h"
#include "platform/linux/BusProbe.h"
#include "platform/linux/DesktopClassesRegistry.h"
#include "platform/linux/FollowerWindowSystem.h"
#include "platform/linux/GstMediaPlayer.h"
#include "platform/linux/InstanceServer.h"
#include "platform/linux/QtDialogs.h"
#include "platform/linux/QtProcess.h"
#include "platform/linux/QtTray.h"
#include "platform/linux/QtWindowSystem.h"
#include "platform/linux/SwayWindowSystem.h"
#include "platform/linux/TerminationSignals.h"
#include "platform/linux/ToolkitPreload.h"
#include "platform/linux/WindowMechanism.h"
#include "platform/linux/X11WindowSystem.h"
#include "platform/linux/XdgBrowser.h"
#include "platform/posix/IniOptionsStore.h"
#include "platform/posix/IniProfile.h"
#include "platform/posix/InstanceClient.h"
#include "platform/posix/LineDialogs.h"
#include "platform/posix/LineWriter.h"
#include "platform/posix/SystemClock.h"
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
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
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

// Without a display the toolkit gives up with a fatal message about its plugins and an abort.
// Said instead in words a user can act on, as a failed command (status 1). Only while the
// application object is made; every other message goes where it went, and a plugin that
// fails for another reason (a library missing) keeps the toolkit's own words.
QtMessageHandler g_toolkitMessages = nullptr;
bool g_displayRefused = false;

void displayMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.contains(QLatin1String("could not connect to display"))) {
        g_displayRefused = true;
        return; // said below, in our words
    }
    // The plugin failed because the display did: that is the whole story. Qt 6.5 and later
    // add a hint about the cursor library whenever the X11 plugin fails; the plugin got as
    // far as the display, so the library is there.
    if (g_displayRefused &&
        (message.contains(QLatin1String("Could not load the Qt platform plugin")) ||
         message.contains(QLatin1String("xcb-cursor0 or libxcb-cursor0 is needed"))))
        return;
    const char* display = std::getenv("DISPLAY");
    const bool noDisplay = g_displayRefused || !display || !*display;
    if (type == QtFatalMsg && noDisplay &&
        message.contains(QLatin1String("no Qt platform plugin could be initialized"))) {
        if (display && *display)
            std::fprintf(stderr, "Quavix needs a graphical display: cannot open display '%s'\n",
                         display);
        else
            std::fprintf(stderr, "Quavix needs a graphical display: DISPLAY is not set\n");
        std::fflush(stderr);
        ::_exit(1);
    }
    if (g_toolkitMessages)
        g_toolkitMessages(type, context, message);
}

// The default profile's "Broadcast" section, when there is one, sends what plays to a server
// as well. What is wrong with it goes to standard error: the station may run unattended.
void configureBroadcast(quavix::Profile& profile, quavix::GstMediaPlayer& media,
                        const std::string& profilePath = quavix::xdg::defaultProfilePath())
{
    std::vector<std::string> problems;
    const auto settings = quavix::readBroadcastSettings(profile, problems);
    if (settings)
        if (auto warning = quavix::passwordExposure(*settings, profilePath))
            problems.push_back(*warning);
    for (const std::string& line : problems)
        quavix::errorLine(line);
    if (!settings)
        return;
    media.setBroadcast(*settings, [](const std::string& item) {
        const auto parts = quavix::parseSongName(quavix::fileNamePart(item));
        if (!parts.ok)
            return std::string();
        return std::string(quavix::text::trim(parts.group)) + " - " +
               std::string(quavix::text::trim(parts.title));
    });
}

// The profile's "Sound" section: loudness, crossfades, silence at the edges, dead air.
void configureSound(quavix::Profile& profile, quavix::GstMediaPlayer& media)
{
    std::vector<std::string> problems;
    media.setSound(quavix::readSoundSettings(profile, problems));
    for (const std::string& line : problems)
        quavix::errorLine(line);
}

// Decided before the toolkit picks its platform: sway's strip, and the strip of a desktop
// that tells nobody which window is in front, run through Xwayland when there is one.
quavix::MechanismChoice chooseMechanism()
{
    quavix::MechanismChoice choice = quavix::chooseWindowMechanism(quavix::liveSessionProbe());
    if (!choice.badOverride.empty())
        quavix::errorLine("quavix: QUAVIX_WINDOW_SYSTEM=" + choice.badOverride +
                          " names no window system (x11, sway, kwin, gnome, none); choosing by "
                          "the session");
    if (!choice.note.empty())
        quavix::errorLine("quavix: " + choice.note);
    const bool xwayland = std::getenv("DISPLAY") && *std::getenv("DISPLAY");
    if ((choice.mechanism == quavix::WindowMechanism::Sway ||
         choice.mechanism == quavix::WindowMechanism::None) &&
        xwayland)
        ::setenv("QT_QPA_PLATFORM", "xcb", 0); // a platform the user chose stays theirs
    return choice;
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

// What playerctl and the desktop's media controls can do to a station: pause and resume,
// skip to the next song, stop (the engine idles) and play on, end it.
quavix::MprisCommands stationMprisCommands(QObject* owner)
{
    using quavix::MprisCommand;
    auto action = [owner](void (*run)()) {
        auto* a = new QAction(owner);
        QObject::connect(a, &QAction::triggered, owner, run);
        return a;
    };
    QAction* play = action(quavix::resumeStation);
    QAction* pause = action(quavix::PlayListPlayer::pause);
    QAction* stop = action(quavix::PlayListPlayer::stop);
    QAction* next = action(quavix::PlayListPlayer::next);
    quavix::MprisCommands commands;
    commands.action = [=](MprisCommand command) -> QAction* {
        switch (command) {
        case MprisCommand::Play:
            return play;
        case MprisCommand::Pause:
            return pause;
        case MprisCommand::Stop:
            return stop;
        case MprisCommand::Next:
            return next;
        case MprisCommand::Previous:
            return nullptr; // the engine never goes back
        }
        return nullptr;
    };
    commands.quit = quavix::stopStation;
    return commands;
}

// quavix --station [PROFILE]: the engine as a service, with no display at all.
int stationMain(const std::vector<std::string>& arguments, int argc, char** argv)
{
    std::error_code ec;
    std::string profilePath =
        arguments.empty() ? quavix::xdg::defaultProfilePath() : arguments.front();
    // systemd starts services in another folder than the one a name was typed in.
    if (auto full = std::filesystem::absolute(profilePath, ec); !ec)
        profilePath = full.lexically_normal().string();

    // A display that happens to be there (ssh -X) gets nothing of a service either.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    quavix::InstanceServer server([] {});
    if (!server.listen(quavix::instance::stationSocketName())) {
        quavix::errorLine("quavix: a station of this user runs already; stop it first "
                          "(systemctl --user stop quavix-station)");
        return 1;
    }
    for (const std::string& line :
         quavix::bus::settleBeforeToolkit(std::chrono::seconds(1), quavix::bus::Buses::Session))
        quavix::errorLine(line);
    // The toolkit's own warnings too: a reader who does not read must not stop the station.
    qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
            quavix::errorLine(qFormatLogMessage(type, context, message).toStdString());
            if (type == QtFatalMsg) // the toolkit aborts next
                quavix::drainStandardError(300);
        });
    QApplication app(argc, argv);
    QApplication::setApplicationName(quavix::ProgramTitle);

    quavix::LineDialogs dialogs;
    quavix::IniProfile profile(profilePath);
    quavix::IniOptionsStore options;
    auto media = std::make_unique<quavix::GstMediaPlayer>();
    media->setNoticeHandler([&dialogs](const std::string& text) {
        dialogs.messageBox(quavix::ProgramTitle, text, quavix::MsgIcon::Exclamation,
                           quavix::MsgButtons::Ok);
    });
    media->setPlayStateHandler([](int oldState, int newState, bool currentItem) {
        quavix::PlayListPlayer::playStateChanged(oldState, newState, currentItem);
    });
    configureBroadcast(profile, *media, profilePath);
    configureSound(profile, *media);
    media->setLineHandler(quavix::errorLine);
    // Nobody reads a status display here: what it would say is a line for the journal.
    media->setStatusHandler([](const std::string& text) { quavix::errorLine("quavix: " + text); });
    quavix::DesktopClassesRegistry classes;
    quavix::QtTray tray;
    quavix::QtWindowSystem windows;
    quavix::QtProcess process({profilePath}, &server);
    quavix::SystemClock clock;
    quavix::MtRandom random;
    quavix::XdgBrowser browser;

    quavix::Services& s = quavix::services();
    s.media = media.get();
    s.profile = &profile;
    s.options = &options;
    s.classes = &classes;
    s.tray = &tray;
    s.dialogs = &dialogs;
    s.process = &process;
    s.clock = &clock;
    s.random = &random;
    s.windows = &windows;
    s.browser = &browser;
    if (!s.complete()) {
        std::fprintf(stderr, "quavix: a service is missing\n");
        std::abort();
    }
    // The player goes first when the process ends: its broadcast output then closes the
    // server connection as a source should, rather than leaving it to the kernel.
    process.setBeforeEnd([&media] {
        quavix::services().media = nullptr;
        media.reset();
    });
    quavix::serveMpris(stationMprisCommands(&app));
    quavix::TerminationSignals termination([](int) { quavix::stopStation(); });
    quavix::runStation(profilePath);
    return 0; // not reached: the station ends through endProgram
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
        return stationMain(given.arguments, argc, argv);
    const auto& arguments = given.arguments;
    // The launcher appended the file but the running instance did not answer.
    const char* unanswered = std::getenv("QUAVIX_HANDOFF_UNANSWERED");
    const std::string unansweredPlayList = unanswered ? unanswered : "";

    // The toolkit needs milliseconds to load its plugins and connect to the display;
    // meanwhile another core loads those plugins ahead of it, opens the door for second
    // starts and reads the profile and the options the strip is laid out with. Not for a
    // start that only reports a failed hand-off: a second start must not hand its file to
    // an instance that is about to end.
    quavix::InstanceServer server(showMainWindow);
    quavix::IniProfile profile;
    quavix::IniOptionsStore options;
    std::thread early;
    if (!unanswered)
        early = std::thread([&, toolkit = quavix::toolkit::toolkitPreloads(
                                    std::getenv, quavix::toolkit::defaultPluginFolder())] {
            quavix::toolkit::preload(toolkit); // first: the toolkit asks for them soonest
            server.listen();
            profile.read("File Locations", "FileList", "", "");
            options.get(quavix::ProgramTitle, "Options", "Volume", "");
        });
    // Before anything asks a bus: the toolkit's own questions cannot be given up.
    for (const std::string& line : quavix::bus::settleBeforeToolkit(std::chrono::seconds(1)))
        quavix::errorLine(line);
    quavix::MechanismChoice mechanism = chooseMechanism();
    g_toolkitMessages = qInstallMessageHandler(displayMessages);
    QApplication app(argc, argv);
    qInstallMessageHandler(g_toolkitMessages);
    if (early.joinable())
        early.join();
    QApplication::setApplicationName(quavix::ProgramTitle);

    quavix::QtDialogs dialogs;
    quavix::Services& s = quavix::services();
    s.dialogs = &dialogs;

    if (unanswered) {
        ::unsetenv("QUAVIX_HANDOFF_UNANSWERED");
        quavix::PosixProcess plain(arguments);
        quavix::reportHandOff(quavix::HandOffResult::NotAcknowledged, unansweredPlayList,
                              plain.commandLine(), {}, dialogs);
        return 1;
    }

    quavix::GstMediaPlayer media;
    media.setNoticeHandler([](const std::string& text) {
        quavix::services().dialogs->messageBox(
            quavix::ProgramTitle, text, quavix::MsgIcon::Exclamation, quavix::MsgButtons::Ok);
    });
    configureBroadcast(profile, media);
    configureSound(profile, media);
    media.setLineHandler(quavix::errorLine);
    media.setStatusHandler([](const std::string& text) {
        if (quavix::MainWindowPort* form1 = quavix::mainWindowIfLoaded())
            form1->showStatusMessage(text);
    });
    quavix::DesktopClassesRegistry classes;
    quavix::QtTray tray;
    std::unique_ptr<quavix::QtWindowSystem> windows = makeWindowSystem(mechanism);
    quavix::QtProcess process(arguments, &server);
    quavix::SystemClock clock;
    quavix::MtRandom random;
    quavix::XdgBrowser browser;

    s.media = &media;
    s.profile = &profile;
    s.options = &options;
    s.classes = &classes;
    s.tray = &tray;
    s.process = &process;
    s.clock = &clock;
    s.random = &random;
    s.windows = windows.get();
    s.browser = &browser;
    if (!s.complete()) {
        std::fprintf(stderr, "quavix: a service is missing\n");
        std::abort();
    }
    // The program ends without destructors: code of ours in the compositor (the KWin script)
    // must not outlive it.
    process.setBeforeEnd([&windows] {
        quavix::services().windows = nullptr;
        windows.reset();
    });

    // Reaching the session bus can mean starting its launcher: the strip does not wait for
    // it, nor for the media framework (the first MP3 then opens in a fraction of the time).
    quavix::afterFirstPaint([] { quavix::serveMpris(mprisCommands()); });
    quavix::afterFirstPaint([&media] { media.warmUp(); });
    tellWhyTheStripStays(mechanism, options);
    quavix::installMainWindow();
    quavix::installResetSongFileName();
    quavix::TerminationSignals termination([](int) { quavix::closeMainWindowWithoutAsking(); });
    quavix::armSaveAtExit();
    quavix::Main({[] { quavix::clsMainPerformLoop().fPerformPlaySongs(); }});
    const int status = app.exec();
    quavix::disarmSaveAtExit();
    return status;
}
