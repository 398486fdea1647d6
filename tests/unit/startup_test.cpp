// Start-up: the profile settings with the first-run set-up, and Main with its hand-off.
#include "fakes/Fakes.h"
#include "platform/posix/IniOptionsStore.h"
#include "platform/posix/IniProfile.h"
#include "startup/Globals.h"
#include "startup/HandOff.h"
#include "startup/Main.h"
#include "startup/OptionValues.h"
#include "startup/Services.h"
#include "startup/Windows.h"
#include "startup/clsINISettings.h"
#include "startup/clsIniItemCounter.h"
#include "support/Sandbox.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace quavix;
using quavix::testing::Sandbox;

namespace {

class FakeForm1 : public MainWindowPort {
public:
    bool minimize = false;
    std::vector<bool> visibleCalls;
    int disableTimersCalls = 0;
    MMControlState state;
    void setSliderMin(int) override {}
    void setSliderMax(int) override {}
    int sliderMax() const override { return 0; }
    void setSliderEnabled(bool) override {}
    MMControlState& mmControl() override { return state; }
    void mmControlChanged() override {}
    void startPlayListPlayer() override {}
    void disableTimers() override { ++disableTimersCalls; }
    void setTimer1Enabled(bool) override {}
    bool minimizeChecked() const override { return minimize; }
    void setVisible(bool v) override { visibleCalls.push_back(v); }
    void setImageToolTip(const std::string&) override {}
};

// Counts reads so that a test can tell that no option was read.
class CountingOptions : public OptionsStore {
public:
    explicit CountingOptions(OptionsStore& real) : m_real(real) {}
    int gets = 0;
    std::string get(const std::string& a, const std::string& s, const std::string& k,
                    const std::string& d) override
    {
        ++gets;
        return m_real.get(a, s, k, d);
    }
    bool save(const std::string& a, const std::string& s, const std::string& k,
              const std::string& v) override
    {
        return m_real.save(a, s, k, v);
    }

private:
    OptionsStore& m_real;
};

class CountingProcess : public fakes::FakeProcess {
public:
    int previousAsked = 0;
    bool previousInstance() override
    {
        ++previousAsked;
        return previous;
    }
};

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetGlobals();
        services() = Services{};
        services().profile = &profile;
        services().options = &counting;
        services().classes = &classes;
        services().dialogs = &dialogs;
        services().process = &process;
        services().clock = &clock;
        setMainWindowLoader([this]() -> MainWindowPort* {
            ++loads;
            return &form1;
        });
    }
    void TearDown() override
    {
        setMainWindowLoader(nullptr);
        services() = Services{};
        resetGlobals();
    }
    void writeProfile(const std::string& text) { box.write("config/quavix/quavix.ini", text); }
    std::string stored(const std::string& section, const std::string& key)
    {
        return store.get("Quavix", section, key, "<missing>");
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

    Sandbox box;
    IniProfile profile;
    IniOptionsStore store;
    CountingOptions counting{store};
    fakes::MemoryClassesRegistry classes;
    fakes::ScriptedDialogs dialogs;
    CountingProcess process;
    fakes::FixedClock clock;
    FakeForm1 form1;
    int loads = 0;
};

} // namespace

TEST(clsIniItemCounter, NumbersHaveAtLeastThreeDigits)
{
    clsIniItemCounter c;
    std::vector<std::string> got;
    for (int i = 1; i <= 101; ++i)
        got.push_back(c.fGetNextNumber());
    EXPECT_EQ(got[0], "001");
    EXPECT_EQ(got[8], "009");
    EXPECT_EQ(got[9], "010");
    EXPECT_EQ(got[98], "099");
    EXPECT_EQ(got[99], "100");
    EXPECT_EQ(got[100], "101");
    for (int i = 102; i <= 40000; ++i) // no wrap into negative numbers
        c.fGetNextNumber();
    EXPECT_EQ(c.fGetNextNumber(), "32767");
}

