#pragma once
// The window system where code of ours runs inside the compositor: a KWin script (KDE
// Plasma 5.27 and 6) or the Quavix GNOME Shell extension. That code tells us the frame of
// the window in front on every activation and every move or resize of it (a D-Bus call to
// org.quavix.Follower /org/quavix/Follower Frame), and puts the strip where our answer
// says, above the others. The strip stays a native window; only the compositor moves it.
//
// - start() serves org.quavix.Follower and, for KWin, loads the script (org.kde.KWin
//   /Scripting loadScript + start); false, with the reason, when the bus or KWin refuses.
//   The destructor unloads the script. The GNOME extension is the user's to enable; it
//   finds the service by its name whenever it is there.
// - foregroundWindow() is the last window reported (never one of ours); its rectangle is
//   the frame reported, title bar included. Every report calls the change handler, and
//   placeStrip() during it becomes the answer. Nothing is asked between reports.
#include "platform/linux/QtWindowSystem.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <string>

namespace quavix {

class FollowerWindowSystem : public QObject, public QtWindowSystem {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.quavix.Follower")
public:
    enum class Host { KWin, GnomeShell };
    static constexpr const char* Service = "org.quavix.Follower";

    explicit FollowerWindowSystem(Host host);
    ~FollowerWindowSystem() override;

    bool start(std::string& problem);

    Handle foregroundWindow() override;
    bool isVisible(Handle window) override;
    std::optional<PixelRect> windowRect(Handle window) override;
    bool placeStrip(Handle own, int left, int top) override;
    void makeTopmost(Handle window, bool on) override;

    // The KWin script's text for this process (our process filled in).
    static QString kwinScript(qint64 pid);

public Q_SLOTS:
    // From the script: the active window's caption, and "pid x y width height" of it (as
    // text: the script's numbers reach D-Bus as integers or doubles by whim). Answers
    // whether and where the strip goes; numbers that are no frame are refused.
    Q_SCRIPTABLE bool Frame(const QString& caption, const QString& numbers, int& stripX,
                            int& stripY);

private:
    Host m_host;
    QString m_scriptName, m_scriptFile;
    bool m_loaded = false;
    Handle m_window = 0;
    PixelRect m_frame;
    std::optional<std::pair<int, int>> m_answer;
    QString m_caption;
    qint64 m_pid = 0;
};

} // namespace quavix
