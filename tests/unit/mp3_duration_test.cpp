// The MP3 length estimate for files that do not state their length.
#include "platform/posix/Mp3Duration.h"
#include "support/Rig.h"

#include <gtest/gtest.h>

using namespace quavix;

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