TEST_F(StartupTest, ProfileFillsTheSharedState)
{
    writeProfile("[File Locations]\n"
                 "FileList=/music/list.m3u\n"
                 "MP3Location001=/music/a/\n"
                 "MP3Location002=/music/b c/\n"
                 "MP3Location004=/music/d/\n"
                 "MP3Location1=/never/\n"
                 "[StartUp]\n"
                 "Action=preview\n"
                 "AutoLoadMP3Locations=Yes\n");
    clsINISettings().fGetINISettings();
    const Globals& g = globals();
    EXPECT_EQ(g.gPlayListFile, "/music/list.m3u");
    EXPECT_EQ(g.gMP3Locations, (std::vector<std::string>{"/music/a/", "/music/b c/"}));
    EXPECT_EQ(g.gStartUpAction, "preview");
    EXPECT_TRUE(g.gAutoLoadMP3Locations); // the key without its trailing blank counts too
    // No log location: the state folder, which exists afterwards.
    EXPECT_EQ(g.gLogLocation, box.path("state/quavix/"));
    EXPECT_TRUE(std::filesystem::is_directory(g.gLogLocation));
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_FALSE(process.ended);
}

TEST_F(StartupTest, ProfileValuesAreComparedExactly)
{
    writeProfile("[File Locations]\nFileList=   \nLogLocation=/logs/x-\n"
                 "[StartUp]\nAutoLoadMP3Locations =yes\n");
    store.save("Quavix", "File Locations", "FileList", " /stored/list.m3u");
    clsINISettings().fGetINISettings();
    const Globals& g = globals();
    EXPECT_EQ(g.gPlayListFile, " /stored/list.m3u"); // blanks only: the store is asked
    EXPECT_EQ(g.gLogLocation, "/logs/x-");
    EXPECT_EQ(g.gStartUpAction, "Preview");
    EXPECT_FALSE(g.gAutoLoadMP3Locations);
    EXPECT_TRUE(g.gMP3Locations.empty());
}

TEST_F(StartupTest, FirstRunSetUpStoresEverythingAndEnds)
{
    std::string chosen = box.path("lists/Quavix.m3u");
    std::filesystem::create_directories(box.path("lists"));
    dialogs.fileAnswers.push_back(chosen);
    mainWindow(); // loaded: its timers must be stopped before the program ends
    EXPECT_THROW(clsINISettings().fGetINISettings(), fakes::ProgramEnded);

    EXPECT_EQ(dialogs.titles(),
              (std::vector<std::string>{"Missing Information", "Setup Complete"}));
    EXPECT_EQ(dialogs.boxes[0].text, "A default playlist file must be specified in order for "
                                     "Quavix to work correctly.\r\n\r\nClick OK and then specify "
                                     "a default playlist file.");
    EXPECT_EQ(dialogs.boxes[1].text,
              "Quavix must exit in order to save and utilize the required configuration "
              "information about your system.\r\n\r\nClick on the OK button to exit.\r\n\r\n"
              "Re-starting Quavix will complete the setup process and allow you to start using "
              "the program.\r\n\r\nWe hope you enjoy using Quavix.");
    ASSERT_EQ(dialogs.fileRequests.size(), 1u);
    const FileDialogRequest& r = dialogs.fileRequests[0];
    EXPECT_EQ(r.title, "Open");
    EXPECT_EQ(r.filter, "All Files (*.*)|*.*|Playlist Files(*.pls;*.m3u)|*.pls;*.m3u");
    EXPECT_EQ(r.filterIndex, 2);
    EXPECT_EQ(r.initialName, "Quavix.m3u");

    EXPECT_EQ(globals().gPlayListFile, chosen);
    EXPECT_TRUE(std::filesystem::is_regular_file(chosen));
    EXPECT_EQ(std::filesystem::file_size(chosen), 0u);
    EXPECT_EQ(stored("File Locations", "FileList"), chosen);
    EXPECT_EQ(stored("Locations", "LastLocation"), "mms://media.example.net/RockMusic");
    EXPECT_EQ(stored("Locations", "LocationHistory0"), "mms://media.example.net/RockMusic");
    EXPECT_EQ(stored("Locations", "LocationHistory1"), "Last Item");
    for (const char* ext : {".MP3", ".WAV", ".ASF", ".ASX", ".RA", ".RAM", ".RM", ".RMM", ".MID",
                            ".RMI", ".AU", ".SND"})
        EXPECT_EQ(stored("OriginalAssociations", ext), "<none>") << ext;
    EXPECT_EQ(stored("Options", "PlayListInSequentialOrder"), "True");

    EXPECT_EQ(classes.queryValue("Quavix"), "Quavix");
    auto cmd = classes.queryValue("Quavix\\shell\\open\\command");
    ASSERT_TRUE(cmd);
    // The launcher next to this executable, quoted so that blanks in its path are safe.
    std::string launcher =
        std::filesystem::read_symlink("/proc/self/exe").parent_path().string() + "/quavix";
    EXPECT_EQ(*cmd, "\"" + launcher + "\" %1");
    EXPECT_EQ(form1.disableTimersCalls, 1);
    EXPECT_TRUE(process.ended);
}

