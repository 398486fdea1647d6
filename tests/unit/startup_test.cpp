// Start-up: the profile settings with the first-run set-up, and Main with its hand-off.
#include "startup/HandOff.h"
#include "startup/Main.h"
#include "startup/OptionValues.h"
#include "startup/clsINISettings.h"
#include "startup/clsIniItemCounter.h"
#include "support/Rig.h"

#include <gtest/gtest.h>

using namespace quavix;
using namespace quavix::testing;
using Strings = std::vector<std::string>;

namespace {

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetGlobals();
        services().classes = &classes;
        setMainWindowLoader([this]() -> MainWindowPort* {
            ++loads;
            return &rig.window;
        });
    }
    void writeProfile(const std::string& text) { rig.box.write("config/quavix/quavix.ini", text); }
    std::string stored(const std::string& section, const std::string& key)
    {
        return rig.options.value(section, key);
    }
    // Runs Main; true when it ended the program.
    bool runMain(MainHooks hooks = {})
    {
        try {
            Main(hooks);
        } catch (const fakes::ProgramEnded&) {
            return true;
        }
        return false;
    }
    // A play list holding `text`, named in the profile (plus `startUp` lines).
    std::string listInProfile(const std::string& text, const std::string& startUp = "")
    {
        std::string list = rig.box.write("list.m3u", text);
        writeProfile("[File Locations]\nFileList=" + list + "\n[StartUp]\n" + startUp);
        return list;
    }

    Rig rig{false};
    fakes::MemoryClassesRegistry classes;
    int loads = 0;
};

} // namespace

TEST(clsIniItemCounter, NumbersHaveAtLeastThreeDigitsAndNeverWrap)
{
    clsIniItemCounter c;
    Strings got;
    for (int i = 1; i <= 40000; ++i)
        got.push_back(c.fGetNextNumber());
    for (int i : {1, 9, 10, 99, 100, 101})
        EXPECT_EQ(got[i - 1], (i < 10 ? "00" : i < 100 ? "0" : "") + std::to_string(i));
    EXPECT_EQ(got.back(), "32767");
}

TEST_F(StartupTest, ProfileFillsTheSharedState)
{
    writeProfile("[File Locations]\nFileList=/music/list.m3u\nMP3Location001=/music/a/\n"
                 "MP3Location002=/music/b c/\nMP3Location004=/music/d/\nMP3Location1=/never/\n"
                 "[StartUp]\nAction=preview\nAutoLoadMP3Locations=Yes\nLogActivity=Yes\n");
    // The profile named on the command line does not switch logging (nor off).
    globals().gCommandLine = rig.box.write("station.ini", "[StartUp]\nLogActivity=No\n");
    clsINISettings().fGetINISettings();
    const Globals& g = globals();
    EXPECT_EQ(g.gPlayListFile, "/music/list.m3u");
    EXPECT_EQ(g.gMP3Locations, (Strings{"/music/a/", "/music/b c/"}));
    EXPECT_EQ(g.gStartUpAction, "preview");
    EXPECT_TRUE(g.gAutoLoadMP3Locations); // the key without its trailing blank counts too
    EXPECT_TRUE(g.gLogActivity);
    // No log location: the state folder, which exists afterwards.
    EXPECT_EQ(g.gLogLocation, rig.box.path("state/quavix/"));
    EXPECT_TRUE(fs::is_directory(g.gLogLocation));
    EXPECT_TRUE(rig.dialogs.boxes.empty());

    // Values are compared exactly; a blank play list name asks the store.
    resetGlobals();
    writeProfile("[File Locations]\nFileList=   \nLogLocation=/logs/x-\n"
                 "[StartUp]\nAutoLoadMP3Locations =yes\nLogActivity=yes\n");
    rig.options.put("File Locations", "FileList", " /stored/list.m3u");
    clsINISettings().fGetINISettings();
    EXPECT_EQ(g.gPlayListFile, " /stored/list.m3u");
    EXPECT_EQ(g.gLogLocation, "/logs/x-");
    EXPECT_EQ(g.gStartUpAction, "Preview");
    EXPECT_FALSE(g.gAutoLoadMP3Locations || g.gLogActivity);
    EXPECT_TRUE(g.gMP3Locations.empty());
}

