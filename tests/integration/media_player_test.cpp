// One contract for every media player, run over the test double and the GStreamer player,
// then the GStreamer player's own cases on real files and a local http server. The output is
// whatever QUAVIX_AUDIO_SINK says (CTest: a fakesink that keeps real time).
#include "fakes/Fakes.h"
#include "platform/linux/GstMediaPlayer.h"
#include "support/IcecastServer.h"
#include "support/LocalHttpServer.h"
#include "support/Rig.h"

#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <cmath>
#include <fstream>
#include <functional>
#include <gst/gst.h>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

using quavix::GstMediaPlayer;
using quavix::MediaPlayer;
using Event = std::pair<int, int>;
using quavix::testing::LocalHttpServer;
using quavix::testing::readText;

namespace {

// Runs a GStreamer pipeline description to its end (the test's sound files).
void runPipeline(const std::string& description)
{
    GError* err = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &err);
    ASSERT_TRUE(pipeline && !err) << description << ": " << (err ? err->message : "");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* msg = gst_bus_timed_pop_filtered(
        bus, 20 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    bool ok = msg && GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS;
    if (msg)
        gst_message_unref(msg);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    ASSERT_TRUE(ok) << description;
}

// Tenths of a second of a mono 44.1 kHz tone, encoded by `encoder` into `file`.
void writeTone(int tenths, const std::string& encoder, const std::string& file)
{
    runPipeline("audiotestsrc num-buffers=" + std::to_string(tenths) +
                " samplesperbuffer=4410 ! audio/x-raw,rate=44100,channels=1 ! audioconvert ! " +
                encoder + " ! filesink location=\"" + file + "\"");
}

// Sun audio: ".snd" header, then 16-bit big-endian PCM at 8 kHz.
void writeAu(const std::string& path, double seconds)
{
    const uint32_t rate = 8000, samples = static_cast<uint32_t>(seconds * rate);
    std::string bytes = ".snd";
    auto be = [&](uint32_t v, int size) {
        for (int shift = 8 * (size - 1); shift >= 0; shift -= 8)
            bytes += static_cast<char>(v >> shift);
    };
    for (uint32_t v : {24u, samples * 2, 3u, rate, 1u}) // 3: 16-bit linear PCM
        be(v, 4);
    for (uint32_t i = 0; i < samples; ++i)
        be(static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(i * 2 * M_PI * 440 / rate))),
           2);
    std::ofstream(path, std::ios::binary) << bytes;
}

// --- The contract, for every player ------------------------------------------------------
//
// A driver gives the contract suite a player, two items (about 3 s and 1 s long), a name
// that cannot be opened, and a way to let time pass while events are delivered.

struct FakeDriver {
    quavix::fakes::FakeMediaPlayer player;
    std::string longItem = "long.mp3", shortItem = "short.mp3", missing = "missing.mp3";
    FakeDriver()
    {
        player.addItem(longItem, 3.0);
        player.addItem(shortItem, 1.0);
        player.addItem("live", 0.0);
    }
    // An item whose length is not known (a live stream); empty when the driver has none.
    std::string liveItem() const { return "live"; }
    bool waitFor(const std::function<bool()>& done, double seconds)
    {
        for (double t = 0; t <= seconds; t += 0.05) {
            player.deliverEvents();
            if (done())
                return true;
            player.advance(0.05);
        }
        return false;
    }
};

struct GstDriver {
    static inline QTemporaryDir* dir = nullptr;
    static inline std::string longFile, shortFile;
    GstMediaPlayer player;
    std::string longItem, shortItem, missing;
    GstDriver()
    {
        if (!dir) {
            gst_init(nullptr, nullptr);
            dir = new QTemporaryDir;
            longFile = dir->filePath("long.mp3").toStdString();
            shortFile = dir->filePath("short.mp3").toStdString();
            writeTone(30, "lamemp3enc ! xingmux", longFile);
            writeTone(10, "lamemp3enc ! xingmux", shortFile);
        }
        longItem = longFile;
        shortItem = shortFile;
        missing = dir->filePath("missing.mp3").toStdString();
    }
    std::string liveItem() const { return {}; }
    bool waitFor(const std::function<bool()>& done, double seconds)
    {
        return QTest::qWaitFor(done, static_cast<int>(seconds * 1000));
    }
};