TEST_F(StartupTest, FirstRunSetUpKeepsAnExistingFile)
{
    std::string chosen = box.write("old.m3u", "a.mp3\r\n");
    dialogs.fileAnswers.push_back(chosen);
    EXPECT_THROW(clsINISettings().fGetINISettings(), fakes::ProgramEnded);
    EXPECT_EQ(Sandbox::read(chosen), "a.mp3\r\n");
    EXPECT_EQ(form1.disableTimersCalls, 0); // never loaded: nothing to stop
}

TEST_F(StartupTest, CancelledFirstRunShowsTwoBoxesStoresNothingAndEnds)
{
    EXPECT_THROW(clsINISettings().fGetINISettings(), fakes::ProgramEnded);
    EXPECT_EQ(dialogs.titles(),
              (std::vector<std::string>{"Missing Information", "Missing Information"}));
    EXPECT_EQ(dialogs.boxes[1].text,
              "The Cancel button was pressed.\r\n\r\nA default playlist file must be specified in "
              "order for Quavix to work correctly.\r\n\r\nClick OK to exit the program.");
    EXPECT_FALSE(std::filesystem::exists(store.path()));
    EXPECT_TRUE(classes.values.empty());
    EXPECT_TRUE(process.ended);
}

TEST_F(StartupTest, MainWithoutCommandLineLoadsAndShowsForm1)
{
    std::string list = box.write("list.m3u", "keep.mp3\r\n");
    writeProfile("[File Locations]\nFileList=" + list + "\n");
    store.save("Quavix", "Options", "AdjustForScreenFontSizeUpDown", "-30");
    store.save("Quavix", "Options", "AdjustIconLeftRight", "12");
    store.save("Quavix", "Options", "AdjustIconUpDown", "garbage");
    bool engine = false;
    EXPECT_FALSE(runMain({[&] { engine = true; }}));

    const Globals& g = globals();
    EXPECT_EQ(process.previousAsked, 0);
    EXPECT_EQ(Sandbox::read(list), "keep.mp3\r\n");
    EXPECT_FALSE(g.gCommandLineFile);
    EXPECT_EQ(g.gAdjustFontUpDown, -30);
    EXPECT_EQ(g.gAdjustFontLeftRight, 0);
    EXPECT_EQ(g.gAdjustIconUpDown, 0);
    EXPECT_EQ(g.gAdjustIconLeftRight, 12);
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(form1.visibleCalls, std::vector<bool>{true});
    EXPECT_EQ(process.processEventsCalls, 1);
    EXPECT_FALSE(engine); // the profile did not ask for it
}

TEST_F(StartupTest, MainMakesTheCommandLineTheOnlyPlayListLine)
{
    std::string list = box.write("list.m3u", "old1.mp3\r\nold2.mp3\r\n");
    writeProfile("[File Locations]\nFileList=" + list + "\n[StartUp]\nAutoLoadMP3Locations =Yes\n");
    process.commandLineText = "\"/my music/a.mp3\"  x";
    form1.minimize = true;
    globals().gLogDate = "20260101";
    std::string logDateInEngine = "unset";
    EXPECT_FALSE(runMain({[&] { logDateInEngine = globals().gLogDate; }}));

    EXPECT_EQ(process.previousAsked, 1);
    EXPECT_EQ(Sandbox::read(list), "\"/my music/a.mp3\"  x\r\n");
    EXPECT_TRUE(globals().gCommandLineFile);
    EXPECT_EQ(globals().gCommandLine, "\"/my music/a.mp3\"  x");
    EXPECT_EQ(form1.visibleCalls, std::vector<bool>{false}); // lives in the tray
    EXPECT_EQ(logDateInEngine, "");
}

