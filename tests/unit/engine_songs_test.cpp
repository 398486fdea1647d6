// The play engine's pure pieces and single steps: the song name convention, the song
// folder list, choosing the next song, the activity log, the path utilities.
#include "engine/SongFileName.h"
#include "engine/clsActivityLog.h"
#include "engine/clsAdjustForAmpersand.h"
#include "engine/clsCreateFileList.h"
#include "engine/clsGetDriveDirFromFilename.h"
#include "engine/clsGetNextSong.h"
#include "support/Rig.h"

#include <gtest/gtest.h>
#include <set>

using namespace quavix;
using namespace quavix::testing;
using Strings = std::vector<std::string>;

TEST(SongName, TakesTheConventionApartKeepingBlanks)
{
    auto p = parseSongName("Artist - Album - 1999 - Song - 4_05.mp3");
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.group, "Artist ");
    EXPECT_EQ(p.cdTitle, " Album ");
    EXPECT_EQ(p.releaseYear, " 1999 ");
    EXPECT_EQ(p.title, " Song ");
    EXPECT_EQ(p.length, 245);
    EXPECT_EQ(fileNamePart("/a/b-c/x.mp3"), "x.mp3");

    // Blanks around the numbers, a sign, an extension with dots, empty text fields, and the
    // 16-bit limits of the length.
    const std::pair<std::string, int> lengths[] = {{"A-B-C-D- 3 _ 7 .mp3", 187},
                                                   {"A-B-C-D-+1_-5.x.mp3", 55},
                                                   {"----0_0.", 0},
                                                   {" -  -  -  - 0_0.mp3", 0},
                                                   {"A-B-C-D-546_7.mp3", 32767},
                                                   {"A-B-C-D--546_-8.mp3", -32768}};
    for (const auto& [name, length] : lengths) {
        auto parsed = parseSongName(name);
        EXPECT_TRUE(parsed.ok) << name;
        EXPECT_EQ(parsed.length, length) << name;
    }
    for (const char* bad :
         {"Artist-Album-1999-Re-Entry-3_10.mp3",     // hyphen in the title: "Entry-3" minutes
          "Artist - Album - 1999 - Song - 4.05.mp3", // no low line
          "Artist - Album - 1999 - Song - 4_05",     // no full stop after it
          "Artist - Album - 1999 - 4_05.mp3",        // one hyphen short
          "A-B-C-D-_5.mp3", "A-B-C-D-3_.mp3", "A-B-C-D- _ .mp3", // empty numbers
          "A-B-C-D-3x_5.mp3", "A-B-C-D-3.5_5.mp3", "A-B-C-D-+_5.mp3",
          "A-B-C-D-600_0.mp3",   // 600 * 60 leaves the 16-bit range
          "A-B-C-D-546_8.mp3",   // so does 32760 + 8
          "A-B-C-D-1_40000.mp3", // a value outside the range
          "A-B-C-D-99999999999999999999_1.mp3", "", "plain.mp3"}) {
        auto parsed = parseSongName(bad);
        EXPECT_FALSE(parsed.ok) << bad;
        EXPECT_FALSE(parsed.problem.empty()) << bad;
    }
    // What a station says about a name it will not rename: the first thing that is wrong.
    const std::pair<std::string, std::string> problems[] = {
        {"plain.mp3", "no \"-\" after the group"},
        {"Artist - Album - 1999 - 4_05.mp3", "no \"-\" after the title"},
        {"Artist-Album-1999-Re-Entry-3_10.mp3",
         "the minutes \"Entry-3\" are not a number from -32768 to 32767"},
        {"A-B-C-D-3_x.mp3", "the seconds \"x\" are not a number from -32768 to 32767"},
        {"A-B-C-D-4.05.mp3", "no \"_\" between the minutes and the seconds"},
        {"A-B-C-D-4_05", "no \".\" after the seconds"},
        {"A-B-C-D-600_0.mp3", "the length is outside -32768 to 32767 seconds"}};
    for (const auto& [name, problem] : problems)
        EXPECT_EQ(parseSongName(name).problem, problem) << name;
    EXPECT_EQ(parseSongName("A-B-C-D-1_2.mp3").problem, "");
}

