// The station as a service, in virtual time: every value from its own profile, bad song
// names skipped or played but never renamed, the exit statuses a service manager sees, a
// stop by signal and a stop by the media controls. Its boxes as lines on standard error.
#include "engine/Station.h"
#include "engine/clsGetNextSong.h"
#include "platform/posix/LineDialogs.h"
#include "support/Rig.h"

#include <gtest/gtest.h>

using namespace quavix;
using namespace quavix::testing;

namespace {

const std::string Header = "\"ActivityDateTime\",\"Group\",\"CDTitle\",\"ReleaseYear\","
                           "\"Title\",\"ActivityLength\",\"FileName\"\r\n";

// A rig whose profile reader has the station's profile as its default file, as the program
// sets it up for `quavix --station PROFILE`; no main window.
class StationRig : public Rig {
public:
    IniProfile stationProfile{profileFile};
    std::string songs = box.path("songs") + "/";

    StationRig() : Rig(false)
    {
        services().profile = &stationProfile;
        fs::create_directories(songs);
        // The station fills these from its profile; the rig's values must not hide that.
        globals().gMP3Locations.clear();
        globals().gPlayListFile.clear();
        globals().gLogActivity = false;
        process.onEvents = [this] { media.deliverEvents(); };
    }
    void writeProfile(const std::string& extraStartUp = "", bool withList = true,
                      bool withFolder = true)
    {
        std::string text = "[File Locations]\n";
        if (withList)
            text += "FileList=" + playList + "\n";
        if (withFolder)
            text += "MP3Location001=" + songs + "\n";
        text += "LogLocation=" + logFolder.string() + "/\n";
        text += "[StartUp]\nLogActivity=Yes\n" + extraStartUp;
        text += "[Play Status]\nContinue=Yes\n";
        writeText(profileFile, text);
        fs::create_directories(logFolder);
    }
    // Runs the station to its end; what it wrote on standard error.
    std::string run()
    {
        ::testing::internal::CaptureStderr();
        try {
            runStation(profileFile);
        } catch (const fakes::ProgramEnded&) {
        }
        return ::testing::internal::GetCapturedStderr();
    }
    std::string log() const { return readText(logFile("20261206")); }
};

std::string row(const std::string& fields, const std::string& path)
{
    return "\"12/06/26 16:30:00\"," + fields + ",\"" + path + "\"\r\n";
}

} // namespace

