#include "MprisState.h"

#include "engine/SongFileName.h"
#include "platform/MediaAddress.h"
#include "platform/MediaPlayer.h"
#include "platform/MediaVolume.h"

#include <cmath>
#include <filesystem>

namespace quavix {

namespace {

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::int64_t toMicroseconds(double seconds)
{
    if (!std::isfinite(seconds) || seconds <= 0)
        return 0;
    return std::llround(std::min(seconds, 1e12) * 1e6);
}

std::string fileUrl(const std::string& fileName)
{
    std::error_code ec;
    std::filesystem::path path = std::filesystem::absolute(fileName, ec);
    if (ec)
        path = fileName;
    return fileUriOf(path.lexically_normal().string());
}

bool isGoingOn(int playState)
{
    return playState == MediaPlayer::Playing || playState == MediaPlayer::Paused;
}

} // namespace

std::string playbackStatusFor(int playState)
{
    switch (playState) {
    case MediaPlayer::Playing:
        return "Playing";
    case MediaPlayer::Paused:
        return "Paused";
    default:
        return "Stopped";
    }
}

TrackMetadata metadataFor(const std::string& fileName, double duration, std::uint64_t trackNumber,
                          const MediaTags& tags)
{
    TrackMetadata m;
    if (fileName.empty()) {
        m.trackId = NoTrackId;
        return m;
    }
    m.trackId = "/org/quavix/track/" + std::to_string(trackNumber);
    m.lengthUs = toMicroseconds(duration);
    const auto ownNames = [&] {
        if (!tags.title.empty())
            m.title = tags.title;
        if (!tags.artist.empty())
            m.artist = tags.artist;
        if (!tags.album.empty())
            m.album = tags.album;
        return m;
    };
    if (isStreamAddress(fileName)) {
        m.url = fileName;
        m.title = fileName;
        return ownNames();
    }
    m.url = fileUrl(fileName);
    const std::string_view name = fileNamePart(fileName);
    m.title = std::string(name);
    const SongNameParts song = parseSongName(name);
    if (song.ok) {
        m.artist = trimmed(song.group);
        m.album = trimmed(song.cdTitle);
        m.year = trimmed(song.releaseYear);
        m.title = trimmed(song.title);
        if (m.lengthUs == 0)
            m.lengthUs = toMicroseconds(song.length);
    }
    return ownNames();
}

Transport playActionFor(int playState)
{
    if (playState == MediaPlayer::Paused)
        return Transport::Resume;
    return playState == MediaPlayer::Playing ? Transport::None : Transport::Play;
}

Transport pauseActionFor(int playState)
{
    return playState == MediaPlayer::Playing ? Transport::Pause : Transport::None;
}

Transport playPauseActionFor(int playState)
{
    return playState == MediaPlayer::Playing ? Transport::Pause : playActionFor(playState);
}

MprisPlayerState::Changes MprisPlayerState::update(const PlayerReading& r)
{
    // An open lasts milliseconds and ends playing or failed: the next reading tells which.
    if (r.playState == MediaPlayer::Opening && m_haveReading)
        return {};
    const bool going = isGoingOn(r.playState);
    // The item is new when its name changed, or when it starts again after it was over.
    const bool newItem =
        !m_haveReading || r.fileName != m_last.fileName || (going && !isGoingOn(m_last.playState));
    if (newItem && !r.fileName.empty())
        ++m_trackNumber;

    Changes changes;
    // Playing on moves the position by the time passed; anything else is a jump.
    if (m_haveReading && !newItem && going) {
        const double expected =
            m_last.position +
            (m_last.playState == MediaPlayer::Playing ? r.clock - m_last.clock : 0.0);
        changes.seeked = std::abs(r.position - expected) > 1.0;
    }

    MprisPlayerProperties p;
    p.playbackStatus = playbackStatusFor(r.playState);
    p.metadata = metadataFor(r.fileName, r.duration, m_trackNumber, r.tags);
    p.volume = linearVolume(r.volume);
    p.canGoNext = going;
    p.canGoPrevious = going;
    p.canPlay = true;
    p.canPause = going;
    p.canSeek = going && r.canSeek && r.duration > 0;

    const MprisPlayerProperties& o = m_properties;
    auto note = [&](bool differs, const char* name) {
        if (differs || !m_haveReading)
            changes.properties.emplace_back(name);
    };
    note(p.playbackStatus != o.playbackStatus, "PlaybackStatus");
    note(!(p.metadata == o.metadata), "Metadata");
    note(p.volume != o.volume, "Volume");
    note(p.canGoNext != o.canGoNext, "CanGoNext");
    note(p.canGoPrevious != o.canGoPrevious, "CanGoPrevious");
    note(p.canPlay != o.canPlay, "CanPlay");
    note(p.canPause != o.canPause, "CanPause");
    note(p.canSeek != o.canSeek, "CanSeek");

    m_properties = std::move(p);
    m_last = r;
    m_haveReading = true;
    m_positionUs = toMicroseconds(r.position);
    return changes;
}

} // namespace quavix
