// The play engine as a whole, in virtual time: songs play to their end while the profile
// allows it, stops by the profile and by the user, closing, the day change.
#include "engine/clsMainPerformLoop.h"
#include "support/Rig.h"

#include <gtest/gtest.h>

using namespace quavix;
using namespace quavix::testing;

namespace {

enum class Outcome { Returned, Ended };

Outcome runEngine()
{
    try {
        clsMainPerformLoop().fPerformPlaySongs();
    } catch (const fakes::ProgramEnded&) {
        return Outcome::Ended;
    }
    return Outcome::Returned;
}

// Runs `step` at every event pump, after the player's events were delivered.
void onEveryPump(Rig& box, std::function<void()> step)
{
    box.process.onEvents = [&box, step = std::move(step)] {
        box.media.deliverEvents();
        step();
    };
}

const std::string Header = "\"ActivityDateTime\",\"Group\",\"CDTitle\",\"ReleaseYear\","
                           "\"Title\",\"ActivityLength\",\"FileName\"\r\n";

} // namespace

TEST(Engine, PlaysEverySongInListOrderAndEndsAtTheEndOfTheList)
{
    Rig box;
    std::string rock = box.addFolder("Rock");
    std::string jazz = box.addFolder("Jazz-Club"); // a hyphen in a folder is harmless
    std::string a = box.addSong(rock, "Band - Disc - 1999 - Alpha - 0_02.mp3", 2.5);
    std::string b = box.addSong(rock, "band - Disc - 1999 - Beta - 0_01.mp3", 1.4);
    std::string c = box.addSong(jazz, "Trio - Live - 2001 - Gamma - 1_00.mp3", 60.0);

    EXPECT_EQ(runEngine(), Outcome::Ended);

    EXPECT_EQ(box.media.opened, (std::vector<std::string>{a, b, c}));
    EXPECT_EQ(box.window.sliderMaxima, (std::vector<int>{2, 1, 60})); // 2.5 rounds to even
    EXPECT_EQ(box.window.sliderMin, 0);
    // The log rows: the new-day test below, and the e2e station test.
    EXPECT_EQ(box.readList(), a + "\r\n" + b + "\r\n" + c + "\r\n");
    EXPECT_EQ(box.dialogs.titles(), std::vector<std::string>{"End Of Play List"});
    // Each song was waited for to its end, in 100 ms steps.
    EXPECT_GE(box.process.sleptMs, 63900);
    EXPECT_LE(box.process.sleptMs, 64300);
}

TEST(Engine, OnlyContinueYesLetsItGoAndLoggingFollowsTheStartUpSwitch)
{
    for (const char* value : {"yes", "Yes ;", "No", ""}) {
        Rig box;
        box.addSong(box.addFolder("Rock"), "A - B - C - D - 0_01.mp3", 1);
        box.setProfile(value);
        int polls = 0;
        onEveryPump(box, [&] {
            if (++polls == 5)
                globals().gExitProgram = true; // the main window closes
        });
        EXPECT_EQ(runEngine(), Outcome::Ended) << value;
        EXPECT_TRUE(box.media.opened.empty()) << value;
        EXPECT_EQ(polls, 5) << "the closing is noticed at the next poll";
        EXPECT_FALSE(fs::exists(box.playList)) << value;
    }

    Rig quiet;
    std::string rock = quiet.addFolder("Rock");
    quiet.addSong(rock, "A - B - C - D - 0_01.mp3", 1);
    quiet.addSong(rock, "E - F - G - H - 0_01.mp3", 1);
    // The switch comes from start-up; a station profile that also says "Yes" changes nothing.
    globals().gLogActivity = false;
    writeText(quiet.profileFile, "[StartUp]\nLogActivity=Yes\n[Play Status]\nContinue=Yes\n");
    EXPECT_EQ(runEngine(), Outcome::Ended);
    EXPECT_EQ(quiet.media.opened.size(), 2u);
    EXPECT_EQ(readText(quiet.logFile("20261206")), Header); // header only, no rows
}

