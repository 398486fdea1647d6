// The status display against a player in virtual time.
#include "fakes/Fakes.h"
#include "startup/widgets/StatusDisplay.h"

#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

using quavix::StatusDisplay;
using quavix::fakes::FakeMediaPlayer;

TEST(StatusDisplayText, TimesAndNames)
{
    for (auto [seconds, text] : {std::pair{0.0, "0:00"},
                                 {59.99, "0:59"},
                                 {65.0, "1:05"},
                                 {4503.2, "75:03"},
                                 {-3.0, "0:00"},
                                 {std::nan(""), "0:00"}})
        EXPECT_EQ(quavix::formatMediaTime(seconds), text) << seconds;
    for (auto [path, name] :
         {std::pair{"/music/a b/song.mp3", "song.mp3"},
          {"song.mp3", "song.mp3"},
          {"a:b/c.mp3", "c.mp3"},
          {"http://radio.example/live/stream", "http://radio.example/live/stream"},
          {"/music/Motörhead.mp3", "Motörhead.mp3"}})
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

// The strip shows only rows 2..17 of the 20-pixel display: every bit of text must be there.
TEST(StatusDisplayWidget, TextFitsTheVisibleBand)
{
    FakeMediaPlayer player;
    std::string name = "/music/A very long title with Umlauts ÄÖÜ and gy descenders.mp3";
    player.addItem(name, 3599);
    player.setFileName(name);
    player.advance(3000);
    StatusDisplay display(player);
    display.resize(177, 20);
    QImage image = display.grab().toImage();
    ASSERT_EQ(image.height() / image.devicePixelRatio(), 20);

    QColor text = display.palette().color(QPalette::WindowText);
    auto isText = [&](QRgb px) {
        return qAbs(qGray(px) - text.lightness()) < 60 &&
               qAbs(qGray(px) - display.palette().color(QPalette::Window).lightness()) > 60;
    };
    int first = -1, last = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (isText(image.pixel(x, y))) {
                if (first < 0)
                    first = y;
                last = y;
            }
    double dpr = image.devicePixelRatio();
    ASSERT_GE(first, 0) << "no text drawn";
    EXPECT_GE(first / dpr, 2);
    EXPECT_LT(last / dpr, 18);
}
