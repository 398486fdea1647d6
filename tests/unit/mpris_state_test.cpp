// What desktop media controls see of the player: metadata of songs and other items, the
// status and the command a play or pause request runs per play state, the volume scale,
// and which properties a new reading of the player changes.
#include "mpris/MprisState.h"
#include "platform/MediaAddress.h"
#include "platform/MediaPlayer.h"
#include "platform/MediaVolume.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <limits>

using namespace quavix;

TEST(MprisMetadata, SongsFilesAndAddresses)
{
    struct Case {
        std::string name;
        double duration;
        std::int64_t lengthUs;
        std::string url, title, artist, album, year;
    };
    const std::string cwd = std::filesystem::current_path().lexically_normal().string();
    const std::string address = "http://radio.example/A - B - 2000 - C - 1_00.mp3";
    // Blanks in a song's name, escaped in its URL: also the e2e test with playerctl.
    for (const Case& c : {
             Case{"/m/G - C - 1999 - T - 1_05.mp3", 65.5, 65500000,
                  "file:///m/G%20-%20C%20-%201999%20-%20T%20-%201_05.mp3", "T", "G", "C", "1999"},
             // The player knows no length yet: the name's stands in.
             Case{"/m/G-CD-1999-T-1_05.mp3", 0, 65000000, "file:///m/G-CD-1999-T-1_05.mp3", "T",
                  "G", "CD", "1999"},
             // Not by the convention: the name is the title; characters a URL reserves are
             // escaped.
             Case{"/m/plain #1 100%.mp3", 10, 10000000, "file:///m/plain%20%231%20100%25.mp3",
                  "plain #1 100%.mp3", "", "", ""},
             Case{"rel/x.wav", 1, 1000000, "file://" + cwd + "/rel/x.wav", "x.wav", "", "", ""},
             // An address is shown as it is, even when it looks like a song's name.
             Case{address, 0, 0, address, address, "", "", ""},
         }) {
        SCOPED_TRACE(c.name);
        const TrackMetadata m = metadataFor(c.name, c.duration, 7);
        EXPECT_EQ(m.trackId, "/org/quavix/track/7");
        EXPECT_EQ(m.lengthUs, c.lengthUs);
        EXPECT_EQ(m.url, c.url);
        EXPECT_EQ(m.title, c.title);
        EXPECT_EQ(m.artist, c.artist);
        EXPECT_EQ(m.album, c.album);
        EXPECT_EQ(m.year, c.year);
    }
    EXPECT_EQ(metadataFor("", 5, 7), TrackMetadata{});
}

TEST(MprisPlayback, StatusAndRequestsByPlayState)
{
    struct Case {
        int state;
        const char* status;
        Transport play, pause, playPause;
    };
    for (const Case& c : {
             Case{MediaPlayer::Stopped, "Stopped", Transport::Play, Transport::None,
                  Transport::Play},
             // Play on a paused item resumes it rather than moving on to the next entry.
             Case{MediaPlayer::Paused, "Paused", Transport::Resume, Transport::None,
                  Transport::Resume},
             Case{MediaPlayer::Playing, "Playing", Transport::None, Transport::Pause,
                  Transport::Pause},
             Case{MediaPlayer::Opening, "Stopped", Transport::Play, Transport::None,
                  Transport::Play},
         }) {
        SCOPED_TRACE(c.state);
        EXPECT_EQ(playbackStatusFor(c.state), c.status);
        EXPECT_EQ(playActionFor(c.state), c.play);
        EXPECT_EQ(pauseActionFor(c.state), c.pause);
        EXPECT_EQ(playPauseActionFor(c.state), c.playPause);
    }
}

TEST(MprisVolume, EveryStepOfTheScaleRoundTripsAndTheEndsClamp)
{
    for (int h = MinVolume; h <= MaxVolume; ++h)
        ASSERT_EQ(volumeFromLinear(linearVolume(h)), h) << h;
    EXPECT_EQ(linearVolume(MinVolume), 0.0);
    EXPECT_EQ(linearVolume(MaxVolume), 1.0);
    for (double outside : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(), 1e-300})
        EXPECT_EQ(volumeFromLinear(outside), MinVolume) << outside;
    for (double loud : {1.0, 2.5, std::numeric_limits<double>::infinity()})
        EXPECT_EQ(volumeFromLinear(loud), MaxVolume) << loud;
}

