#pragma once
// The media player's status display: one line with the play state ("Playing", "Paused",
// "Stopped", "Opening"), the item's name (what the item calls itself: a stream's title, a
// file's "artist - title"; else a file's name without its folder, an address as it is) and
// "position / duration" as m:ss. A message (why something did not play) takes the line's
// place for at least messageHold() (5 s), and after that until the player's state or item
// changes: a list that goes on with its next entry at once must not wipe out why the entry
// before did not play.
//
// It reads the player four times a second while it is visible (a stream's title changes
// while it plays, and nothing else tells of it), and whenever refresh() is called (its
// owner forwards the player's play-state events there). It is drawn for a height of
// 20 logical pixels of which only the middle 16 may show: the strip places it 2 pixels above
// its own top edge and cuts off what overhangs.
#include "platform/MediaPlayer.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <string>

namespace quavix {

// "m:ss" for a time in seconds, whole seconds cut off; minutes are not wrapped into hours.
QString formatMediaTime(double seconds);
// What the display calls an item: its own title ("Artist - Title" with an artist), else the
// part after the last '/' of a file name, the whole text of an address.
QString mediaItemName(const std::string& name, const MediaTags& tags = {});

class StatusDisplay : public QWidget {
    Q_OBJECT
public:
    explicit StatusDisplay(MediaPlayer& player, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    // The parts as last read from the player.
    QString stateText() const { return m_state; }
    QString nameText() const { return m_name; }
    QString timeText() const { return m_time; }
    QString messageText() const { return m_message; }
    std::chrono::milliseconds messageHold() const { return m_messageHold; }
    // How long a message stands at least; shorter only where waiting 5 s helps nobody (tests).
    void setMessageHold(std::chrono::milliseconds hold) { m_messageHold = hold; }

signals:
    // The text changed (state, item or time).
    void changed();

public slots:
    void refresh();
    // Shows `text` until the state or the item changes.
    void showMessage(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    MediaPlayer& m_player;
    QTimer m_timer;
    QString m_state, m_name, m_time;
    QString m_message;
    QString m_messageState, m_messageName; // what the line said when the message came
    QElapsedTimer m_messageAge;
    std::chrono::milliseconds m_messageHold{5000};
};

} // namespace quavix
