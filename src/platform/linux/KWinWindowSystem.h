#pragma once
// The window system on KDE Plasma (KWin, Plasma 5.27 and 6): a script of ours runs inside
// KWin. It tells us the active window's frame on every activation and every move or resize
// of it (a D-Bus call to us), and puts the strip where our answer says, above the others.
// The strip stays a native window; only KWin can move it.
//
// - start() loads the script (org.kde.KWin /Scripting loadScript + start) under a name of
//   this process and serves org.quavix.Follower.pid<PID> /org/quavix/Follower; false, with
//   the reason, when KWin or the session bus refuses. The destructor unloads the script.
// - foregroundWindow() is the last window KWin reported (never one of ours); its rectangle
//   is the frame KWin reported, title bar included. Every report calls the change handler,
//   and placeStrip() during it becomes the answer to KWin. Nothing is asked between reports.
#include "platform/linux/QtWindowSystem.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <string>

namespace quavix {

class KWinWindowSystem : public QObject, public QtWindowSystem {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.quavix.Follower")
public:
    KWinWindowSystem();
    ~KWinWindowSystem() override;

    bool start(std::string& problem);

    Handle foregroundWindow() override;
    bool isVisible(Handle window) override;
    std::optional<PixelRect> windowRect(Handle window) override;
    bool placeStrip(Handle own, int left, int top) override;
    void makeTopmost(Handle window, bool on) override;

    // The script's text for this process (the service name and our process filled in).
    static QString scriptText(const QString& service, qint64 pid);

public Q_SLOTS:
    // From the script: the active window's caption, and "pid x y width height" of it (as
    // text: the script's numbers reach D-Bus as integers or doubles by whim). Answers
    // whether and where the strip goes; numbers that are no frame are refused.
    Q_SCRIPTABLE bool Frame(const QString& caption, const QString& numbers, int& stripX,
                            int& stripY);

private:
    QString m_service, m_scriptName, m_scriptFile;
    bool m_loaded = false;
    Handle m_window = 0;
    PixelRect m_frame;
    std::optional<std::pair<int, int>> m_answer;
    QString m_caption;
    qint64 m_pid = 0;
};

} // namespace quavix
