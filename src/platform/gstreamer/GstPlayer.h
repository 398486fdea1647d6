#pragma once
// The player's GStreamer half, built as a module of its own (libquavix-gstreamer.so) that
// the program opens only when it first needs a player: started without it, the program
// loads neither GStreamer nor the libraries GStreamer needs before the strip shows.
// GstMediaPlayer (platform/linux) is the one user; it documents the behaviour.
//
// Contract of the module: one C entry point, quavix_new_gst_player, returns a new player
// that the caller owns and deletes before the program ends. The module is never unloaded
// (GStreamer's types cannot be unregistered). Everything runs on the UI thread.
#include "platform/Broadcast.h"
#include "platform/MediaPlayer.h"
#include "platform/Sound.h"

#include <functional>
#include <string>

namespace quavix {

class GstPlayer : public MediaPlayer {
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

    // Texts the user must see and answer (no audio device); called on the UI thread.
    virtual void setNoticeHandler(std::function<void(const std::string&)> handler) = 0;
    // Lines about what plays that the user should see but need not answer (a song ended
    // for dead air, an entry of a list passed over); called on the UI thread.
    virtual void setStatusHandler(std::function<void(const std::string&)> handler) = 0;
    // Where the player's lines for standard error go (the broadcast's state, the media
    // framework's own warnings): the program's writer, which never blocks. Without one they
    // are written to standard error directly. Takes effect only before the first open or
    // warm-up.
    virtual void setLineHandler(std::function<void(const std::string&)> handler) = 0;
    // How songs sound (loudness, crossfade, silence at the edges, dead air). Takes effect
    // only before the first open or warm-up.
    virtual void setSound(const SoundSettings& settings) = 0;
    // Starts the media framework, builds the pipeline, opens the output and loads what an
    // MP3 needs now rather than on the first open. Does nothing once the pipeline exists.
    virtual void warmUp() = 0;
    // Whether the current item's duration is still estimated from its size and bit rate.
    virtual bool durationIsEstimate() = 0;
    // From the first open on, everything this player plays also goes to the server the
    // settings name (see GstBroadcast). conventionTitle gives an item's "Group - Title" from
    // its name, "" when the name does not follow the song-name convention. Takes effect
    // only before the first open or warm-up.
    virtual void setBroadcast(const BroadcastSettings& settings,
                              std::function<std::string(const std::string&)> conventionTitle) = 0;
};

} // namespace quavix

// The module's entry point; its name is also GstPlayerEntry, for dlsym.
extern "C" __attribute__((visibility("default"))) quavix::GstPlayer* quavix_new_gst_player();

namespace quavix {
inline constexpr const char* GstPlayerEntry = "quavix_new_gst_player";
inline constexpr const char* GstPlayerModule = "libquavix-gstreamer.so";
} // namespace quavix