// The GStreamer player with everything it plays also going to a server: a real one when
// icecast2 is installed, else an address where nobody answers (the output then retries).
// Neither may change what the player's callers see.
struct BroadcastingGstDriver : GstDriver {
    BroadcastingGstDriver()
    {
        static quavix::testing::IcecastServer server;
        if (!server.port() && (!quavix::testing::IcecastServer::installed() || !server.start()))
            ADD_FAILURE() << "no icecast2 server: the contract runs against nobody";
        player.setBroadcast(server.settings("/contract.mp3"),
                            [](const std::string&) { return std::string(); });
    }
};

template <class Driver> class MediaContract : public testing::Test {
protected:
    void SetUp() override
    {
        d.player.setPlayStateHandler([this](int o, int n, bool currentItem) {
            events.emplace_back(o, n);
            current.push_back(currentItem);
            threads.push_back(std::this_thread::get_id());
        });
    }
    MediaPlayer& player() { return d.player; }
    void openOk(const std::string& name)
    {
        player().setFileName(name);
        ASSERT_EQ(player().errorCode(), 0) << player().errorDescription();
        ASSERT_EQ(player().playState(), MediaPlayer::Playing);
    }
    bool sawEvent(Event e) const
    {
        return std::find(events.begin(), events.end(), e) != events.end();
    }
    Driver d;
    std::vector<Event> events;
    std::vector<bool> current; // per event: did it belong to the item open when delivered
    std::vector<std::thread::id> threads;
};

using Players = testing::Types<FakeDriver, GstDriver, BroadcastingGstDriver>;
TYPED_TEST_SUITE(MediaContract, Players);

TYPED_TEST(MediaContract, OpensWithItsLengthAndRunsToItsEnd)
{
    this->openOk(this->d.shortItem);
    EXPECT_EQ(this->player().fileName(), this->d.shortItem);
    EXPECT_NEAR(this->player().duration(), 1.0, 0.08);
    ASSERT_TRUE(this->d.waitFor([&] { return this->sawEvent({2, 0}); }, 5));
    EXPECT_EQ(this->events, (std::vector<Event>{{0, 2}, {2, 0}}));
    EXPECT_EQ(this->player().playState(), MediaPlayer::Stopped);
    EXPECT_EQ(this->player().currentPosition(), this->player().duration());
    EXPECT_EQ(this->player().errorCode(), 0);
    // Every event reached the handler on the thread that owns the player.
    for (auto id : this->threads)
        EXPECT_EQ(id, std::this_thread::get_id());
}

TYPED_TEST(MediaContract, APositionPutSeeksOrEndsTheItemBeforeItReturns)
{
    for (double past : {0.0, 5.0}) {
        SCOPED_TRACE(past);
        this->openOk(this->d.longItem);
        this->player().setCurrentPosition(1.5);
        EXPECT_TRUE(this->d.waitFor([&] { return this->player().currentPosition() >= 1.5; }, 2));
        EXPECT_EQ(this->player().playState(), MediaPlayer::Playing);
        this->events.clear();
        this->current.clear();
        const double length = this->player().duration();
        this->player().setCurrentPosition(length + past);
        EXPECT_EQ(this->player().playState(), MediaPlayer::Stopped);
        ASSERT_FALSE(this->events.empty());
        EXPECT_EQ(this->events.back(), Event(2, 0));
        EXPECT_EQ(this->player().currentPosition(), length);
        EXPECT_EQ(this->player().duration(), length);
    }
}

TYPED_TEST(MediaContract, AnItemOfUnknownLengthIsNotEndedByAPut)
{
    const std::string live = this->d.liveItem();
    if (live.empty())
        GTEST_SKIP() << "no item of unknown length for this player";
    this->openOk(live);
    ASSERT_EQ(this->player().duration(), 0.0);
    this->player().setCurrentPosition(0.0); // a slider click at its only value
    EXPECT_EQ(this->player().playState(), MediaPlayer::Playing);
}

