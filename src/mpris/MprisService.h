#pragma once
// Serves the program to desktop media controls (media keys, panel widgets, playerctl) as
// org.mpris.MediaPlayer2.quavix on the session bus, object /org/mpris/MediaPlayer2.
//
// Every transport request runs the QAction its menu item and button share; only what the
// program has no command for reaches the media player directly: resuming a paused item,
// seeking by an offset or to a position, and the volume. The player is read every 250 ms
// and after each request, and every property change is announced with PropertiesChanged
// (a jump of the position with Seeked). All on the UI thread, also inside the nested event
// loops of the players.
#include "mpris/MprisState.h"

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>
#include <functional>
#include <string>
#include <vector>

class QAction;

namespace quavix {

enum class MprisCommand { Play, Pause, Stop, Next, Previous };

// The program's commands as the service runs them, looked up at each request: the main
// window that owns the actions is loaded on first use and may be gone at the end.
struct MprisCommands {
    // The QAction the command's menu item and button share; nullptr while there is none.
    std::function<QAction*(MprisCommand)> action;
    // Shows and activates the strip.
    std::function<void()> raise;
    // Ends the program as the end of the session does: no question, options saved.
    std::function<void()> quit;
    // Plays the names as files dropped on the icon do.
    std::function<void(const std::vector<std::string>&)> open;
};

// Registers the service when a session bus is there. Without one it does nothing and says
// nothing, and returns false. The service lives as long as the application.
bool serveMpris(MprisCommands commands);

// The bus object behind both interfaces; the adaptors only forward to it.
class MprisService : public QObject {
    Q_OBJECT
public:
    MprisService(MprisCommands commands, QDBusConnection bus, QObject* parent = nullptr);

    // org.mpris.MediaPlayer2
    void raise();
    void quit();
    static QStringList supportedUriSchemes();
    static QStringList supportedMimeTypes();

    // org.mpris.MediaPlayer2.Player
    void play();
    void pause();
    void playPause();
    void stop();
    void next();
    void previous();
    // Microseconds. A target before the start seeks to the start, one past the end ends the
    // item as Next does; nothing happens while the item cannot seek.
    void seek(qlonglong offsetUs);
    // Ignored unless trackId is the current item's and the position lies within it.
    void setPosition(const QString& trackId, qlonglong positionUs);
    // A file:// URI, an absolute path or a stream address; anything else is ignored.
    void openUri(const QString& uri);
    void setVolume(double linear);

    QString playbackStatus() const;
    QVariantMap metadata() const;
    double volume() const;
    qlonglong position();
    const MprisPlayerProperties& properties() const { return m_state.properties(); }

    // Reads the player and announces what changed; `seeked` announces a jump in any case.
    void refresh(bool seeked = false);

signals:
    void seekedTo(qlonglong positionUs);

private:
    void trigger(MprisCommand command);
    void run(Transport transport);

    MprisCommands m_commands;
    QDBusConnection m_bus;
    MprisPlayerState m_state;
    QTimer m_poll;
};

} // namespace quavix