TEST_F(StartupTest, FirstRunSetUpStoresEverythingAndEnds)
{
    std::string chosen = rig.box.path("lists/Quavix.m3u");
    fs::create_directories(rig.box.path("lists"));
    rig.dialogs.fileAnswers.push_back(chosen);
    mainWindow(); // loaded: its timers must be stopped before the program ends
    EXPECT_THROW(clsINISettings().fGetINISettings(), fakes::ProgramEnded);

    EXPECT_EQ(rig.dialogs.titles(), (Strings{"Missing Information", "Setup Complete"}));
    ASSERT_EQ(rig.dialogs.fileRequests.size(), 1u);
    EXPECT_EQ(globals().gPlayListFile, chosen);
    EXPECT_TRUE(fs::is_regular_file(chosen) && fs::file_size(chosen) == 0);
    EXPECT_EQ(stored("File Locations", "FileList"), chosen);
    EXPECT_EQ(stored("Locations", "LocationHistory1"), "Last Item");
    EXPECT_EQ(stored("OriginalAssociations", ".SND"), "<none>");
    EXPECT_EQ(classes.queryValue("Quavix"), "Quavix");
    // The launcher next to this executable, quoted so that blanks in its path are safe.
    std::string launcher = fs::read_symlink("/proc/self/exe").parent_path().string() + "/quavix";
    EXPECT_EQ(classes.queryValue("Quavix\\shell\\open\\command"), "\"" + launcher + "\" %1");
    EXPECT_EQ(rig.window.disableTimersCalls, 1);
    EXPECT_TRUE(rig.process.ended);

    // Chosen again, an existing file is kept; a window never loaded has nothing to stop.
    setMainWindowLoader(nullptr);
    rig.options.values.clear();
    rig.window.disableTimersCalls = 0;
    std::string existing = rig.box.write("old.m3u", "a.mp3\r\n");
    rig.dialogs.fileAnswers.push_back(existing);
    EXPECT_THROW(clsINISettings().fGetINISettings(), fakes::ProgramEnded);
    EXPECT_EQ(readText(existing), "a.mp3\r\n");
    EXPECT_EQ(rig.window.disableTimersCalls, 0);
}

TEST_F(StartupTest, FirstRunWithAPlayListThatCannotBeCreatedStoresNothing)
{
    std::string chosen = rig.box.path("no such folder/Quavix.m3u");
    rig.dialogs.fileAnswers.push_back(chosen);
    EXPECT_THROW(clsINISettings().fGetINISettings(), fakes::ProgramEnded);
    ASSERT_EQ(rig.dialogs.titles(), (Strings{"Missing Information", "Quavix"}));
    EXPECT_NE(rig.dialogs.boxes[1].text.find("\"" + chosen + "\""), std::string::npos);
    EXPECT_EQ(stored("File Locations", "FileList"), "<missing>") << "the next start asks again";
    EXPECT_FALSE(fs::exists(chosen));

    // Settings that cannot be stored are no finished set-up: the box says where it failed.
    rig.dialogs.boxes.clear();
    rig.options.failSaves = true;
    rig.dialogs.fileAnswers.push_back(rig.box.path("Quavix.m3u"));
    EXPECT_THROW(clsINISettings().fGetINISettings(), fakes::ProgramEnded);
    ASSERT_EQ(rig.dialogs.titles(), (Strings{"Missing Information", "Quavix"}));
    EXPECT_NE(rig.dialogs.boxes[1].text.find("could not be stored in \"/options/store.ini\""),
              std::string::npos);
    EXPECT_EQ(rig.process.endStatus, 1);
}

TEST_F(StartupTest, CancelledFirstRunShowsTwoBoxesStoresNothingAndEnds)
{
    EXPECT_THROW(clsINISettings().fGetINISettings(), fakes::ProgramEnded);
    EXPECT_EQ(rig.dialogs.titles(), (Strings{"Missing Information", "Missing Information"}));
    EXPECT_TRUE(rig.options.saves.empty());
    EXPECT_TRUE(classes.values.empty());
    EXPECT_TRUE(rig.process.ended);
}