TYPED_TEST(MediaContract, PauseResumeStopAndReplaceReportInOrder)
{
    this->openOk(this->d.longItem);
    ASSERT_TRUE(this->d.waitFor([&] { return this->player().currentPosition() > 0.3; }, 3));
    this->player().pause();
    EXPECT_EQ(this->player().playState(), MediaPlayer::Paused);
    const double held = this->player().currentPosition();
    this->player().pause(); // already paused: nothing happens
    this->player().play();
    EXPECT_EQ(this->player().playState(), MediaPlayer::Playing);
    ASSERT_TRUE(this->d.waitFor([&] { return this->player().currentPosition() > held + 0.2; }, 3));
    this->player().stop();
    const double stoppedAt = this->player().currentPosition();
    EXPECT_EQ(this->player().playState(), MediaPlayer::Stopped);
    EXPECT_GT(stoppedAt, held);
    EXPECT_LT(stoppedAt, this->player().duration());
    this->player().stop(); // a stopped player is left alone
    this->player().play();
    EXPECT_EQ(this->player().playState(), MediaPlayer::Stopped);
    ASSERT_TRUE(this->d.waitFor([&] { return this->events.size() >= 4; }, 1));
    EXPECT_EQ(this->player().currentPosition(), stoppedAt);

    // Opening while an item plays: the old one stops, then the new one plays.
    this->openOk(this->d.shortItem);
    this->openOk(this->d.longItem);
    ASSERT_TRUE(this->d.waitFor([&] { return this->events.size() >= 7; }, 1));
    EXPECT_EQ(this->events,
              (std::vector<Event>{{0, 2}, {2, 1}, {1, 2}, {2, 0}, {0, 2}, {2, 0}, {0, 2}}));
    // Both events of the short item were still queued when the long one was opened.
    EXPECT_EQ(this->current, (std::vector<bool>{true, true, true, true, false, false, true}));
}

TYPED_TEST(MediaContract, AFailedOpenSetsTheErrorCodeAndReportsNothingOfItsOwn)
{
    this->openOk(this->d.shortItem);
    this->player().setFileName(this->d.missing);
    EXPECT_EQ(this->player().playState(), MediaPlayer::Stopped);
    EXPECT_NE(this->player().errorCode(), 0);
    EXPECT_NE(this->player().errorDescription(), "");
    EXPECT_EQ(this->player().duration(), 0.0);
    this->d.waitFor([] { return false; }, 0.2);
    EXPECT_EQ(this->events, (std::vector<Event>{{0, 2}, {2, 0}}));
    EXPECT_EQ(this->current, (std::vector<bool>{false, false})) << "both before the next open";
    this->openOk(this->d.shortItem); // usable again
}

TYPED_TEST(MediaContract, VolumeRoundTripsAndClamps)
{
    for (int v = -10000; v <= 0; ++v) {
        this->player().setVolume(v);
        ASSERT_EQ(this->player().volume(), v);
    }
    for (auto [set, read] : {std::pair{-20000, -10000}, {300, 0}}) {
        this->player().setVolume(set);
        EXPECT_EQ(this->player().volume(), read);
    }
    this->player().setVolume(-2000);
    this->openOk(this->d.shortItem);
    EXPECT_EQ(this->player().volume(), -2000);
}

// --- The GStreamer player's own cases -----------------------------------------------------

// The contract's own long (3 s) and short (1 s) files with a Xing header, and more.
class MediaPlayerTest : public MediaContract<GstDriver> {
protected:
    static void SetUpTestSuite()
    {
        GstDriver made; // writes the contract's files
        auto path = [](const char* name) { return GstDriver::dir->filePath(name).toStdString(); };
        plainMp3 = path("plain.mp3");
        wav = path("tone.wav");
        au = path("tone.au");
        textMp3 = path("notes.mp3");
        oddName = path("a:b #1 %20 ü?.mp3");
        writeTone(30, "lamemp3enc target=bitrate bitrate=128 cbr=true", plainMp3);
        writeTone(20, "wavenc", wav);
        writeAu(au, 2.0);
        std::ofstream(textMp3) << "This is a shopping list.\nEggs\nMilk\n";
        std::ofstream(oddName, std::ios::binary) << readText(GstDriver::shortFile);
    }

