// List and link files: each format as stations and players write it, recognition, where
// entries lead, encodings, limits, and the hostile files the network hands over.
#include "platform/MediaLists.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quavix {
void PrintTo(ListFormat f, std::ostream* os)
{
    *os << "ListFormat " << static_cast<int>(f);
}
} // namespace quavix

using namespace quavix;
using Entries = std::vector<ListEntry>;
using Strings = std::vector<std::string>;

namespace {

Strings locations(const ListContents& list)
{
    Strings out;
    for (const auto& e : list.entries)
        out.push_back(e.location);
    return out;
}

// The text as UTF-16 (code units as given), with or without a byte order mark.
std::string utf16(std::u16string_view text, bool littleEndian, bool bom)
{
    std::string out;
    auto put = [&](char16_t u) {
        const char lo = static_cast<char>(u & 0xff), hi = static_cast<char>(u >> 8);
        out += littleEndian ? lo : hi;
        out += littleEndian ? hi : lo;
    };
    if (bom)
        put(0xfeff);
    for (char16_t u : text)
        put(u);
    return out;
}

} // namespace

TEST(ListShapes, StationPlsWithMirrorsInNumberOrder)
{
    const char* pls = "[playlist]\r\n"
                      "NumberOfEntries=3\r\n"
                      "File3=http://mirror2.example.net:8000/stream\r\n"
                      "Title3=(#3 - 12/500) Groove Radio\r\n"
                      "file1=http://stream.example.net:8000/live\r\n"
                      "TITLE1=(#1 - 80/500) Groove Radio\r\n"
                      "Length1=-1\r\n"
                      "File2 = http://mirror1.example.net/live?type=.mp3\r\n"
                      "Version=2\r\n";
    ASSERT_EQ(recogniseList(pls), ListFormat::Pls);
    auto list = parseList(pls, ListFormat::Pls, "http://example.net/tune.pls");
    EXPECT_EQ(
        list.entries,
        (Entries{{"http://stream.example.net:8000/live", "(#1 - 80/500) Groove Radio", ""},
                 {"http://mirror1.example.net/live?type=.mp3", "", ""},
                 {"http://mirror2.example.net:8000/stream", "(#3 - 12/500) Groove Radio", ""}}));
    EXPECT_EQ(list.problem, "");
}

TEST(ListShapes, SloppyAsxAsServersSendIt)
{
    const char* asx = "<ASX Version=\"3.0\">\n"
                      " <!-- <ENTRY><REF HREF=\"http://commented.out/\"/></ENTRY> -->\n"
                      " <Title>Radio Trente</Title>\n"
                      " <Entry>\n"
                      "  <ref HREF=\"mms://media.example.com/live?id=3&user=guest\" />\n"
                      "  <REF href='http://backup.example.com/live.asf?a=1&amp;b=2'>\n"
                      "  <TITLE>Morning Show &amp; News &#233;dition</TITLE>\n"
                      "  <MoreInfo href=\"http://example.com/about\" />\n"
                      " </ENTRY>\n"
                      " <Entry><Ref href=http://example.com/jingle.wma></Entry>\n"
                      " <ENTRYREF HREF=\"http://example.com/more.asx\" />\n"
                      " <Entry><ref href=\"ads\\spot.wma\"/>\n"
                      "</ASX>\n";
    ASSERT_EQ(recogniseList(asx, "video/x-ms-asf"), ListFormat::Asx);
    const std::string show = "Morning Show & News \xc3\xa9"
                             "dition";
    EXPECT_EQ(parseList(asx, ListFormat::Asx, "/home/me/radio.asx").entries,
              (Entries{{"mms://media.example.com/live?id=3&user=guest", show, ""},
                       {"http://backup.example.com/live.asf?a=1&b=2", show, ""},
                       {"http://example.com/jingle.wma", "Radio Trente", ""},
                       {"http://example.com/more.asx", "Radio Trente", ""},
                       {"/home/me/ads/spot.wma", "Radio Trente", ""}}));

    const char* ini = "[Reference]\r\nRef2=http://example.com:80/live\r\n"
                      "Ref1=http://example.com/live?MSWMExt=.asf\r\n";
    ASSERT_EQ(recogniseList(ini, "video/x-ms-asf"), ListFormat::Asx);
    EXPECT_EQ(locations(parseList(ini, ListFormat::Asx, "/a.asx")),
              (Strings{"http://example.com/live?MSWMExt=.asf", "http://example.com:80/live"}));
}

