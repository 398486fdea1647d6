// quavix --station [PROFILE]: the engine as a service, with no display at all (see
// engine/Station.h for what differs from the strip).
#include "engine/Station.h"

#include "ProgramServices.h"
#include "StartUp.h"
#include "engine/PlayListPlayer.h"
#include "mpris/MprisService.h"
#include "platform/linux/InstanceServer.h"
#include "platform/linux/TerminationSignals.h"
#include "platform/posix/InstanceClient.h"
#include "platform/posix/LineDialogs.h"
#include "platform/posix/LineWriter.h"
#include "platform/posix/XdgPaths.h"

#include <QAction>
#include <filesystem>

namespace quavix {

namespace {

// What playerctl and the desktop's media controls can do to a station: pause and resume,
// skip to the next song, stop (the engine idles) and play on, end it.
MprisCommands stationMprisCommands(QObject* owner)
{
    auto action = [owner](void (*run)()) {
        auto* a = new QAction(owner);
        QObject::connect(a, &QAction::triggered, owner, run);
        return a;
    };
    QAction* play = action(resumeStation);
    QAction* pause = action(PlayListPlayer::pause);
    QAction* stop = action(PlayListPlayer::stop);
    QAction* next = action(PlayListPlayer::next);
    MprisCommands commands;
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
    commands.quit = stopStation;
    return commands;
}

} // namespace

int stationMain(const std::vector<std::string>& arguments, int& argc, char** argv)
{
    std::error_code ec;
    std::string profilePath = arguments.empty() ? xdg::defaultProfilePath() : arguments.front();
    // systemd starts services in another folder than the one a name was typed in.
    if (auto full = std::filesystem::absolute(profilePath, ec); !ec)
        profilePath = full.lexically_normal().string();

    InstanceServer server([] {});
    if (!server.listen(instance::stationSocketName())) {
        errorLine("quavix: a station of this user runs already; stop it first "
                  "(systemctl --user stop quavix-station)");
        return 1;
    }
    Toolkit toolkit(argc, argv, stationPlatform(settleBuses(bus::Buses::Session)));

    LineDialogs dialogs;
    IniProfile profile(profilePath);
    IniOptionsStore options;
    ProgramServices real({
        .profile = profile,
        .options = options,
        .dialogs = dialogs,
        .profilePath = profilePath,
        .arguments = {profilePath},
        .server = server,
        .windows = std::make_unique<QtWindowSystem>(),
        // Nobody reads a status display here: what it would say is a line for the journal.
        .status = [](const std::string& text) { errorLine("quavix: " + text); },
        .playState =
            [](int oldState, int newState, bool currentItem) {
                PlayListPlayer::playStateChanged(oldState, newState, currentItem);
            },
        // Its broadcast output then closes the server connection as a source should.
        .closeMediaAtEnd = true,
    });
    serveMpris(stationMprisCommands(&toolkit.application()));
    TerminationSignals termination([](int) { stopStation(); });
    runStation(profilePath);
    return 0; // not reached: the station ends through endProgram
}

} // namespace quavix