TEST(Engine, ProfileStopIdlesUntilPlaybackClearsTheStopAndTheProfileSaysYesAgain)
{
    Rig box;
    std::string rock = box.addFolder("Rock");
    std::string a = box.addSong(rock, "A - B - C - D - 0_01.mp3", 1);
    std::string b = box.addSong(rock, "E - F - G - H - 0_01.mp3", 1);
    box.setProfile("No");
    int idlePolls = 0;
    onEveryPump(box, [&] {
        if (!box.media.opened.empty())
            return;
        ++idlePolls;
        if (idlePolls == 3)
            box.setProfile("Yes"); // not read while stopped...
        if (idlePolls == 6)
            globals().gStopPlay = false; // ...until playback starts by hand
    });
    EXPECT_EQ(runEngine(), Outcome::Ended);
    EXPECT_EQ(idlePolls, 8); // six idle polls, then the two pumps before the first song
    EXPECT_EQ(box.media.opened, (std::vector<std::string>{a, b}));
}

TEST(Engine, UserStopMidSongIdlesAndPlayGoesOn)
{
    Rig box;
    std::string rock = box.addFolder("Rock");
    std::string a = box.addSong(rock, "A - B - C - D - 0_03.mp3", 3);
    std::string b = box.addSong(rock, "E - F - G - H - 0_03.mp3", 3);
    int idlePolls = 0;
    bool stopped = false;
    onEveryPump(box, [&] {
        if (!stopped && box.media.opened.size() == 1 && box.media.currentPosition() >= 1.0) {
            box.media.stop(); // the user's Stop
            box.media.deliverEvents();
            stopped = true;
        } else if (stopped && box.media.opened.size() == 1 && idlePolls < 4) {
            EXPECT_TRUE(globals().gStopPlay);
            if (++idlePolls == 4)
                globals().gStopPlay = false; // Play in the main window
        }
    });
    EXPECT_EQ(runEngine(), Outcome::Ended);
    EXPECT_TRUE(stopped);
    EXPECT_GE(idlePolls, 4);
    EXPECT_EQ(box.media.opened, (std::vector<std::string>{a, b}));
}

TEST(Engine, StopWhileHandingEventsThroughBeforeASongReturns)
{
    Rig box;
    box.addSong(box.addFolder("Rock"), "A - B - C - D - 0_01.mp3", 1);
    box.process.actions.push_back([] { globals().gStopPlay = true; });
    EXPECT_EQ(runEngine(), Outcome::Returned);
    EXPECT_TRUE(box.media.opened.empty());
    EXPECT_FALSE(fs::exists(box.playList));
}

TEST(Engine, NewDayRebuildsTheListAndStartsANewLogOnSameDayRestartKeepsIt)
{
    Rig box;
    std::string rock = box.addFolder("Rock");
    std::string a = box.addSong(rock, "A - B - C - D - 0_01.mp3", 1);
    std::string c = box.addSong(rock, "C - B - C - D - 0_01.mp3", 1);
    writeText(box.logFile("20261206"), Header + "\"earlier\"\r\n"); // a restart on the same day
    std::string b;
    onEveryPump(box, [&] {
        if (box.media.opened.size() == 1 && b.empty()) {
            box.clock.time = {2026, 12, 7, 0, 0, 1}; // midnight passes during the first song
            b = box.addSong(rock, "B - B - C - D - 0_01.mp3", 1);
        }
    });
    EXPECT_EQ(runEngine(), Outcome::Ended);
    // The new list has B second; list order goes on with line 2 of it.
    EXPECT_EQ(box.media.opened, (std::vector<std::string>{a, b, c}));
    EXPECT_EQ(box.readList(), a + "\r\n" + b + "\r\n" + c + "\r\n");
    EXPECT_EQ(readText(box.logFile("20261206")), Header +
                                                     "\"earlier\"\r\n\"12/06/26 16:30:00\","
                                                     "\"A\",\"B\",\"C\",\"D\",\"1\",\"" +
                                                     a + "\"\r\n");
    EXPECT_EQ(readText(box.logFile("20261207")).substr(0, Header.size()), Header);
    EXPECT_EQ(globals().gLogDate, "20261207");
}