    static inline std::string plainMp3, wav, au, textMp3, oddName;
    GstMediaPlayer& player = d.player;
    const std::string xingMp3 = GstDriver::longFile, shortMp3 = GstDriver::shortFile;
};

TEST_F(MediaPlayerTest, SongsExpectedBeforeTheFirstOpenAreMeasuredWhileThatOnePlays)
{
    quavix::testing::Sandbox box; // the loudness cache goes to its XDG_CACHE_HOME
    quavix::SoundSettings sound;
    sound.loudness = -16;
    player.setSound(sound);
    // As a station hands over its list: before its first song, and so before the player's
    // pipeline exists.
    player.expect({shortMp3, plainMp3, wav});
    openOk(shortMp3);
    const std::string cache = box.path("cache/quavix/loudness.tsv");
    EXPECT_TRUE(d.waitFor(
        [&] {
            const std::string text = readText(cache);
            return text.find(plainMp3) != std::string::npos && text.find(wav) != std::string::npos;
        },
        20))
        << readText(cache);
}

TEST_F(MediaPlayerTest, AMeasureUnderWayDoesNotHoldUpTheEnd)
{
    quavix::testing::Sandbox box;
    ::setenv("XDG_DATA_DIRS", "/usr/local/share:/usr/share", 1); // the synthesiser's soundfont
    // A piano note held for half an hour: a few bytes that take seconds to synthesise, so
    // that its measure goes on behind the song, which plays at once.
    auto vlq = [](std::uint32_t n) {
        std::string out(1, static_cast<char>(n & 0x7f));
        for (n >>= 7; n; n >>= 7)
            out.insert(out.begin(), static_cast<char>(0x80 | (n & 0x7f)));
        return out;
    };
    const std::string track = std::string("\x00\x90\x3c\x64", 4) + vlq(1800 * 2 * 96) +
                              std::string("\x80\x3c\x40\x00\xff\x2f\x00", 7);
    const std::string midi =
        box.write("note.mid", std::string("MThd\0\0\0\x06\0\0\0\x01\0\x60MTrk\0\0\0", 21) +
                                  static_cast<char>(track.size()) + track);
    auto media = std::make_unique<GstMediaPlayer>();
    quavix::SoundSettings sound;
    sound.loudness = -16;
    media->setSound(sound);
    media->setFileName(midi);
    ASSERT_EQ(media->playState(), MediaPlayer::Playing) << media->errorDescription();
    const auto ending = std::chrono::steady_clock::now();
    media.reset(); // as a station's player goes on SIGTERM
    EXPECT_LT(std::chrono::steady_clock::now() - ending, std::chrono::seconds(1));
}

TEST_F(MediaPlayerTest, DurationIsKnownRightAfterOpening)
{
    struct Case {
        std::string file;
        double seconds, tolerance;
    };
    // The MP3 encoder adds a frame or two of delay and padding.
    for (const Case& c : {Case{xingMp3, 3.0, 0.08}, Case{wav, 2.0, 0.001}, Case{au, 2.0, 0.001},
                          Case{oddName, 1.0, 0.08}}) {
        SCOPED_TRACE(c.file);
        openOk(c.file);
        EXPECT_NEAR(player.duration(), c.seconds, c.tolerance);
        EXPECT_FALSE(player.durationIsEstimate());
        EXPECT_EQ(player.fileName(), c.file);
    }
    // Without a Xing header the length is estimated from size and bit rate at first.
    openOk(plainMp3);
    EXPECT_NEAR(player.duration(), 3.0, 0.3);
}

