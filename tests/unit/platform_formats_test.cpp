// The platform pieces' text formats: file dialog filters, desktop Exec lines, stream
// addresses, and the titles a stream's server puts between its bytes.
#include "platform/IcyMetadata.h"
#include "platform/MediaAddress.h"
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
        {"Songs|*.mp3;*.*", {"Songs (*.mp3 *)"}},
        {"Text (*.txt)|*.txt|dangling", {"Text (*.txt)"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(QtDialogs::toQtFilters(c.filter), c.expected) << c.filter;
}

// "%%", an open quote and an empty Exec line: the integration suite.
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
        {"  web\t\t%u  ", Words{"web", a}},
        {"\"/opt/my web/run\" %u", Words{"/opt/my web/run", a}},
        {"\"/opt/say \\\"hi\\\" \\$HOME \\`x\\` \\\\ 1\" %u",
         Words{"/opt/say \"hi\" $HOME `x` \\ 1", a}},
        {"web \"\" %u", Words{"web", "", a}},
        {"web 'single quotes' %u", Words{"web", "'single", "quotes'", a}},
        {"web ; rm -rf ~ %u", Words{"web", ";", "rm", "-rf", "~", a}},
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

// The bytes of a name come back as they were escaped: a Latin-1 "é" (%E9) or a stray %FF
// must reach the file system as that byte, not as a replacement character.
TEST(FileUri, DecodesToTheFileSystemsOwnBytes)
{
    using quavix::localFileOfUri;
    EXPECT_EQ(localFileOfUri("file:///music/Caf%E9%20%FF.mp3"), "/music/Caf\xe9 \xff.mp3");
    EXPECT_EQ(localFileOfUri("FILE://localhost/a%2Fb?x#y"), "/a/b");
    EXPECT_EQ(localFileOfUri("file:/a%zz%4"), "/a%zz%4"); // broken escapes stay as typed
    for (const char* refused : {"file://host/a.mp3", "file:a.mp3", "http://a/b.mp3",
                                "file:///a%00b.mp3", "file://localhostx/a"})
        EXPECT_EQ(localFileOfUri(refused), std::nullopt) << refused;
}

// A server's stream as it arrives, cut anywhere: every title block is found, in order, and
// the sound around the blocks is never taken for one.
TEST(StreamTitles, BlocksBetweenTheSoundInAnyPieces)
{
    constexpr std::size_t interval = 16;
    const auto block = [](std::string text) {
        text.resize((text.size() + 15) / 16 * 16, '\0');
        return std::string(1, static_cast<char>(text.size() / 16)) + text;
    };
    // Sound bytes that look like a length and a title must stay sound.
    const std::string sound(interval, '\x05'), fake = "StreamTitle='x';";
    std::string stream = sound + block("StreamTitle='Band - First';StreamUrl='';") + fake +
                         block("") + sound + block("StreamUrl='http://band.example';") + sound +
                         block("StreamTitle='It's Over';") + sound + block("StreamTitle='';") +
                         sound + block("StreamTitle='Mot\xf6rhead \x01- Ace';") +
                         sound.substr(0, 3);
    const std::vector<std::string> titles = {"Band - First", "It's Over", "", "Motörhead - Ace"};
    for (std::size_t piece :
         {std::size_t{1}, std::size_t{7}, std::size_t{16}, std::size_t{17}, stream.size()}) {
        SCOPED_TRACE(piece);
        IcyMetadataReader reader(interval);
        std::vector<std::string> seen;
        const auto* bytes = reinterpret_cast<const unsigned char*>(stream.data());
        for (std::size_t at = 0; at < stream.size(); at += piece)
            if (auto t = reader.feed(bytes + at, std::min(piece, stream.size() - at)))
                seen.push_back(*t);
        if (piece == stream.size())
            EXPECT_EQ(seen, std::vector<std::string>{titles.back()}) << "the last one counts";
        else
            EXPECT_EQ(seen, titles);
    }
}
