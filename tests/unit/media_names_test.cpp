// Telling addresses from file names, and the MP3 length estimate for files that do not
// state their length.
#include "platform/MediaAddress.h"
#include "platform/linux/GstMediaPlayer.h"
#include "support/Rig.h"

#include <gtest/gtest.h>

using namespace quavix;

TEST(StreamAddress, OnlyKnownSchemesAreAddresses)
{
    struct Case {
        const char* text;
        bool address;
    };
    for (const Case& c : {Case{"http://radio.example/live", true},
                          {"HTTPS://a/b.mp3", true},
                          {"mms://a/b", true},
                          {"mmsh://a/b", true},
                          {"rtsp://a/b", true},
                          {"file:///music/a.mp3", true},
                          {"a:b.mp3", false},
                          {"C:\\x.mp3", false},
                          {"C://x.mp3", false},
                          {"ftp://a/b.mp3", false},
                          {"/music/http://a.mp3", false},
                          {"://a", false},
                          {"", false}}) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(isStreamAddress(c.text), c.address);
    }
}

namespace {

// n frames of an MPEG audio header followed by zeros up to the frame's length.
std::string frames(int n, std::string header, std::size_t length)
{
    header.resize(length, '\0');
    std::string out;
    for (int i = 0; i < n; ++i)
        out += header;
    return out;
}

} // namespace

TEST(Volume, HundredthsOfADecibelToAmplitude)
{
    struct Case {
        int hundredths;
        double factor;
    };
    for (const Case& c : {Case{0, 1.0},
                          {-600, 0.501187},
                          {-2000, 0.1},
                          {-6000, 0.001},
                          {-9999, 1.0011e-5},
                          {-10000, 0.0},
                          {-20000, 0.0},
                          {500, 1.0}}) {
        SCOPED_TRACE(c.hundredths);
        EXPECT_NEAR(linearVolume(c.hundredths), c.factor, c.factor * 1e-4 + 1e-9);
    }
}

TEST(Mp3LengthEstimate, TagsAreNotAudioAndTheFrameGivesTheRate)
{
    const std::string v1 = frames(100, "\xff\xfb\x90\x00", 417); // MPEG-1 III 128 kb/s
    const std::string v2 = frames(100, "\xff\xf3\x80\x00", 208); // MPEG-2 III 64 kb/s
    const std::string id3v2Footer = std::string("ID3\x04\x00\x10\x00\x00\x00\x14", 10) +
                                    std::string(20, '\0') + "3DI" + std::string(7, '\0');
    const std::string id3v1 = "TAG" + std::string(125, 'x');
    // A header that is not followed by another one, at a very different bit rate.
    const std::string stray = std::string("\xff\xfb\xe0\x00", 4) + std::string(10, '\0');
    struct Case {
        const char* what;
        std::string bytes;
        double seconds;
    };
    const double v1Seconds = 41700 * 8 / 128000.0;
    for (const Case& c :
         {Case{"plain", v1, v1Seconds}, Case{"ID3v2 with footer", id3v2Footer + v1, v1Seconds},
          Case{"ID3v1 tail", v1 + id3v1, v1Seconds},
          Case{"both tags", id3v2Footer + v1 + id3v1, v1Seconds},
          Case{"MPEG-2 Layer III", v2, 20800 * 8 / 64000.0},
          Case{"stray 0xff", stray + v1, (41700 + 14) * 8 / 128000.0}}) {
        SCOPED_TRACE(c.what);
        quavix::testing::Sandbox box;
        auto estimate = estimateMp3Duration(box.write("a.mp3", c.bytes));
        ASSERT_TRUE(estimate);
        EXPECT_DOUBLE_EQ(*estimate, c.seconds);
    }
    quavix::testing::Sandbox box;
    EXPECT_FALSE(
        estimateMp3Duration(box.write("notes.mp3", "Eggs\nMilk\n" + std::string(2000, 'z'))));
    EXPECT_FALSE(estimateMp3Duration(box.path("missing.mp3")));
}