TEST_F(MediaPlayerTest, FailedOpensReportAndLeaveThePlayerUsable)
{
    struct Case {
        std::string name;
        long code;
    };
    std::vector<Case> cases = {
        {d.missing, GstMediaPlayer::ErrorNotFound},
        {GstDriver::dir->path().toStdString(), GstMediaPlayer::ErrorNotFound},
        {textMp3, GstMediaPlayer::ErrorUnsupported},
        {"mms://127.0.0.1/radio", GstMediaPlayer::ErrorNoHandler},
        {"http://127.0.0.1:1/closed.mp3", GstMediaPlayer::ErrorNetwork},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        openOk(shortMp3);
        player.setFileName(c.name);
        EXPECT_EQ(player.playState(), MediaPlayer::Stopped);
        EXPECT_EQ(player.errorCode(), c.code) << player.errorDescription();
        EXPECT_NE(player.errorDescription(), "");
        if (c.code == GstMediaPlayer::ErrorNoHandler) {
            EXPECT_NE(player.errorDescription().find("no source for \"mms\" addresses"),
                      std::string::npos);
        }
        player.play(); // nothing to resume
        EXPECT_EQ(player.playState(), MediaPlayer::Stopped);
    }
    // Nothing of a failed item leaks into the next one.
    openOk(wav);
    QTest::qWait(0);
    EXPECT_EQ(player.playState(), MediaPlayer::Playing);
    EXPECT_EQ(player.errorCode(), 0);
}

TEST_F(MediaPlayerTest, HttpItemsSeekWithRangesAndPlayOnWithout)
{
    LocalHttpServer ranged(readText(xingMp3), LocalHttpServer::Ranges);
    openOk(ranged.url());
    EXPECT_NEAR(player.duration(), 3.0, 0.08);
    EXPECT_TRUE(player.canSeek());
    player.setCurrentPosition(2.0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return player.currentPosition() >= 2.0; }, 3000));
    EXPECT_EQ(player.playState(), MediaPlayer::Playing);
    EXPECT_EQ(player.errorCode(), 0);

    LocalHttpServer plain(readText(shortMp3), LocalHttpServer::NoRanges);
    openOk(plain.url());
    EXPECT_FALSE(player.canSeek());
    player.setCurrentPosition(0.5);
    EXPECT_EQ(player.playState(), MediaPlayer::Playing);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !events.empty() && events.back() == Event(2, 0) && current.back(); }, 5000));
    EXPECT_EQ(player.errorCode(), 0) << player.errorDescription();
    EXPECT_EQ(player.currentPosition(), player.duration());
    EXPECT_EQ(plain.rangedRequests(), 0);
}

// A broken installation, without the GStreamer module or with a file in its place that is
// no library: nothing crashes, every open fails with a text that names the cause, and the
// volume set before is kept.
TEST(MediaPlayerModuleTest, WithoutItsModuleEveryOpenFailsAndSaysWhy)
{
    QTemporaryDir dir;
    const std::string missing = dir.filePath("lib/quavix/libquavix-gstreamer.so").toStdString();
    const std::string notALibrary = dir.filePath("libquavix-gstreamer.so").toStdString();
    std::ofstream(notALibrary) << "not a library";
    for (const std::string& module : {missing, notALibrary}) {
        SCOPED_TRACE(module);
        GstMediaPlayer player(module);
        int events = 0;
        player.setPlayStateHandler([&](int, int, bool) { ++events; });
        player.setVolume(-2000);
        player.warmUp();
        for (int attempt = 0; attempt < 2; ++attempt) {
            player.setFileName("/music/song.mp3");
            EXPECT_EQ(player.playState(), MediaPlayer::Stopped);
            EXPECT_EQ(player.errorCode(), GstMediaPlayer::ErrorPlayback);
            const std::string why = player.errorDescription();
            EXPECT_EQ(why.rfind("The media framework could not start: ", 0), 0u) << why;
            EXPECT_NE(why.find(module), std::string::npos) << why;
        }
        EXPECT_EQ(player.fileName(), "/music/song.mp3");
        EXPECT_EQ(player.volume(), -2000);
        EXPECT_FALSE(player.canSeek());
        player.setFileName("");
        EXPECT_EQ(player.errorCode(), 0);
        QTest::qWait(0);
        EXPECT_EQ(events, 0);
    }
}

} // namespace
