#include "StartUp.h"

#include "platform/posix/LineWriter.h"
#include "startup/Globals.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace quavix {

namespace {

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

} // namespace

BusesSettled settleBuses(bus::Buses buses)
{
    for (const std::string& line : bus::settleBeforeToolkit(std::chrono::seconds(1), buses))
        errorLine(line);
    return {};
}

// Sway's strip, and the strip of a desktop that tells nobody which window is in front, run
// through Xwayland when there is one. Written under the toolkit's lock on the environment:
// asking the session bus started the toolkit's D-Bus thread.
Platform stripPlatform(const BusesSettled&)
{
    Platform platform;
    MechanismChoice& choice = platform.mechanism;
    choice = chooseWindowMechanism(liveSessionProbe());
    if (!choice.badOverride.empty())
        errorLine("quavix: QUAVIX_WINDOW_SYSTEM=" + choice.badOverride +
                  " names no window system (x11, sway, kwin, gnome, none); choosing by "
                  "the session");
    if (!choice.note.empty())
        errorLine("quavix: " + choice.note);
    const bool xwayland = !qEnvironmentVariableIsEmpty("DISPLAY");
    if ((choice.mechanism == WindowMechanism::Sway || choice.mechanism == WindowMechanism::None) &&
        xwayland && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) // a user's choice stays
        qputenv("QT_QPA_PLATFORM", "xcb");
    return platform;
}

// A display that happens to be there (ssh -X) gets nothing of a service either.
Platform stationPlatform(const BusesSettled&)
{
    Platform platform;
    platform.station = true;
    platform.mechanism.mechanism = WindowMechanism::None;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return platform;
}

Toolkit::Toolkit(int& argc, char** argv, const Platform& platform)
{
    if (platform.station) {
        // The toolkit's own warnings too: a reader who does not read must not stop the station.
        qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
                errorLine(qFormatLogMessage(type, context, message).toStdString());
                if (type == QtFatalMsg) // the toolkit aborts next
                    drainStandardError(300);
            });
        m_application = std::make_unique<QApplication>(argc, argv);
    } else {
        g_toolkitMessages = qInstallMessageHandler(displayMessages);
        m_application = std::make_unique<QApplication>(argc, argv);
        qInstallMessageHandler(g_toolkitMessages);
    }
    QApplication::setApplicationName(ProgramTitle);
}

} // namespace quavix