// The log claims only what went on the air: a song listed but gone or unplayable by the
// time its turn comes has no row.
TEST(Engine, ASongThatWouldNotOpenIsNotLogged)
{
    Rig box;
    std::string rock = box.addFolder("Rock");
    std::string a = box.addSong(rock, "A - B - C - D - 0_01.mp3", 1);
    writeText(rock + "B - B - C - D - 0_01.mp3", ""); // the player cannot open it
    globals().gLogActivity = true;
    EXPECT_EQ(runEngine(), Outcome::Ended);
    EXPECT_EQ(box.media.opened.size(), 2u);
    EXPECT_EQ(readText(box.logFile("20261206")),
              Header + "\"12/06/26 16:30:00\",\"A\",\"B\",\"C\",\"D\",\"1\",\"" + a + "\"\r\n");
}

// Play pressed while the engine's song plays (or after a Stop): the play-list player takes
// over inside the engine's waits, and what it plays goes on the air with its row in the
// engine's log, as the engine's own songs have theirs.
TEST(Engine, SongsStartedWithPlayWhileTheEngineRunsAreLoggedToo)
{
    for (bool stopFirst : {false, true}) {
        Rig box;
        std::string rock = box.addFolder("Rock");
        std::string a = box.addSong(rock, "A - Disc - 2001 - One - 0_03.mp3", 3);
        std::string b = box.addSong(rock, "B - Disc - 2002 - Two - 0_01.mp3", 1);
        std::string c = box.addSong(rock, "C - Disc - 2003 - Three - 0_01.mp3", 1);
        bool pressed = false;
        box.process.onEvents = [&] {
            box.media.deliverEvents();
            box.window.firePending();
            if (!pressed && box.media.opened.size() == 1 && box.media.currentPosition() >= 1) {
                pressed = true;
                if (stopFirst) {
                    PlayListPlayer::stop();
                    box.media.deliverEvents();
                }
                PlayListPlayer::start();
            }
        };
        EXPECT_EQ(runEngine(), Outcome::Ended);
        // The player moves on from the engine's song; the engine then goes on in list order.
        EXPECT_EQ(box.media.opened, (std::vector<std::string>{a, b, b, c})) << stopFirst;
        auto row = [](const std::string& fields, const std::string& path) {
            return "\"12/06/26 16:30:00\"," + fields + ",\"" + path + "\"\r\n";
        };
        EXPECT_EQ(readText(box.logFile("20261206")),
                  Header + row("\"A\",\"Disc\",\"2001\",\"One\",\"3\"", a) +
                      row("\"B\",\"Disc\",\"2002\",\"Two\",\"1\"", b) +
                      row("\"B\",\"Disc\",\"2002\",\"Two\",\"1\"", b) +
                      row("\"C\",\"Disc\",\"2003\",\"Three\",\"1\"", c))
            << stopFirst;
    }
}

// A strip whose song folder is missing at its start: the box names the folder and what is
// wrong, before the end of the (empty) list is announced.
TEST(Engine, NothingToPlayAtTheStartIsExplainedBeforeTheEndOfTheList)
{
    Rig box;
    std::string rock = box.addFolder("Rock");
    fs::remove_all(rock);
    EXPECT_EQ(runEngine(), Outcome::Ended);
    ASSERT_EQ(box.dialogs.titles(), (std::vector<std::string>{"Song List", "End Of Play List"}));
    EXPECT_NE(box.dialogs.boxes[0].text.find("The song folder \"" + rock +
                                             "\" (MP3Location001) does not exist."),
              std::string::npos)
        << box.dialogs.boxes[0].text;
}
