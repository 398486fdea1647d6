// The platform pieces' text formats: file dialog filters, desktop Exec lines, stream
// addresses, and the MP3 length estimate for files that do not state their length.
#include "engine/PlayCommands.h"
#include "platform/MediaAddress.h"
#include "platform/linux/GstMediaPlayer.h"
#include "platform/linux/QtDialogs.h"
#include "platform/linux/XdgBrowser.h"
#include "support/Rig.h"

#include <gtest/gtest.h>

using namespace quavix;
using Words = std::vector<std::string>;

TEST(FileFilters, EveryFileMeansEveryFileAlsoWithoutADot)
{
    struct Case {
        std::string filter;
        QStringList expected;
    };
    const Case cases[] = {
        {"All Files (*.*)|*.*|Playlist Files(*.pls;*.m3u)|*.pls;*.m3u",
         {"All Files (*)", "Playlist Files (*.pls *.m3u)"}},
        {quavix::PlayFileFilter,
         {"All Files (*)", "MP3 Files (*.mp3)", "Windows Sound Files (*.wav)",
          "NetShow Files (*.asf *.asx)", "RealNetwork Files (*.ra *.ram *.rm *.rmm)",
          "MIDI (*.mid *.rmi)", "Misc. Sound Files (*.au *.snd)"}},
        {"Songs|*.mp3;*.*", {"Songs (*.mp3 *)"}},
        {"Text (*.txt)|*.txt|dangling", {"Text (*.txt)"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(QtDialogs::toQtFilters(c.filter), c.expected) << c.filter;
}

TEST(BrowserCommand, FieldCodesAndQuoting)
{
    const std::string a = "file:///a b/\"q\" $x.html";
    struct Case {
        std::string exec;
        std::optional<Words> expected;
    };
    const std::vector<Case> cases = {
        {"firefox %u", Words{"firefox", a}},
        {"firefox %U --new", Words{"firefox", a, "--new"}},
        {"viewer %f", Words{"viewer", a}},
        {"viewer %F -x", Words{"viewer", a, "-x"}},
        {"firefox", Words{"firefox", a}}, // no code: the address is appended
        {"firefox --url=%u", Words{"firefox", "--url=" + a}},
        {"web %i %c %k --name %c %u", Words{"web", "--name", a}},
        {"web 50%% %u", Words{"web", "50%", a}},
        {"  web\t\t%u  ", Words{"web", a}},
        {"\"/opt/my web/run\" %u", Words{"/opt/my web/run", a}},
        {"\"/opt/say \\\"hi\\\" \\$HOME \\`x\\` \\\\ 1\" %u",
         Words{"/opt/say \"hi\" $HOME `x` \\ 1", a}},
        {"web \"\" %u", Words{"web", "", a}},
        {"web 'single quotes' %u", Words{"web", "'single", "quotes'", a}},
        {"web ; rm -rf ~ %u", Words{"web", ";", "rm", "-rf", "~", a}},
        {"\"/opt/unterminated %u", std::nullopt},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"%i", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(XdgBrowser::commandFor(c.exec, a), c.expected) << c.exec;
}

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