TEST_F(StartupTest, MainWithoutCommandLineLoadsAndShowsForm1)
{
    std::string list = listInProfile("keep.mp3\r\n");
    rig.options.put("Options", "AdjustForScreenFontSizeUpDown", "-30");
    rig.options.put("Options", "AdjustIconLeftRight", "12");
    rig.options.put("Options", "AdjustIconUpDown", "7"); // each key to its own value
    bool engine = false;
    EXPECT_FALSE(runMain({[&] { engine = true; }}));

    const Globals& g = globals();
    EXPECT_EQ(rig.process.previousAsked, 0);
    EXPECT_EQ(readText(list), "keep.mp3\r\n");
    EXPECT_FALSE(g.gCommandLineFile);
    EXPECT_EQ(g.gAdjustFontUpDown, -30);
    EXPECT_EQ(g.gAdjustFontLeftRight, 0);
    EXPECT_EQ(g.gAdjustIconUpDown, 7);
    EXPECT_EQ(g.gAdjustIconLeftRight, 12);
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(rig.window.visibleCalls, std::vector<bool>{true});
    EXPECT_EQ(rig.process.processEventsCalls, 1);
    EXPECT_FALSE(engine); // the profile did not ask for it
}

TEST_F(StartupTest, MainMakesTheCommandLineTheOnlyPlayListLine)
{
    std::string list = listInProfile("old1.mp3\r\nold2.mp3\r\n", "AutoLoadMP3Locations =Yes\n");
    rig.process.commandLineText = "\"/my music/a.mp3\"  x";
    rig.window.minimize = true;
    globals().gLogDate = "20260101";
    std::string logDateInEngine = "unset";
    EXPECT_FALSE(runMain({[&] { logDateInEngine = globals().gLogDate; }}));

    EXPECT_EQ(rig.process.previousAsked, 1);
    EXPECT_EQ(readText(list), "\"/my music/a.mp3\"  x\r\n");
    EXPECT_TRUE(globals().gCommandLineFile);
    EXPECT_EQ(globals().gCommandLine, "\"/my music/a.mp3\"  x");
    EXPECT_EQ(rig.window.visibleCalls, std::vector<bool>{false}); // lives in the tray
    EXPECT_EQ(logDateInEngine, "");
}

TEST_F(StartupTest, MainHandsOffToTheRunningInstance)
{
    std::string list = listInProfile("old.mp3", "AutoLoadMP3Locations=Yes\n"); // no line end
    rig.process.commandLineText = "/new song.mp3";
    rig.process.previous = true;
    bool engine = false;
    EXPECT_TRUE(runMain({[&] { engine = true; }}));

    EXPECT_EQ(readText(list), "old.mp3\r\n/new song.mp3\r\n");
    EXPECT_EQ(rig.process.appTitle, "Quavix-Dup" + rig.clock.dateTimeText());
    EXPECT_EQ(rig.process.activated, Strings{"Quavix"});
    EXPECT_EQ(loads, 0);
    EXPECT_EQ(rig.options.gets, 0);
    EXPECT_FALSE(engine);
    EXPECT_FALSE(globals().gCommandLineFile);
    EXPECT_TRUE(rig.dialogs.boxes.empty());
    EXPECT_EQ(rig.process.endStatus, 0);
}

// Several files on the command line are several entries, in order, on both paths; the
// engine still sees the words joined as its profile name.
TEST_F(StartupTest, SeveralFilesBecomeSeveralEntries)
{
    std::string list = listInProfile("old.mp3\r\n");
    rig.process.commandLineText = "two.mp3 three.mp3";
    rig.process.entries = {"/s/two.mp3", "/s/three.mp3"};
    EXPECT_FALSE(runMain());
    EXPECT_EQ(readText(list), "/s/two.mp3\r\n/s/three.mp3\r\n");
    EXPECT_EQ(globals().gCommandLine, "two.mp3 three.mp3");

    // Words that name nothing ("quavix '' ''") leave the list alone.
    rig.process.commandLineText = " ";
    rig.process.entries = {};
    rig.process.returnNoEntries = true;
    EXPECT_FALSE(runMain());
    EXPECT_EQ(readText(list), "/s/two.mp3\r\n/s/three.mp3\r\n");
    rig.process.returnNoEntries = false;

    rig.process.commandLineText = "four five";
    rig.process.previous = true;
    rig.process.entries = {"/s/four.mp3", "/s/five.mp3"};
    EXPECT_TRUE(runMain());
    EXPECT_EQ(readText(list), "/s/two.mp3\r\n/s/three.mp3\r\n/s/four.mp3\r\n/s/five.mp3\r\n");
    EXPECT_TRUE(rig.dialogs.boxes.empty());
}

