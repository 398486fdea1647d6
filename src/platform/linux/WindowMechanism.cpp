#include "WindowMechanism.h"

#include "platform/TextFiles.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QVariantMap>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace quavix {

namespace {

bool mentions(const std::string& desktops, const char* name)
{
    // XDG_CURRENT_DESKTOP is a colon-separated list ("ubuntu:GNOME").
    const std::string lowered = text::asciiLowered(desktops);
    const std::string wanted = text::asciiLowered(name);
    std::size_t start = 0;
    while (start <= lowered.size()) {
        const std::size_t end = std::min(lowered.find(':', start), lowered.size());
        if (lowered.compare(start, end - start, wanted) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

// A connection of its own for each question, closed with it: the program's own use of the
// bus starts later and must not inherit it.
class ProbeBus {
public:
    ProbeBus() : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, name())) {}
    ~ProbeBus() { QDBusConnection::disconnectFromBus(name()); }
    ProbeBus(const ProbeBus&) = delete;
    ProbeBus& operator=(const ProbeBus&) = delete;
    QDBusConnection& operator*() { return m_bus; }

private:
    static QString name() { return QStringLiteral("quavix-session-probe"); }
    QDBusConnection m_bus;
};

// Whether something listens on a unix socket (a compositor that is gone leaves its file).
bool socketAnswers(const std::string& path)
{
    sockaddr_un a{};
    if (path.size() >= sizeof a.sun_path)
        return false;
    a.sun_family = AF_UNIX;
    std::memcpy(a.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool ok = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

} // namespace

MechanismChoice chooseWindowMechanism(const SessionProbe& probe)
{
    MechanismChoice choice;
    const std::string forced = text::asciiLowered(probe.env("QUAVIX_WINDOW_SYSTEM"));
    if (!forced.empty()) {
        for (auto m : {WindowMechanism::X11, WindowMechanism::Sway, WindowMechanism::KWin,
                       WindowMechanism::Gnome, WindowMechanism::None})
            if (forced == mechanismName(m))
                choice.mechanism = m;
        if (choice.mechanism == WindowMechanism::Sway && probe.env("SWAYSOCK").empty())
            choice.note = "QUAVIX_WINDOW_SYSTEM=sway, but SWAYSOCK is not set (start Quavix "
                          "from within sway); choosing by the session";
        else if (forced == mechanismName(choice.mechanism))
            return choice;
        else
            choice.badOverride = forced;
        choice.mechanism = WindowMechanism::X11;
    }
    const std::string wayland = probe.env("WAYLAND_DISPLAY");
    if (wayland.empty())
        return choice; // X11
    // A terminal or a session manager can hand down the variable of a compositor that is
    // gone; an X11 session that has one is still an X11 session.
    const std::string runtime = probe.env("XDG_RUNTIME_DIR");
    const std::string socket =
        wayland.front() == '/' || runtime.empty() ? wayland : runtime + "/" + wayland;
    if (probe.waylandAnswers && !probe.waylandAnswers(socket)) {
        if (!probe.env("DISPLAY").empty()) {
            choice.note = "WAYLAND_DISPLAY=" + wayland +
                          " names no running compositor; following windows through X11 (" +
                          probe.env("DISPLAY") + ")";
            return choice;
        }
        choice.mechanism = WindowMechanism::None;
        choice.found = "WAYLAND_DISPLAY=" + wayland + " names no running compositor";
        choice.advice = "start Quavix from within your desktop session";
        return choice;
    }
    const std::string desktops = probe.env("XDG_CURRENT_DESKTOP");
    const std::string sock = probe.env("SWAYSOCK");
    if (!sock.empty()) {
        if (probe.swayAnswers(sock)) {
            choice.mechanism = WindowMechanism::Sway;
            return choice;
        }
        if (mentions(desktops, "sway") || desktops.empty()) {
            choice.mechanism = WindowMechanism::None;
            choice.found = "SWAYSOCK names " + sock + ", where no sway answers";
            choice.advice = "start Quavix from within the running sway session, so that it "
                            "gets that session's SWAYSOCK";
            return choice;
        }
    }
    // The bus, not only the variable: a session that outlived its desktop keeps it.
    if (mentions(desktops, "KDE")) {
        if (probe.onSessionBus("org.kde.KWin")) {
            choice.mechanism = WindowMechanism::KWin;
            return choice;
        }
        choice.mechanism = WindowMechanism::None;
        choice.found = "this session says it is KDE Plasma, but KWin is not on the session bus";
        choice.advice = "start Quavix from within the running Plasma session";
        return choice;
    }
    if (mentions(desktops, "GNOME") && probe.onSessionBus("org.gnome.Shell")) {
        if (probe.gnomeExtensionEnabled()) {
            choice.mechanism = WindowMechanism::Gnome;
            return choice;
        }
        choice.mechanism = WindowMechanism::None;
        choice.found = "GNOME Shell does not tell which window is in front without the "
                       "Quavix extension";
        choice.advice = std::string("install and enable the Quavix GNOME Shell extension (") +
                        GnomeExtensionUuid +
                        ", in the Extensions application or with "
                        "\"gnome-extensions enable " +
                        GnomeExtensionUuid + "\")";
        return choice;
    }
    choice.mechanism = WindowMechanism::None;
    choice.found = "this Wayland desktop (" +
                   (desktops.empty() ? std::string("unnamed") : desktops) +
                   ") does not tell which window is in front";
    choice.advice = "run Quavix on sway, KDE Plasma or GNOME (with the Quavix extension), "
                    "or in an X11 session";
    return choice;
}

SessionProbe liveSessionProbe()
{
    SessionProbe probe;
    probe.env = [](const char* name) {
        const char* v = std::getenv(name);
        return std::string(v ? v : "");
    };
    probe.swayAnswers = [](const std::string& path) { return socketAnswers(path); };
    probe.waylandAnswers = probe.swayAnswers;
    probe.onSessionBus = [](const char* name) {
        ProbeBus probeBus;
        QDBusConnection& bus = *probeBus;
        if (!bus.isConnected() || !bus.interface())
            return false;
        const QDBusReply<bool> reply =
            bus.interface()->isServiceRegistered(QString::fromUtf8(name));
        return reply.isValid() && reply.value();
    };
    probe.gnomeExtensionEnabled = [] {
        ProbeBus probeBus;
        QDBusConnection& bus = *probeBus;
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.gnome.Shell"), QStringLiteral("/org/gnome/Shell"),
            QStringLiteral("org.gnome.Shell.Extensions"), QStringLiteral("GetExtensionInfo"));
        call << QString::fromUtf8(GnomeExtensionUuid);
        const QDBusReply<QVariantMap> info = bus.call(call, QDBus::Block, 2000);
        // state 1: enabled and running (ENABLED up to GNOME 44, ACTIVE from 45 on).
        return info.isValid() && info.value().value(QStringLiteral("state")).toDouble() == 1.0;
    };
    return probe;
}

const char* mechanismName(WindowMechanism mechanism)
{
    switch (mechanism) {
    case WindowMechanism::X11:
        return "x11";
    case WindowMechanism::Sway:
        return "sway";
    case WindowMechanism::KWin:
        return "kwin";
    case WindowMechanism::Gnome:
        return "gnome";
    case WindowMechanism::None:
        break;
    }
    return "none";
}

} // namespace quavix
