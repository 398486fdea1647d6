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

} // namespace

MechanismChoice chooseWindowMechanism(const SessionProbe& probe)
{
    MechanismChoice choice;
    const std::string forced = text::asciiLowered(probe.env("QUAVIX_WINDOW_SYSTEM"));
    if (!forced.empty()) {
        for (auto m : {WindowMechanism::X11, WindowMechanism::Sway, WindowMechanism::KWin,
                       WindowMechanism::Gnome, WindowMechanism::None})
            if (forced == mechanismName(m)) {
                choice.mechanism = m;
                return choice;
            }
        choice.badOverride = forced;
    }
    if (probe.env("WAYLAND_DISPLAY").empty())
        return choice; // X11
    const std::string desktops = probe.env("XDG_CURRENT_DESKTOP");
    if (const std::string sock = probe.env("SWAYSOCK"); !sock.empty() && probe.swayAnswers(sock)) {
        choice.mechanism = WindowMechanism::Sway;
        return choice;
    }
    // The bus, not only the variable: a session that outlived its desktop keeps it.
    if (mentions(desktops, "KDE") && probe.onSessionBus("org.kde.KWin")) {
        choice.mechanism = WindowMechanism::KWin;
        return choice;
    }
    if (mentions(desktops, "GNOME") && probe.onSessionBus("org.gnome.Shell")) {
        if (probe.gnomeExtensionEnabled()) {
            choice.mechanism = WindowMechanism::Gnome;
            return choice;
        }
        choice.mechanism = WindowMechanism::None;
        choice.advice = std::string("install and enable the Quavix GNOME Shell extension (") +
                        GnomeExtensionUuid +
                        ", in the Extensions application or with "
                        "\"gnome-extensions enable " +
                        GnomeExtensionUuid + "\")";
        return choice;
    }
    choice.mechanism = WindowMechanism::None;
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
    probe.swayAnswers = [](const std::string& path) {
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
    };
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