TEST(SongList, ListsSongFilesOfEachFolderInNameOrderIgnoringCase)
{
    Rig rig;
    std::string one = rig.addFolder("One");
    std::string two = rig.addFolder("Two-Folder");
    for (const char* n : {"b - x - 1 - y - 0_1.mp3", "A - x - 1 - y - 0_1.MP3",
                          "c - x - 1 - y - 0_1.Mp3", "notes.txt", "song.mp3.bak", ".mp3"})
        writeText(one + n, "");
    fs::create_directories(one + "dir.mp3"); // a folder is no song
    writeText(two + "Z - x - 1 - y - 0_1.mp3", "");
    globals().gMP3Locations.push_back(rig.box.path("missing") + "/");
    globals().gMP3Locations.push_back(rig.box.path("Two-Folder")); // no "/"

    clsCreateFileList().fCreateFileList();
    EXPECT_EQ(rig.readList(),
              one + "A - x - 1 - y - 0_1.MP3\r\n" + one + "b - x - 1 - y - 0_1.mp3\r\n" + one +
                  "c - x - 1 - y - 0_1.Mp3\r\n" + two + "Z - x - 1 - y - 0_1.mp3\r\n" + two +
                  "Z - x - 1 - y - 0_1.mp3\r\n");
    EXPECT_EQ(globals().gSongCount, 5);
    EXPECT_FALSE(globals().gStopPlay);
    EXPECT_TRUE(rig.dialogs.boxes.empty());

    // A list that cannot be written is reported and counts as empty.
    globals().gPlayListFile = rig.box.path("no/such/list.m3u");
    clsCreateFileList().fCreateFileList();
    ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
    EXPECT_NE(rig.dialogs.boxes[0].text.find(globals().gPlayListFile), std::string::npos);
    EXPECT_EQ(globals().gSongCount, 0);
}

namespace {
// Runs one selection; true when it ended the program.
bool select()
{
    try {
        clsGetNextSong().fPerformGetNextSong();
    } catch (const fakes::ProgramEnded&) {
        return true;
    }
    return false;
}

} // namespace

TEST(NextSong, OneLineListRepeatsAndEmptyListsEndInBothOrders)
{
    Rig rig;
    rig.writeList({"/m/A - B - C - D - 0_5.mp3"});
    for (int i = 0; i < 3; ++i)
        ASSERT_FALSE(select());
    EXPECT_EQ(globals().gCurrentFileName, "/m/A - B - C - D - 0_5.mp3");

    rig.writeList({});
    globals().gSongIndex = 0;
    EXPECT_TRUE(select());
    globals().gStartUpAction = "Random";
    globals().gSongCount = 0;
    globals().gSongIndex = 3;
    EXPECT_TRUE(select());
    EXPECT_EQ(rig.dialogs.titles(), (Strings{"End Of Play List", "End Of Play List"}));
}

TEST(NextSong, RandomLineIsUniformOverTheOtherLinesAndNeverRepeats)
{
    for (int count = 2; count <= 6; ++count) {
        for (int current = 0; current <= count + 1; ++current) {
            std::set<int> seen;
            for (double draw = 0.0; draw < 1.0; draw += 0.01) {
                int line = clsGetNextSong::fRandomLine(count, current, draw);
                ASSERT_TRUE(line >= 1 && line <= count && line != current)
                    << count << " " << current << " " << draw;
                seen.insert(line);
            }
            bool excluded = current >= 1 && current <= count;
            EXPECT_EQ(static_cast<int>(seen.size()), excluded ? count - 1 : count);
        }
    }
    EXPECT_EQ(clsGetNextSong::fRandomLine(1, 1, 0.7), 1);
    EXPECT_LE(clsGetNextSong::fRandomLine(3, 1, 1.0), 3); // a draw of 1 stays in range
}

