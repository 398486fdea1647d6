// The status display against a player in virtual time.
#include "fakes/Fakes.h"
#include "startup/widgets/StatusDisplay.h"

#include <QTest>
#include <gtest/gtest.h>

using quavix::StatusDisplay;
using quavix::fakes::FakeMediaPlayer;

TEST(StatusDisplayText, TimesAndNames)
{
    const std::pair<double, const char*> times[] = {{0.0, "0:00"},  {59.99, "0:59"},
                                                    {65.0, "1:05"}, {4503.2, "75:03"},
                                                    {-3.0, "0:00"}, {std::nan(""), "0:00"}};
    for (auto [seconds, text] : times)
        EXPECT_EQ(quavix::formatMediaTime(seconds), text) << seconds;
    const std::pair<const char*, const char*> names[] = {
        {"/music/a b/song.mp3", "song.mp3"},
        {"song.mp3", "song.mp3"},
        {"a:b/c.mp3", "c.mp3"},
        {"http://radio.example/live/stream", "http://radio.example/live/stream"},
        {"/music/Motörhead.mp3", "Motörhead.mp3"}};
    for (auto [path, name] : names)
        EXPECT_EQ(quavix::mediaItemName(path), name) << path;
}

TEST(StatusDisplayWidget, FollowsThePlayer)
{
    FakeMediaPlayer player;
    player.addItem("/music/song.mp3", 225);
    StatusDisplay display(player);
    EXPECT_EQ(display.stateText(), "Stopped");
    EXPECT_EQ(display.timeText(), "");

    player.setFileName("/music/song.mp3");
    display.refresh();
    EXPECT_EQ(display.stateText(), "Playing");
    EXPECT_EQ(display.nameText(), "song.mp3");
    EXPECT_EQ(display.timeText(), "0:00 / 3:45");

    player.pause();
    display.refresh();
    EXPECT_EQ(display.stateText(), "Paused");

    // While shown it reads the player by itself.
    display.resize(display.sizeHint());
    display.show();
    player.play();
    player.advance(72.4);
    EXPECT_TRUE(QTest::qWaitFor([&] { return display.timeText() == "1:12 / 3:45"; }, 3000));
    EXPECT_EQ(display.stateText(), "Playing");

    player.setCurrentPosition(300);
    display.refresh();
    EXPECT_EQ(display.stateText(), "Stopped");
    EXPECT_EQ(display.timeText(), "3:45 / 3:45");
}

// Why an entry did not play stands while the list goes on with the next one, and gives way to
// that one once its time is over; with nothing changed it stays.
TEST(StatusDisplayWidget, AMessageStandsItsTimeThenGivesWayToWhatPlays)
{
    FakeMediaPlayer player;
    player.addItem("/music/next.mp3", 60);
    StatusDisplay display(player);
    display.show();
    display.setMessageHold(std::chrono::milliseconds(0));
    display.showMessage("Cannot play \"/music/gone.mp3\": the file does not exist.");
    display.refresh();
    EXPECT_FALSE(display.messageText().isEmpty()) << "nothing changed: it stays";

    display.setMessageHold(std::chrono::milliseconds(300));
    display.showMessage("Cannot play \"/music/gone.mp3\": the file does not exist.");
    player.setFileName("/music/next.mp3");
    display.refresh();
    EXPECT_FALSE(display.messageText().isEmpty()) << "the next entry wiped it out at once";
    EXPECT_TRUE(QTest::qWaitFor([&] { return display.messageText().isEmpty(); }, 3000));
    EXPECT_EQ(display.nameText(), "next.mp3");
}
