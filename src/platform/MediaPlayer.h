#pragma once
// MediaPlayer1: plays one file or stream address at a time.
//
// Contract (every implementation, real or fake):
// - setFileName(name) opens the item and starts it before it returns. Afterwards
//   playState() is Playing, or Stopped with errorCode() != 0 when the open failed.
//   An empty name closes the current item (Stopped, errorCode() 0, no event).
// - duration() is valid right after setFileName (seconds, 0 when unknown or no item).
// - currentPosition() in seconds; setCurrentPosition(s) seeks. A position at or past a known
//   duration ends the item at once: it reports Stopped with currentPosition() == duration().
//   While the duration is 0 (unknown, a live stream) a put only seeks, where it can.
// - An item that ran to its end reports Stopped with currentPosition() == duration().
// - After stop() the position where it stopped is kept, so position < duration tells a
//   user's stop from an item's end.
// - playState(): 1 paused, 2 playing, 0 stopped; 3 while an open is under way.
// - volume in hundredths of a decibel, -10000 (mute) .. 0 (full); values outside are clamped.
// - The play-state handler gets (old, new) on the UI thread, never from inside setFileName's
//   caller stack before setFileName returns... except for the synchronous end of
//   setCurrentPosition(>= duration), which reports before returning.
// - Events come in the order the states changed; opening an item while another plays gives
//   (2, 0) for the old one, then (0, 2). A failed open gives no event.
// - Each event says whether it belongs to the current item. The old item's (2, 0) arrives
//   after the next setFileName, when duration() and currentPosition() already describe
//   the new item, so it comes with currentItem == false.
// - An item that fails while it plays (a server that goes away) reports Stopped where it
//   was, with errorCode() != 0.
// - tags() is what the item says of itself; it may change while the item plays (a stream's
//   title). Readers look again on every play-state event and as they poll.
// - expect() only helps the player get ready (measure songs ahead); it changes nothing a
//   caller sees.
#include <functional>
#include <string>
#include <vector>

namespace quavix {

// What an item calls itself: a stream's title as its server sends it, a file's tags, the
// title a list gives its entry. Empty texts where it says nothing.
struct MediaTags {
    std::string title, artist, album;
    bool operator==(const MediaTags&) const = default;
};

class MediaPlayer {
public:
    enum PlayState { Stopped = 0, Paused = 1, Playing = 2, Opening = 3 };
    using PlayStateHandler = std::function<void(int oldState, int newState, bool currentItem)>;

    virtual ~MediaPlayer() = default;

    virtual void setFileName(const std::string& name) = 0;
    virtual std::string fileName() const = 0;
    virtual double duration() = 0;
    virtual double currentPosition() = 0;
    virtual void setCurrentPosition(double seconds) = 0;
    virtual int playState() = 0;
    // 0 after a successful open; non-zero after a failed one, with a text for the user.
    virtual long errorCode() = 0;
    virtual std::string errorDescription() = 0;
    virtual int volume() const = 0;
    virtual void setVolume(int hundredthsOfDb) = 0;
    // Playing -> Paused; anything else is left alone.
    virtual void pause() = 0;
    // Paused -> Playing; anything else is left alone.
    virtual void play() = 0;
    // Playing or Paused -> Stopped, position kept; a stopped player is left alone.
    virtual void stop() = 0;
    // Whether setCurrentPosition can seek in the current item now: false without an item
    // that plays or is paused, and for items that cannot seek (a live stream).
    virtual bool canSeek()
    {
        const int state = playState();
        return state == Playing || state == Paused;
    }

    virtual MediaTags tags() { return {}; }
    // The items likely to be opened next, in order (a station's song list).
    virtual void expect(const std::vector<std::string>& /*names*/) {}

    void setPlayStateHandler(PlayStateHandler handler) { m_handler = std::move(handler); }

protected:
    struct PlayStateEvent {
        int oldState, newState;
        unsigned item;
    };
    // Implementations queue stateEvent() when a state changes and call beginItem() when
    // setFileName starts a new item, after the old item's last event was queued.
    PlayStateEvent stateEvent(int oldState, int newState) const
    {
        return {oldState, newState, m_item};
    }
    void beginItem() { ++m_item; }
    void notifyPlayState(const PlayStateEvent& e)
    {
        if (m_handler)
            m_handler(e.oldState, e.newState, e.item == m_item);
    }
    // A player that forwards to another passes the other's events on as they came.
    void forwardPlayState(int oldState, int newState, bool currentItem)
    {
        if (m_handler)
            m_handler(oldState, newState, currentItem);
    }

private:
    PlayStateHandler m_handler;
    unsigned m_item = 0;
};

} // namespace quavix
