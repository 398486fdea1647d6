#pragma once
// What desktop media controls (MPRIS2) see of the player, worked out from readings of the
// player without the bus: the properties of org.mpris.MediaPlayer2.Player, which of them
// changed since the last reading, and which command a play or pause request runs.
#include "platform/MediaPlayer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quavix {

// The player as read at one moment.
struct PlayerReading {
    int playState = 0;    // MediaPlayer::PlayState
    std::string fileName; // as given to the player; empty without an item
    double duration = 0;  // seconds, 0 = unknown
    double position = 0;  // seconds
    int volume = 0;       // hundredths of a decibel, -10000 .. 0
    bool canSeek = false; // MediaPlayer::canSeek
    double clock = 0;     // a monotonic time in seconds, to tell a jump from playing on
    MediaTags tags;       // what the item calls itself (MediaPlayer::tags)
};

inline constexpr const char* NoTrackId = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

// An item's metadata. Empty texts and a zero length are left out on the bus.
struct TrackMetadata {
    std::string trackId = NoTrackId; // a D-Bus object path, unique per item played
    std::int64_t lengthUs = 0;
    std::string url;                 // file:// URL of a file, an address as it is
    std::string title;               // the song's title, else the name without its folder
    std::string artist, album, year; // only for names by the song file name convention
    bool operator==(const TrackMetadata&) const = default;
};

struct MprisPlayerProperties {
    std::string playbackStatus = "Stopped";
    TrackMetadata metadata;
    double volume = 1.0; // linear, 0 .. 1
    bool canGoNext = false, canGoPrevious = false, canPlay = true, canPause = false;
    bool canSeek = false;
    bool operator==(const MprisPlayerProperties&) const = default;
};

// "Playing", "Paused" or "Stopped"; an open under way is "Stopped": nothing plays yet.
std::string playbackStatusFor(int playState);

// The metadata of the item `fileName` (empty: no item, the "no track" id alone). What the
// item calls itself comes first (a stream's title, a file's tags); else a file named by the
// song convention (Group - CD Title - Year - Title - M_SS) gives artist, album, year and
// title, blanks around them dropped; else the title is the name. The length comes from
// the name while the player knows none.
TrackMetadata metadataFor(const std::string& fileName, double duration, std::uint64_t trackNumber,
                          const MediaTags& tags = {});

// What a play or pause request from the desktop runs, by the player's state. A paused
// item is resumed (the Play command would move on to the next entry instead); a playing
// one is left alone by Play.
enum class Transport { None, Play, Resume, Pause };
Transport playActionFor(int playState);
Transport pauseActionFor(int playState);
Transport playPauseActionFor(int playState);

// Follows the player from reading to reading.
class MprisPlayerState {
public:
    struct Changes {
        std::vector<std::string> properties; // bus names: "PlaybackStatus", "Metadata", ...
        bool seeked = false;                 // the position jumped (a seek, Back, Step, the slider)
    };

    // Takes a reading: the properties it gives and what differs from the last one. A new
    // item (another name, or the same one started again) gets a new track id. A reading
    // taken while an item opens changes nothing.
    Changes update(const PlayerReading& reading);

    const MprisPlayerProperties& properties() const { return m_properties; }
    // The position of the last reading in microseconds.
    std::int64_t positionUs() const { return m_positionUs; }

private:
    MprisPlayerProperties m_properties;
    PlayerReading m_last;
    bool m_haveReading = false;
    std::uint64_t m_trackNumber = 0;
    std::int64_t m_positionUs = 0;
};

} // namespace quavix
