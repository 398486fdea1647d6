#pragma once
// The media player on GStreamer: one playbin that lives as long as the player.
//
// Beyond the MediaPlayer contract:
// - GStreamer lives in a module of its own (platform/gstreamer), opened on the first
//   operation that needs it: an open (setFileName) or warmUp(). Constructing the player,
//   setVolume, setNoticeHandler and the getters of a player that never opened anything
//   load nothing and cost nothing.
// - The module is <program folder>/../lib/quavix/modules/libquavix-gstreamer.so, as
//   installed (a folder of its own: a library directly in /usr/lib/<package> makes the
//   package run ldconfig, which a private module has no use for); a
//   program run from the build folder also finds the one built there. When it cannot be
//   opened, every open fails with ErrorPlayback and a text that names the cause.
// - Opening is synchronous: setFileName waits until the item plays, fails, or a deadline
//   passes (5 s for local files, 10 s for network addresses).
// - Names with a known scheme (see isStreamAddress) are addresses; everything else is a
//   local file name, relative to the working folder, any characters allowed.
// - Bus messages are handled on the thread that owns the player (the UI thread): from the
//   event loop through a socket notifier, and at the start of every getter. Play-state
//   events are delivered from the event loop, never from inside a getter.
// - QUAVIX_AUDIO_SINK, when set, replaces the audio output with a bin described in
//   gst-launch syntax ("fakesink sync=true", "wavenc ! filesink location=out.wav").
// - With setBroadcast, everything it plays also goes to an Icecast server through one
//   output that outlives the items (see platform/gstreamer/GstBroadcast.h); the contract
//   above does not change.
// - When the automatic audio output finds no device and plays into nothing, the notice
//   handler is told once per player with a text for the user.
// - Needs a QCoreApplication.
#include "platform/gstreamer/GstPlayer.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quavix {

class GstMediaPlayer : public GstPlayer {
public:
    GstMediaPlayer();
    // A player on the module at modulePath rather than the program's own.
    explicit GstMediaPlayer(std::string modulePath);
    ~GstMediaPlayer() override;
    GstMediaPlayer(const GstMediaPlayer&) = delete;
    GstMediaPlayer& operator=(const GstMediaPlayer&) = delete;

    void setNoticeHandler(std::function<void(const std::string&)> handler) override;
    void setStatusHandler(std::function<void(const std::string&)> handler) override;
    void setLineHandler(std::function<void(const std::string&)> handler) override;
    void setSound(const SoundSettings& settings) override;

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

    // Opens the module, starts the media framework, builds the pipeline, opens the output
    // and loads what an MP3 needs, e.g. right after start-up. Does nothing once done.
    void warmUp() override;

    bool durationIsEstimate() override;
    void setBroadcast(const BroadcastSettings& settings,
                      std::function<std::string(const std::string&)> conventionTitle) override;
    // Also false for a network item whose server cannot serve byte ranges: seeking would
    // end it.
    bool canSeek() override;
    MediaTags tags() override;
    void expect(const std::vector<std::string>& names) override;

private:
    // The module's player, created on first need; nullptr until then and when the module
    // cannot be opened.
    GstPlayer* player();

    std::string m_modulePath; // "": the program's
    std::unique_ptr<GstPlayer> m_player;
    std::string m_loadError; // why the module could not be opened
    std::string m_name;      // what an open asked for while there is no player
    int m_volume = 0;
    std::function<void(const std::string&)> m_noticeHandler, m_statusHandler, m_lineHandler;
    std::optional<SoundSettings> m_sound;
    std::vector<std::string> m_expected; // until the module's player exists
    std::optional<BroadcastSettings> m_broadcast;
    std::function<std::string(const std::string&)> m_conventionTitle;
};

} // namespace quavix