namespace {
PlayerReading reading(int state, const std::string& name, double position, double clock)
{
    PlayerReading r;
    r.playState = state;
    r.fileName = name;
    r.duration = 100;
    r.position = position;
    r.canSeek = true;
    r.clock = clock;
    return r;
}
using Names = std::vector<std::string>;
} // namespace

TEST(MprisPlayerState, AnnouncesWhatChangedAndNewItems)
{
    MprisPlayerState s;
    const Names all = {"PlaybackStatus", "Metadata", "Volume",   "CanGoNext",
                       "CanGoPrevious",  "CanPlay",  "CanPause", "CanSeek"};
    EXPECT_EQ(s.update(reading(MediaPlayer::Stopped, "", 0, 0)).properties, all);
    EXPECT_EQ(s.properties().metadata.trackId, NoTrackId);

    auto changes = s.update(reading(MediaPlayer::Playing, "/m/a.mp3", 0, 1));
    EXPECT_EQ(changes.properties, (Names{"PlaybackStatus", "Metadata", "CanGoNext", "CanGoPrevious",
                                         "CanPause", "CanSeek"}));
    const std::string first = s.properties().metadata.trackId;
    EXPECT_NE(first, NoTrackId);

    // Playing on changes nothing but the position, which is not announced.
    changes = s.update(reading(MediaPlayer::Playing, "/m/a.mp3", 2.1, 3));
    EXPECT_TRUE(changes.properties.empty());
    EXPECT_FALSE(changes.seeked);
    EXPECT_EQ(s.positionUs(), 2100000);

    // A jump (Step, Back, the slider) is a seek; a paused item stays where it is.
    EXPECT_TRUE(s.update(reading(MediaPlayer::Playing, "/m/a.mp3", 12.2, 3.1)).seeked);
    changes = s.update(reading(MediaPlayer::Paused, "/m/a.mp3", 12.3, 3.2));
    EXPECT_EQ(changes.properties, Names{"PlaybackStatus"});
    EXPECT_FALSE(s.update(reading(MediaPlayer::Paused, "/m/a.mp3", 12.3, 9)).seeked);

    // The volume, and whether the item can seek, come with the reading.
    PlayerReading quieter = reading(MediaPlayer::Paused, "/m/a.mp3", 12.3, 9.1);
    quieter.volume = -602;
    quieter.canSeek = false;
    EXPECT_EQ(s.update(quieter).properties, (Names{"Volume", "CanSeek"}));

    // An open under way changes nothing; the item it opens is a new track, and so is the
    // same file played again after it was over.
    EXPECT_TRUE(s.update(reading(MediaPlayer::Opening, "/m/b.mp3", 0, 10)).properties.empty());
    s.update(reading(MediaPlayer::Playing, "/m/b.mp3", 0, 10.1));
    const std::string second = s.properties().metadata.trackId;
    EXPECT_NE(second, first);
    s.update(reading(MediaPlayer::Stopped, "/m/b.mp3", 100, 11));
    EXPECT_EQ(s.properties().metadata.trackId, second);
    EXPECT_FALSE(s.properties().canGoNext);
    changes = s.update(reading(MediaPlayer::Playing, "/m/b.mp3", 0, 12));
    EXPECT_NE(s.properties().metadata.trackId, second);
    EXPECT_FALSE(changes.seeked);

    // A live stream without a length cannot seek, whatever its server says.
    PlayerReading live = reading(MediaPlayer::Playing, "http://radio.example/live", 0, 13);
    live.duration = 0;
    s.update(live);
    EXPECT_FALSE(s.properties().canSeek);
    EXPECT_TRUE(s.properties().canGoNext);
}

// A name that is not UTF-8 goes out as its own bytes, escaped: the URL names the file
// that plays, and comes back to the same bytes.
TEST(MprisMetadata, TheUrlOfANameThatIsNotUtf8KeepsItsBytes)
{
    const std::string name = "/m/Caf\xe9 \xff.mp3";
    const TrackMetadata m = quavix::metadataFor(name, 1, 1);
    EXPECT_EQ(m.url, "file:///m/Caf%E9%20%FF.mp3");
    EXPECT_EQ(quavix::localFileOfUri(m.url), name);
}