TEST_F(StartupTest, MainReportsAPlayListItCannotWrite)
{
    std::string list = rig.box.path("no such folder/list.m3u");
    writeProfile("[File Locations]\nFileList=" + list + "\n");
    rig.process.commandLineText = "/a.mp3";

    // Handing off: nothing is handed over, the box names the file, the program ends.
    rig.process.previous = true;
    EXPECT_TRUE(runMain());
    ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
    EXPECT_NE(rig.dialogs.boxes[0].text.find("\"" + list + "\""), std::string::npos);
    EXPECT_EQ(rig.dialogs.boxes[0].icon, MsgIcon::Exclamation);
    EXPECT_TRUE(rig.process.activated.empty());
    EXPECT_EQ(rig.process.appTitle, "Quavix");
    EXPECT_EQ(loads, 0);
    EXPECT_EQ(rig.process.endStatus, 1); // a failed command, for the shell

    // Alone: the box, then a normal start that does not claim a command-line file.
    rig.process.previous = false;
    EXPECT_FALSE(runMain());
    ASSERT_EQ(rig.dialogs.boxes.size(), 2u);
    EXPECT_NE(rig.dialogs.boxes[1].text.find("\"" + list + "\""), std::string::npos);
    EXPECT_FALSE(globals().gCommandLineFile);
    EXPECT_EQ(loads, 1);
    EXPECT_FALSE(fs::exists(list));
}

// The list named as a file to play would replace itself with one line naming itself.
TEST_F(StartupTest, TheDefaultPlayListItselfIsRefusedInBothPaths)
{
    std::string list = listInProfile("keep.mp3\r\n");
    rig.process.commandLineText = "x";
    rig.process.entries = {"/a.mp3",
                           rig.box.path(".") + "/./" + fs::path(list).filename().string()};
    for (bool previous : {true, false}) {
        rig.dialogs.boxes.clear();
        rig.process.previous = previous;
        EXPECT_EQ(runMain(), previous);
        ASSERT_EQ(rig.dialogs.boxes.size(), 1u) << previous;
        EXPECT_NE(rig.dialogs.boxes[0].text.find("\"" + list + "\" is the default play list"),
                  std::string::npos);
        EXPECT_EQ(readText(list), "keep.mp3\r\n") << previous;
        EXPECT_FALSE(globals().gCommandLineFile);
    }
}

TEST_F(StartupTest, ACommandLineWithALineBreakIsRefusedInBothPaths)
{
    std::string list = listInProfile("keep.mp3\r\n");
    rig.process.commandLineText = "/music/a\nb.mp3";
    for (bool previous : {true, false}) {
        rig.dialogs.boxes.clear();
        rig.process.previous = previous;
        EXPECT_EQ(runMain(), previous) << "a refused hand-off still ends the second start";
        ASSERT_EQ(rig.dialogs.boxes.size(), 1u) << previous;
        EXPECT_NE(rig.dialogs.boxes[0].text.find("\"/music/a[LF]b.mp3\""), std::string::npos);
        EXPECT_EQ(readText(list), "keep.mp3\r\n") << previous;
        EXPECT_TRUE(rig.process.activated.empty());
        EXPECT_FALSE(globals().gCommandLineFile);
    }
    std::string error;
    EXPECT_EQ(handOffToRunningInstance(list, {"/ok.mp3", "x\ry"}, rig.process, rig.clock, error),
              HandOffResult::NameRefused);
    EXPECT_EQ(rig.process.appTitle, "Quavix");
}

TEST_F(StartupTest, StoredOptionsConvertToWhatTheirReadersNeed)
{
    rig.options.putAll("O", {"T=True", "F=false", "Zero=0", "Five= 5 ", "Junk=yes",
                             "Big=99999999999", "Neg=-40000", "Half=1.5", "One=1"});
    EXPECT_TRUE(optionBool("O", "T", false));
    EXPECT_FALSE(optionBool("O", "F", true));
    EXPECT_FALSE(optionBool("O", "Zero", true));
    EXPECT_TRUE(optionBool("O", "Five", false));
    EXPECT_TRUE(optionBool("O", "Junk", true)); // unreadable: the default
    EXPECT_TRUE(optionBool("O", "Missing", true));
    EXPECT_EQ(optionInt32("O", "Big", 0), 2147483647);
    EXPECT_EQ(optionInt32("O", "Half", 7), 7);
    EXPECT_EQ(optionInt16("O", "Neg", 0), -32768);
    EXPECT_FALSE(optionChecked("O", "Five")); // a check box is on only for 1
    EXPECT_TRUE(optionChecked("O", "One"));
    EXPECT_TRUE(saveOptionBool("O", "B", true));
    EXPECT_EQ(stored("O", "B"), "True"); // never "true"
}