TEST_F(StartupTest, MainHandsOffToTheRunningInstance)
{
    std::string list = box.write("list.m3u", "old.mp3"); // last line without its line end
    writeProfile("[File Locations]\nFileList=" + list + "\n[StartUp]\nAutoLoadMP3Locations=Yes\n");
    process.commandLineText = "/new song.mp3";
    process.previous = true;
    bool engine = false;
    EXPECT_TRUE(runMain({[&] { engine = true; }}));

    EXPECT_EQ(Sandbox::read(list), "old.mp3\r\n/new song.mp3\r\n");
    EXPECT_EQ(process.appTitle, "Quavix-Dup" + clock.dateTimeText());
    EXPECT_EQ(process.activated, std::vector<std::string>{"Quavix"});
    EXPECT_EQ(loads, 0);
    EXPECT_EQ(counting.gets, 0);
    EXPECT_FALSE(engine);
    EXPECT_FALSE(globals().gCommandLineFile);
    EXPECT_TRUE(dialogs.boxes.empty());

    // A second hand-off appends once more.
    process.appTitle = "Quavix";
    process.commandLineText = "/third.mp3";
    EXPECT_TRUE(runMain());
    EXPECT_EQ(Sandbox::read(list), "old.mp3\r\n/new song.mp3\r\n/third.mp3\r\n");
}

TEST_F(StartupTest, MainReportsAPlayListItCannotWrite)
{
    std::string list = box.path("no such folder/list.m3u");
    writeProfile("[File Locations]\nFileList=" + list + "\n");
    process.commandLineText = "/a.mp3";

    // Handing off: nothing is handed over, the box names the file, the program ends.
    process.previous = true;
    EXPECT_TRUE(runMain());
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_NE(dialogs.boxes[0].text.find("\"" + list + "\""), std::string::npos);
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Exclamation);
    EXPECT_TRUE(process.activated.empty());
    EXPECT_EQ(process.appTitle, "Quavix");
    EXPECT_EQ(loads, 0);

    // Alone: the box, then a normal start that does not claim a command-line file.
    process.previous = false;
    process.ended = false;
    EXPECT_FALSE(runMain());
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_NE(dialogs.boxes[1].text.find("\"" + list + "\""), std::string::npos);
    EXPECT_FALSE(globals().gCommandLineFile);
    EXPECT_EQ(loads, 1);
    EXPECT_FALSE(std::filesystem::exists(list));
}

TEST_F(StartupTest, MainReportsARunningInstanceThatDoesNotAnswer)
{
    std::string list = box.write("list.m3u", "");
    writeProfile("[File Locations]\nFileList=" + list + "\n");
    process.commandLineText = "/a.mp3";
    process.previous = true;
    process.activateAnswer = false;
    EXPECT_TRUE(runMain());
    EXPECT_EQ(Sandbox::read(list), "/a.mp3\r\n");
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_NE(dialogs.boxes[0].text.find("did not answer"), std::string::npos);
    EXPECT_EQ(loads, 0);
}

TEST_F(StartupTest, StoredOptionsConvertToWhatTheirReadersNeed)
{
    for (auto [key, value] :
         std::vector<std::pair<const char*, const char*>>{{"T", "True"},
                                                          {"F", "false"},
                                                          {"Zero", "0"},
                                                          {"Five", " 5 "},
                                                          {"Junk", "yes"},
                                                          {"Big", "99999999999"},
                                                          {"Neg", "-40000"},
                                                          {"Half", "1.5"}})
        store.save("Quavix", "O", key, value);
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
    store.save("Quavix", "O", "One", "1");
    EXPECT_TRUE(optionChecked("O", "One"));
    EXPECT_TRUE(saveOptionBool("O", "B", true));
    EXPECT_EQ(stored("O", "B"), "True"); // never "true"
}