TEST(Station, SkipsABadNameByDefaultLeavesItOnDiskAndEndsWithStatusZero)
{
    StationRig box;
    box.writeProfile();
    std::string a = box.addSong(box.songs, "A - B - 2001 - D - 0_02.mp3", 2);
    std::string bad = box.addSong(box.songs, "Bad Name.mp3", 2);
    std::string c = box.addSong(box.songs, "C - B - 2001 - D - 0_01.mp3", 1);

    const std::string err = box.run();

    EXPECT_TRUE(box.process.ended);
    EXPECT_EQ(box.process.endStatus, 0);
    EXPECT_EQ(box.media.opened, (std::vector<std::string>{a, c}));
    EXPECT_EQ(box.readList(), a + "\r\n" + c + "\r\n");
    EXPECT_TRUE(fs::exists(bad));
    EXPECT_NE(err.find("quavix: skipping \"" + bad + "\": its name does not follow"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("(no \"-\" after the group)"), std::string::npos) << err;
    EXPECT_EQ(box.dialogs.titles(), std::vector<std::string>{"End Of Play List"});
    EXPECT_EQ(box.log(), Header + row("\"A\",\"B\",\"2001\",\"D\",\"2\"", a) +
                             row("\"C\",\"B\",\"2001\",\"D\",\"1\"", c));
}

TEST(Station, BadNamesPlayPlaysItAsItIsWithEmptyFieldsInItsRow)
{
    StationRig box;
    box.writeProfile("BadNames=Play\n");
    // The fields before the missing separator must not reach the row as if they were known.
    std::string bad = box.addSong(box.songs, "Bad - Named.mp3", 2);
    std::string c = box.addSong(box.songs, "C - B - 2001 - D - 0_01.mp3", 1);

    const std::string err = box.run();

    EXPECT_EQ(box.process.endStatus, 0);
    EXPECT_EQ(box.media.opened, (std::vector<std::string>{bad, c}));
    EXPECT_EQ(box.readList(), bad + "\r\n" + c + "\r\n");
    EXPECT_NE(err.find("quavix: playing \"" + bad + "\""), std::string::npos) << err;
    EXPECT_EQ(box.log(), Header + row("\"\",\"\",\"\",\"\",\"0\"", bad) +
                             row("\"C\",\"B\",\"2001\",\"D\",\"1\"", c));
    EXPECT_EQ(box.dialogs.titles(), std::vector<std::string>{"End Of Play List"});
}

// What the first run would ask for, and what a station cannot run without, end it with a
// status that the service manager shows and does not restart on; nothing is written.
TEST(Station, AProfileItCannotUseEndsWithTheConfigurationStatus)
{
    struct Case {
        const char* what;
        bool exists, withList, withFolder;
        const char* said;
    };
    const Case cases[] = {
        {"missing", false, true, true, "cannot read the station profile"},
        {"no FileList", true, false, true, "names no song list: set FileList"},
        {"no folder", true, true, false, "names no song folder: set MP3Location001"},
    };
    for (const Case& c : cases) {
        StationRig box;
        box.addSong(box.songs, "A - B - 2001 - D - 0_02.mp3", 2);
        if (c.exists)
            box.writeProfile("", c.withList, c.withFolder);
        else
            fs::remove(box.profileFile);
        const std::string err = box.run();
        EXPECT_EQ(box.process.endStatus, StationConfigError) << c.what;
        EXPECT_NE(err.find(c.said), std::string::npos) << c.what << ": " << err;
        EXPECT_NE(err.find(box.profileFile), std::string::npos) << c.what << ": " << err;
        EXPECT_TRUE(box.media.opened.empty()) << c.what;
        EXPECT_FALSE(fs::exists(box.playList)) << c.what;
        EXPECT_TRUE(box.dialogs.boxes.empty()) << c.what;
    }
}

// SIGTERM mid-song: the song stops, its row (written when it began) stays, the station ends
// with status 0 at the engine's next check.
TEST(Station, StopBySignalEndsMidSongWithItsRowWritten)
{
    StationRig box;
    box.writeProfile();
    std::string a = box.addSong(box.songs, "A - B - 2001 - D - 0_30.mp3", 30);
    box.addSong(box.songs, "B - B - 2001 - D - 0_30.mp3", 30);
    long stoppedAt = -1;
    box.process.onEvents = [&] {
        box.media.deliverEvents();
        if (stoppedAt < 0 && box.media.currentPosition() >= 10) {
            stoppedAt = box.process.sleptMs;
            stopStation();
        }
    };

    box.run();

    EXPECT_EQ(box.process.endStatus, 0);
    EXPECT_EQ(box.media.opened, std::vector<std::string>{a});
    EXPECT_LE(box.process.sleptMs - stoppedAt, 200);
    EXPECT_EQ(box.log(), Header + row("\"A\",\"B\",\"2001\",\"D\",\"30\"", a));
    EXPECT_TRUE(box.dialogs.boxes.empty());
}

// A stop that arrives while the engine lets events through before a song makes the engine
// return; a station has nothing else to live on, so it idles until Play, then plays on.
TEST(Station, AStopThatEndsTheEngineIdlesUntilPlayAndThenPlaysOn)
{
    StationRig box;
    box.writeProfile();
    std::string a = box.addSong(box.songs, "A - B - 2001 - D - 0_01.mp3", 1);
    std::string b = box.addSong(box.songs, "B - B - 2001 - D - 0_01.mp3", 1);
    box.process.actions.push_back([] { globals().gStopPlay = true; });
    int idle = 0;
    box.process.onEvents = [&] {
        box.media.deliverEvents();
        if (globals().gStopPlay && box.media.opened.empty() && ++idle == 5)
            resumeStation();
    };

    box.run();

    EXPECT_EQ(idle, 5);
    EXPECT_EQ(box.media.opened, (std::vector<std::string>{a, b}));
    EXPECT_EQ(box.process.endStatus, 0);
    EXPECT_EQ(box.dialogs.titles(), std::vector<std::string>{"End Of Play List"});
}

// Random order never runs out by itself: a list of nothing but bad names (changed behind
// the builder's back) must end the station, not keep it choosing.
TEST(Station, ARandomListOfOnlyBadNamesEndsWithAFailure)
{
    StationRig box;
    Globals& g = globals();
    g.gStation = true;
    g.gBadNames = "Skip";
    g.gStartUpAction = "Random";
    g.gPlayListFile = box.playList;
    box.writeList({box.songs + "one.mp3", box.songs + "two.mp3"});
    g.gSongCount = 2;
    ::testing::internal::CaptureStderr();
    EXPECT_THROW(clsGetNextSong().fPerformGetNextSong(), fakes::ProgramEnded);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(box.process.endStatus, 1);
    EXPECT_NE(err.find("no song of the list"), std::string::npos) << err;
    EXPECT_FALSE(g.gStopPlay);
}

TEST(LineDialogs, EveryBoxIsOneLineWithItsTitleTextAndAnswer)
{
    EXPECT_EQ(LineDialogs::boxLine("End Of Play List",
                                   "The last song has been played\r\n\r\nClick OK to exit",
                                   MsgButtons::Ok),
              "quavix: End Of Play List: The last song has been played / Click OK to exit "
              "(answered OK)");
    EXPECT_EQ(LineDialogs::boxLine("Two\nLines", "a\nb\r\n", MsgButtons::YesNo),
              "quavix: Two / Lines: a / b (answered No)");

    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* out = ::open_memstream(&text, &size);
    ASSERT_NE(out, nullptr);
    LineDialogs dialogs(out);
    EXPECT_EQ(dialogs.messageBox("Q", "Sure?", MsgIcon::Question, MsgButtons::YesNo),
              MsgAnswer::No);
    EXPECT_EQ(dialogs.messageBox("I", "Note", MsgIcon::Information, MsgButtons::Ok), MsgAnswer::Ok);
    FileDialogRequest request;
    request.title = "Open";
    EXPECT_EQ(dialogs.openFile(request), std::nullopt);
    std::fclose(out);
    EXPECT_EQ(std::string(text, size), "quavix: Q: Sure? (answered No)\n"
                                       "quavix: I: Note (answered OK)\n"
                                       "quavix: Open: no file can be chosen here (cancelled)\n");
    std::free(text);
}