TEST(NextSong, RandomOrderWithTwoSongsAlternates)
{
    Rig rig;
    rig.writeList({"/m/A - B - C - D - 0_5.mp3", "/m/E - F - G - H - 0_6.mp3"});
    Globals& g = globals();
    g.gStartUpAction = "preview"; // only "Preview" exactly means list order
    g.gSongCount = 2;
    rig.random.draws = {0.9, 0.1, 0.99, 0.0, 0.5};
    std::vector<int> order;
    for (int i = 0; i < 5; ++i) {
        ASSERT_FALSE(select());
        order.push_back(g.gSongIndex);
    }
    EXPECT_EQ(order, (std::vector<int>{2, 1, 2, 1, 2}));
    EXPECT_EQ(g.gCurrentTitle, " H ");
    EXPECT_EQ(rig.random.seeds, 5);
}

TEST(ActivityLog, HeaderOnceAndRowsInTheirLayout)
{
    Rig rig;
    Globals& g = globals();
    g.gLogLocation = rig.box.path("new/folder") + "/"; // made when missing
    g.gLogDate = "20261206";
    clsActivityLog log;
    log.fCreateLogFile();
    g.gCurrentGroup = "  The \"Best\" Band ";
    g.gCurrentCDTitle = " Live ";
    g.gCurrentReleaseYear = " 1999 ";
    g.gCurrentTitle = " Song, Two ";
    g.gCurrentLength = -5;
    g.gCurrentFileName = "/m/x.mp3 ";
    log.fAppendActivity();
    log.fCreateLogFile(); // an existing log gets no second header
    EXPECT_EQ(readText(g.gLogLocation + "OnAirActivity-20261206.log"),
              "\"ActivityDateTime\",\"Group\",\"CDTitle\",\"ReleaseYear\",\"Title\","
              "\"ActivityLength\",\"FileName\"\r\n"
              "\"12/06/26 16:30:00\",\"The \"\"Best\"\" Band\",\"Live\",\"1999\",\"Song, Two\","
              "\"-5\",\"/m/x.mp3\"\r\n");
    EXPECT_EQ(clsActivityLog::fDateText({2027, 1, 9, 0, 0, 0}), "20270109");
    EXPECT_TRUE(rig.dialogs.boxes.empty());

    // A log that cannot be written is reported once and nothing stops.
    rig.box.write("blocker", "a file where the log folder should be");
    g.gLogLocation = rig.box.path("blocker/logs") + "/";
    log.fCreateLogFile();
    log.fAppendActivity();
    log.fAppendActivity();
    ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
    EXPECT_EQ(rig.dialogs.boxes[0].title, "Activity Log");
    EXPECT_NE(rig.dialogs.boxes[0].text.find(clsActivityLog::fLogFileName()), std::string::npos);
}

TEST(PathText, FolderPartAndDoubledAmpersands)
{
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    for (const auto& [in, out] : Pairs{{"/music/rock/song.mp3", "/music/rock/"},
                                       {"/song.mp3", "/"},
                                       {"a/b", "a/"},
                                       {"/music/", "/music/"},
                                       {"song.mp3", ""},
                                       {"", ""}})
        EXPECT_EQ(clsGetDriveDirFromFilename().fPerformGetDriveDirFromFilename(in), out) << in;
    for (const auto& [in, out] : Pairs{{"Rock & Roll", "Rock && Roll"},
                                       {"A&&B", "A&&&&B"},
                                       {"Q&A&", "Q&&A&&"},
                                       {"&", "&&"},
                                       {"", ""},
                                       {"x", "x"}}) {
        std::string text = in;
        EXPECT_EQ(clsAdjustForAmpersand().fPerformAdjustForAmpersand(text), out);
        EXPECT_EQ(text, out);
    }
}