TEST(ListShapes, RamStopsAtTheMarker)
{
    const char* ram = "# RealAudio links\n"
                      "rtsp://real.example.com/live.rm\n"
                      "\n"
                      "pnm://real.example.com/old.ra\n"
                      "http://example.com/clip.rm?title=\"Clip\"\n"
                      "music/local.ra\n"
                      "--stop--\n"
                      "http://example.com/never.rm\n";
    ASSERT_EQ(recogniseList(ram, "audio/x-pn-realaudio"), ListFormat::Ram);
    EXPECT_EQ(locations(parseList(ram, ListFormat::Ram, "/lists/a.ram")),
              (Strings{"rtsp://real.example.com/live.rm", "rtsp://real.example.com/old.ra",
                       "http://example.com/clip.rm?title=%22Clip%22", "/lists/music/local.ra"}));
}

TEST(ListShapes, ExtendedM3uTitlesOnlyTheNextEntry)
{
    const char* m3u = "#EXTM3U\r\n"
                      "#EXTINF:123,Artist - Song One\r\n"
                      "Song One.mp3\r\n"
                      "#EXTINF:-1 tvg-name=\"a,b\",Live, with comma\r\n"
                      "# a comment between\r\n"
                      "http://example.com/live\r\n"
                      "  ../other/Two.ogg  \r\n"
                      "/abs/Three.flac\r\n"
                      "file:///music/Caf%C3%A9.mp3\r\n";
    ASSERT_EQ(recogniseList(m3u), ListFormat::M3u);
    EXPECT_EQ(parseList(m3u, ListFormat::M3u, "/lists/mix.m3u8").entries,
              (Entries{{"/lists/Song One.mp3", "Artist - Song One", ""},
                       {"http://example.com/live", "Live, with comma", ""},
                       {"/lists/../other/Two.ogg", "", ""},
                       {"/abs/Three.flac", "", ""},
                       {"/music/Caf\xc3\xa9.mp3", "", ""}}));
}

TEST(ListShapes, XspfLocationsAreUris)
{
    const char* xspf =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">\n"
        "  <title>Mix</title>\n"
        "  <trackList>\n"
        "    <track><location>file:///music/My%20Song.ogg</location><title>My Song</title>"
        "</track>\n"
        "    <track><title> Remote\n  one </title>\n"
        "      <location>http://example.com/a%20b.mp3</location>\n"
        "      <location><![CDATA[http://mirror.example.com/a.mp3?x=1&y=2]]></location></track>\n"
        "    <track><location>sub/Caf%C3%A9.flac</location>"
        "<extension application=\"x\"><title>not this</title></extension></track>\n"
        "  </trackList>\n"
        "</playlist>\n";
    ASSERT_EQ(recogniseList(xspf), ListFormat::Xspf);
    EXPECT_EQ(parseList(xspf, ListFormat::Xspf, "/lists/mix.xspf").entries,
              (Entries{{"/music/My Song.ogg", "My Song", ""},
                       {"http://example.com/a%20b.mp3", "Remote one", ""},
                       {"http://mirror.example.com/a.mp3?x=1&y=2", "Remote one", ""},
                       {"/lists/sub/Caf\xc3\xa9.flac", "", ""}}));
}

