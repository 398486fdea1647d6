#pragma once
// The window system where code of ours runs inside the compositor: a KWin script (KDE
// Plasma 5.27 and 6) or the Quavix GNOME Shell extension. That code tells us the frame of
// the window in front on every activation and every move or resize of it (a D-Bus call to
// org.quavix.Follower /org/quavix/Follower Report), and puts the strip where our answer
// says, above the others. The strip stays a native window; only the compositor moves it.
//
// - start() serves org.quavix.Follower and, for KWin, loads the script (org.kde.KWin
//   /Scripting loadScript + start); false, with the reason, when the bus or KWin refuses.
//   The destructor unloads the script. The GNOME extension is the user's to enable; it
//   finds the service by its name whenever it is there.
// - foregroundWindow() is the last window reported (never one of ours); its rectangle is
//   the frame reported, title bar included. Every report calls the change handler, and
//   placeStrip() during it becomes the answer: where the strip goes, its size, and whether
//   it is to be kept above from now on. Nothing is asked between reports.
// - The strip also moves or changes size without a report (a Show command, Properties OK,
//   Always On Top turned on): the compositor's code keeps one question out (NextSpot), which
//   placeStrip() between reports answers at once with where the strip goes now, as wide as
//   it is now. A spot the compositor has already had is not sent again. A question with
//   nothing new is answered with nothing after `hold` (D-Bus gives up on a call after 25 s);
//   a newer question ends the older one the same way. A question for another process (a
//   script left behind by a Quavix that is gone) is refused with an error.
// - The destructor answers the held question and unloads the KWin script: the program must
//   destroy this before it ends (Process::endProgram ends without destructors).
#include "platform/linux/QtWindowSystem.h"

#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
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

    explicit FollowerWindowSystem(Host host,
                                  std::chrono::milliseconds hold = std::chrono::seconds(15));
    ~FollowerWindowSystem() override;

    bool start(std::string& problem);

    Handle foregroundWindow() override;
    bool isVisible(Handle window) override;
    std::optional<PixelRect> windowRect(Handle window) override;
    bool placeStrip(Handle own, const PixelRect& strip, bool above) override;
    void makeTopmost(Handle window, bool on) override;

    // The KWin script's text for this process (our process filled in).
    static QString kwinScript(qint64 pid);

public Q_SLOTS:
    // From the script: the active window's caption, and "pid x y width height" of it (as
    // text: the script's numbers reach D-Bus as integers or doubles by whim). Answers
    // whether and where the strip goes, its size and whether to keep it above; numbers that
    // are no frame are refused.
    Q_SCRIPTABLE bool Report(const QString& caption, const QString& numbers, int& stripX,
                             int& stripY, int& stripWidth, int& stripHeight, bool& stripAbove);
    // Report as an extension of an older Quavix asks it, which a running GNOME Shell keeps
    // until the next login after an upgrade: the spot alone.
    Q_SCRIPTABLE bool Frame(const QString& caption, const QString& numbers, int& stripX,
                            int& stripY);
    // The compositor's standing question for the strip of process pid (decimal text):
    // answered (true, as Report) when the strip is to go somewhere new, or (false) after the
    // hold; see the class comment.
    Q_SCRIPTABLE bool NextSpot(const QString& pid, const QDBusMessage& question, int& stripX,
                               int& stripY, int& stripWidth, int& stripHeight, bool& stripAbove);

protected:
    // Where the answers to held questions go (the session bus; a test looks at them).
    virtual void send(const QDBusMessage& reply);

private:
    struct Spot {
        PixelRect strip;
        bool above = false;
        bool operator==(const Spot&) const = default;
    };
    void answerHeld(const std::optional<Spot>& spot);
    static void fill(const Spot& spot, int& x, int& y, int& width, int& height, bool& above);

    Host m_host;
    QString m_scriptName, m_scriptFile;
    bool m_loaded = false;
    Handle m_window = 0;
    PixelRect m_frame;
    bool m_reporting = false;
    std::optional<Spot> m_answer;       // placed during the report being answered
    std::optional<Spot> m_sent;         // the last spot the compositor was given
    std::optional<Spot> m_pending;      // placed since, not given yet
    std::optional<QDBusMessage> m_held; // the compositor's question, when one waits
    QTimer m_hold;
    QString m_caption;
    qint64 m_pid = 0;
};

} // namespace quavix
