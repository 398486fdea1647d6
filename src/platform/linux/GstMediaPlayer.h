#pragma once
// The media player on one GStreamer playbin that lives as long as the player.
//
// Beyond the MediaPlayer contract:
// - GStreamer is initialised and the pipeline built on the first operation that needs them
//   (opening an item). Constructing the player, setVolume and the getters of a player that
//   never opened anything cost nothing.
// - Opening is synchronous: setFileName waits until the item plays, fails, or a deadline
//   passes (5 s for local files, 10 s for network addresses).
// - Names with a known scheme (see isStreamAddress) are addresses; everything else is a
//   local file name, relative to the working folder, any characters allowed.
// - Bus messages are handled on the thread that owns the player (the UI thread): from the
//   event loop through a socket notifier, and at the start of every getter. Play-state
//   events are delivered from the event loop, never from inside a getter.
// - QUAVIX_AUDIO_SINK, when set, replaces the audio output with a bin described in
//   gst-launch syntax ("fakesink sync=true", "wavenc ! filesink location=out.wav").
// - When the automatic audio output finds no device and plays into nothing, the notice
//   handler is told once per player with a text for the user.
// - Needs a QCoreApplication.
#include "platform/MediaPlayer.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace quavix {

class GstMediaPlayer : public MediaPlayer {
public:
    // errorCode() values.
    enum Error : long {
        NoError = 0,
        ErrorNotFound = 1,    // the file does not exist or cannot be read
        ErrorUnsupported = 2, // not a format we can play
        ErrorNetwork = 3,     // server unreachable, refused or answered with an error
        ErrorNoHandler = 4,   // no source for the address's scheme (mms)
        ErrorTimeout = 5,     // the open deadline passed
        ErrorPlayback = 6,    // any other failure, also one that ended a playing item
    };

    GstMediaPlayer();
    ~GstMediaPlayer() override;
    GstMediaPlayer(const GstMediaPlayer&) = delete;
    GstMediaPlayer& operator=(const GstMediaPlayer&) = delete;

    // Texts the user must see (no audio device); called on the UI thread.
    void setNoticeHandler(std::function<void(const std::string&)> handler);

    void setFileName(const std::string& name) override;
    std::string fileName() const override;
    double duration() override;
    double currentPosition() override;
    void setCurrentPosition(double seconds) override;
    int playState() override;
    long errorCode() override;
    std::string errorDescription() override;
    int volume() const override;
    void setVolume(int hundredthsOfDb) override;
    void pause() override;
    void play() override;
    void stop() override;

    // Starts the media framework, builds the pipeline, opens the output and loads what an
    // MP3 needs now rather than on the first open, e.g. right after start-up. Does nothing
    // once the pipeline exists. A silent output is reported at the first open, not here.
    void warmUp();

    // Whether the current item's duration is still estimated from its size and bit rate.
    bool durationIsEstimate();
    // Also false for a network item whose server cannot serve byte ranges: seeking would
    // end it.
    bool canSeek() override;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace quavix