TEST(ListRecognition, ByContentNarrowedOrDecidedByType)
{
    const std::string realAsf("0&\xb2\x75\x8e\x66\xcf\x11\xa6\xd9\x00\xaa\x00\x62\xce\x6c", 16);
    const std::string realRa(".ra\xfd\x00\x03\x00\x00", 8);
    struct Case {
        std::string head, type;
        ListFormat expected;
    };
    const Case cases[] = {
        {"\xef\xbb\xbf  \r\n\t[Playlist]\r\nFile1=a.mp3\r\n", "", ListFormat::Pls},
        {"<?xml version=\"1.0\"?>\n<!-- x -->\n<!DOCTYPE asx>\n<asx version=3>", "",
         ListFormat::Asx},
        {"<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">", "", ListFormat::Xspf},
        {"<html><body>Not found</body></html>", "", ListFormat::NotAList},
        {"#EXTM3U\n#EXTINF:1,a\n", "", ListFormat::M3u},
        // Links saved one a line, and names of files beside the list.
        {"http://a.example/live\r\nHTTPS://b.example/x.mp3\r\n", "", ListFormat::M3u},
        {"/music/a.mp3\nsong two.ogg\n# note\n", "text/plain", ListFormat::M3u},
        {"rtsp://a/b.rm\n--stop--\nanything at all\n", "", ListFormat::Ram},
        {"Dear diary,\nToday I played some music.\n", "", ListFormat::NotAList},
        {"http://a/b\nand then some prose\n", "", ListFormat::NotAList},
        {std::string("ID3\x03\x00\x00\x00\x00\x0f\x76", 10), "", ListFormat::NotAList},
        {"", "", ListFormat::NotAList},
        // HLS is played from its address, whatever the type says.
        {"#EXTM3U\n#EXT-X-TARGETDURATION:10\nseg1.ts\n", "", ListFormat::NotAList},
        {"#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=1\nlow.m3u8\n", "application/vnd.apple.mpegurl",
         ListFormat::NotAList},
        // Ambiguous types: the content must show the list.
        {realAsf, "video/x-ms-asf", ListFormat::NotAList},
        {"<ASX version=\"3.0\"><ENTRY>", "video/x-ms-asf", ListFormat::Asx},
        {"[playlist]\nFile1=a.mp3\n", "video/x-ms-asf", ListFormat::NotAList},
        {realRa, "audio/x-pn-realaudio", ListFormat::NotAList},
        {"pnm://x/y.ra\n", "audio/x-pn-realaudio; charset=x", ListFormat::Ram},
        // Specific types decide, unless the content plainly is another list or no text.
        {"NumberOfEntries=1\nfile1=http://x/\n", "Audio/X-SCPLS", ListFormat::Pls},
        {"stream one\nstream two\n", "audio/x-mpegurl", ListFormat::M3u},
        {"http://x/live\n", "audio/x-scpls", ListFormat::M3u}, // a bare link reads as one
        {"#EXTM3U\nhttp://x/\n", "audio/x-scpls", ListFormat::M3u},
        {std::string("\x89PNG\r\n\x1a\n\0\0", 10), "audio/x-mpegurl", ListFormat::NotAList},
        {utf16(u"<ASX version=\"3.0\">", true, true), "", ListFormat::Asx},
        {utf16(u"<asx version=\"3.0\">", false, false), "", ListFormat::Asx},
    };
    for (const auto& c : cases)
        EXPECT_EQ(recogniseList(c.head, c.type), c.expected) << c.head << " / " << c.type;

    // A head cut off inside a long list: its last, unended line is not judged.
    std::string head;
    while (head.size() < ListHeadBytes)
        head += "http://example.com/a-long-list-of-links/entry.mp3\n";
    EXPECT_EQ(recogniseList(head.substr(0, ListHeadBytes)), ListFormat::M3u);
}

TEST(ListResolution, FoldersAndUrls)
{
    struct Case {
        std::string entry, from, expected; // "" expected: left out
    };
    const std::string local = "/home/me/lists/a.m3u";
    const std::string web = "http://radio.example/dir/sub/list.m3u?id=7";
    const Case cases[] = {
        {"a.mp3", local, "/home/me/lists/a.mp3"},
        {"../a.mp3", local, "/home/me/lists/../a.mp3"},
        {"/x/a.mp3", local, "/x/a.mp3"},
        {"sub\\deeper\\a.mp3", local, "/home/me/lists/sub/deeper/a.mp3"},
        {"/odd\\name.mp3", local, "/odd\\name.mp3"},
        {"file:///x/a%20b.mp3", local, "/x/a b.mp3"},
        {"a.mp3", "file:///home/me/a.m3u", "/home/me/a.mp3"},
        {"a.mp3", "/top.m3u", "/a.mp3"},
        {"PNM://h/a.ra", local, "rtsp://h/a.ra"},
        {"C:\\Music\\a.mp3", local, ""},
        {"\\\\server\\share\\a.mp3", local, ""},
        {"gopher://h/a", local, ""},
        {"file://otherhost/a.mp3", local, ""},
        {"a.mp3", web, "http://radio.example/dir/sub/a.mp3"},
        {"../a.mp3", web, "http://radio.example/dir/a.mp3"},
        {"../../../a.mp3", web, "http://radio.example/a.mp3"},
        {"./x/./y/../a.mp3", web, "http://radio.example/dir/sub/x/a.mp3"},
        {"/x/a.mp3", web, "http://radio.example/x/a.mp3"},
        {"//cdn.example/a.mp3", web, "http://cdn.example/a.mp3"},
        {"?id=8", web, "http://radio.example/dir/sub/list.m3u?id=8"},
        {"my song\xc3\xa9.mp3", web, "http://radio.example/dir/sub/my%20song%C3%A9.mp3"},
        {"sub\\a.mp3", web, "http://radio.example/dir/sub/sub/a.mp3"},
        {"a.mp3", "https://radio.example", "https://radio.example/a.mp3"},
        {"file:///etc/passwd", web, ""}, // a list off the network names no local file
        {"a.mp3", "lists/a.m3u", ""},    // nothing to resolve against
        {"/x/a.mp3", "lists/a.m3u", "/x/a.mp3"},
    };
    for (const auto& c : cases) {
        auto list = parseList(c.entry + "\n", ListFormat::M3u, c.from);
        EXPECT_EQ(locations(list), c.expected.empty() ? Strings{} : Strings{c.expected})
            << c.entry << " from " << c.from;
        EXPECT_EQ(list.problem.empty(), !c.expected.empty()) << c.entry;
    }
}

TEST(ListEncodings, Utf16AsxLatin1M3uAndBoms)
{
    const std::u16string asx = u"<asx version=\"3.0\"><entry><title>Caf\u00e9 \u266b</title>"
                               u"<ref href=\"http://x/a.wma\"/></entry></asx>";
    for (bool le : {true, false}) {
        auto list = parseList(utf16(asx, le, true), ListFormat::Asx, "/a.asx");
        EXPECT_EQ(list.entries, (Entries{{"http://x/a.wma", "Caf\xc3\xa9 \xe2\x99\xab", ""}}));
    }

    // Latin-1: titles converted; a local name keeps its bytes and offers its UTF-8 form.
    auto latin1 =
        parseList("#EXTINF:1,Caf\xe9\nCaf\xe9.mp3\nplain.mp3\n", ListFormat::M3u, "/m\xfc/l.m3u");
    EXPECT_EQ(latin1.entries,
              (Entries{{"/m\xfc/Caf\xe9.mp3", "Caf\xc3\xa9", "/m\xfc/Caf\xc3\xa9.mp3"},
                       {"/m\xfc/plain.mp3", "", ""}}));
    auto utf8 = parseList("\xef\xbb\xbf#EXTINF:1,Caf\xc3\xa9\nCaf\xc3\xa9.mp3\n", ListFormat::M3u,
                          "/m/l.m3u");
    EXPECT_EQ(utf8.entries, (Entries{{"/m/Caf\xc3\xa9.mp3", "Caf\xc3\xa9", ""}}));
    EXPECT_EQ(locations(parseList("\xef\xbb\xbf[playlist]\nFile1=a.mp3\n", ListFormat::Pls, "/l")),
              Strings{"/a.mp3"});
}

TEST(ListLimits, EntriesBytesAndLongLines)
{
    std::string many;
    for (std::size_t i = 0; i < MaxListEntries; ++i)
        many += "http://e/" + std::to_string(i) + "\n";
    auto full = parseList(many, ListFormat::M3u, "/l.m3u");
    ASSERT_EQ(full.entries.size(), MaxListEntries);
    EXPECT_EQ(full.entries.back().location, "http://e/9999");
    many += "http://e/one-too-many\n";
    auto over = parseList(many, ListFormat::M3u, "/l.m3u");
    EXPECT_TRUE(over.entries.empty());
    EXPECT_NE(over.problem.find("10000"), std::string::npos) << over.problem;

    auto big = parseList("[playlist]\nFile1=a.mp3\n" + std::string(MaxListBytes, ' '),
                         ListFormat::Pls, "/l.pls");
    EXPECT_TRUE(big.entries.empty());
    EXPECT_NE(big.problem, "");

    const std::string longName(1000 * 1000, 'a');
    auto line = parseList(longName + ".mp3\r\nb.mp3\r\n", ListFormat::M3u, "/l");
    EXPECT_EQ(locations(line), (Strings{"/" + longName + ".mp3", "/b.mp3"}));

    for (auto format : {ListFormat::Asx, ListFormat::Ram, ListFormat::Pls, ListFormat::M3u,
                        ListFormat::Xspf, ListFormat::NotAList}) {
        auto empty = parseList("#EXTM3U\n", format, "/l");
        EXPECT_TRUE(empty.entries.empty());
        EXPECT_NE(empty.problem, "") << int(format);
    }
}

TEST(ListHostileInput, NulCrAndSelfReference)
{
    // A NUL neither ends the text nor reaches a name: that entry goes, the rest stays.
    using namespace std::string_literals;
    auto nul =
        parseList("#EXTINF:1,Ti\0tle\na\0b.mp3\nc.mp3\n[x]\0\nd.mp3\n"s, ListFormat::M3u, "/l");
    EXPECT_EQ(nul.entries, (Entries{{"/c.mp3", "", ""}, {"/d.mp3", "", ""}}));
    auto nulTitle = parseList("[playlist]\0\nFile1=a.mp3\nTitle1=A\0B\n"s, ListFormat::Pls, "/l");
    EXPECT_EQ(nulTitle.entries, (Entries{{"/a.mp3",
                                          "A\xef\xbf\xbd"
                                          "B",
                                          ""}}));

    auto cr = parseList("[playlist]\rFile1=a.mp3\rTitle1=A\rFile2=b.mp3\r", ListFormat::Pls, "/l");
    EXPECT_EQ(cr.entries, (Entries{{"/a.mp3", "A", ""}, {"/b.mp3", "", ""}}));

    // A list that names itself is just an entry; the player ends the cycle.
    auto self = parseList("<asx version=\"3.0\"><entryref href=\"self.asx\"/></asx>",
                          ListFormat::Asx, "http://x.example/self.asx");
    EXPECT_EQ(locations(self), Strings{"http://x.example/self.asx"});
}

TEST(ListHostileInput, DeclaredEntitiesAreNeverExpanded)
{
    std::string laughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE asx [\n <!ENTITY lol \"lol\">\n";
    laughs += " <!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">\n";
    for (int i = 2; i < 10; ++i)
        laughs += " <!ENTITY lol" + std::to_string(i) + " \"" + [&] {
            std::string refs;
            for (int k = 0; k < 10; ++k)
                refs += "&lol" + std::to_string(i - 1) + ";";
            return refs;
        }() + "\">\n";
    laughs += "]>\n<asx version=\"3.0\"><entry><title>&lol9;</title>"
              "<ref href=\"http://x/&lol9;&#0;&#x41;&bogus\"/></entry></asx>";
    ASSERT_EQ(recogniseList(laughs), ListFormat::Asx);
    EXPECT_EQ(parseList(laughs, ListFormat::Asx, "/l.asx").entries,
              (Entries{{"http://x/&lol9;&#0;A&bogus", "&lol9;", ""}}));
}

TEST(LocalListFile, OnlyRegularFilesAndNothingTooLarge)
{
    const auto dir =
        std::filesystem::temp_directory_path() / ("quavix-lists-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    auto write = [&](const char* name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
        return (dir / name).string();
    };

    auto pls = readLocalList(write("a.pls", "[playlist]\nFile1=a.mp3\n"));
    EXPECT_EQ(pls.format, ListFormat::Pls);
    EXPECT_EQ(pls.content, "[playlist]\nFile1=a.mp3\n");
    EXPECT_EQ(pls.problem, "");

    auto media = readLocalList(
        write("a.mp3", std::string("ID3\x03\0\0", 6) + std::string(2 * MaxListBytes, '\xff')));
    EXPECT_EQ(media.format, ListFormat::NotAList);
    EXPECT_EQ(media.content, "");

    auto huge = readLocalList(write("huge.m3u", "#EXTM3U\n" + std::string(MaxListBytes, '#')));
    EXPECT_EQ(huge.format, ListFormat::M3u);
    EXPECT_EQ(huge.content, "");
    EXPECT_NE(huge.problem, "");

    // Reading a FIFO would wait for a writer for ever.
    const auto fifo = (dir / "fifo.m3u").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(readLocalList(fifo).format, ListFormat::NotAList);
    EXPECT_EQ(readLocalList("/dev/zero").format, ListFormat::NotAList);
    EXPECT_EQ(readLocalList((dir / "missing").string()).format, ListFormat::NotAList);
    std::filesystem::remove_all(dir);
}
