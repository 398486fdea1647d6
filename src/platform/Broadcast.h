#pragma once
// The broadcast output: what the default profile's section "Broadcast" asks for, and the
// pure rules the output follows (stream titles, retry pauses). No media framework here;
// the GStreamer player builds the output from these settings.
//
// Profile keys (read like every profile key; an absent section or an empty URL means no
// broadcast):
//   URL          http://host[:port]/mount (port 8000 when left out)
//   User         default "source"
//   Password     default empty
//   Format       "MP3" (default) or "Ogg", without regard to case
//   Bitrate      kbit/s, default 128; MP3 takes the MPEG rates 32..320, Ogg 48..320
//   Name, Description, Genre   the stream's headers, default empty
//   LocalOutput  "Yes" (default) also plays on the sound card; "No" sends to the server only
// A value that cannot be used is reported in `problems` (one line each, ready for standard
// error, never holding the password) and replaced by its default; a URL that cannot be
// used turns the broadcast off.
#include "platform/Profile.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quavix {

struct BroadcastSettings {
    enum class Format { Mp3, Ogg };
    std::string host;
    int port = 8000;
    std::string mount; // starts with "/"
    std::string user = "source";
    std::string password;
    Format format = Format::Mp3;
    int bitrate = 128; // kbit/s
    std::string name, description, genre;
    bool localOutput = true;

    // The server's address for messages: never the password or a user name.
    std::string address() const;
};

std::optional<BroadcastSettings> readBroadcastSettings(Profile& profile,
                                                       std::vector<std::string>& problems);

// The warning line for a password kept in a profile that other users may read (its group or
// everyone has read permission); nullopt when there is no password or the file is private.
std::optional<std::string> passwordExposure(const BroadcastSettings& settings,
                                            const std::string& profilePath);

// The title listeners see for an item: "Group - Title" when the song-name convention gives
// one (conventionTitle not empty), else "Artist - Title" from the item's own tags (or
// whichever of the two it has), else the item's file name without folder and extension
// (an address as it is).
std::string streamTitle(std::string_view conventionTitle, std::string_view tagArtist,
                        std::string_view tagTitle, std::string_view item);

// The pause before the next attempt after `failures` failed attempts in a row (1 or more):
// 1 s, doubling, at most 60 s.
std::chrono::seconds broadcastRetryPause(int failures);

} // namespace quavix
