// What the compositor-side code (KWin script, GNOME extension) and the program say to each
// other: a frame in, the strip's spot out, decided by whoever places the strip.
#include "platform/linux/FollowerWindowSystem.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

using quavix::FollowerWindowSystem;

TEST(FollowerProtocol, AReportedFrameIsTheWindowInFrontAndTheAnswerIsThePlacersSpot)
{
    FollowerWindowSystem follower(FollowerWindowSystem::Host::GnomeShell);
    EXPECT_EQ(follower.foregroundWindow(), 0u); // nothing reported yet
    int changes = 0;
    follower.setChangeHandler([&] {
        ++changes;
        const auto window = follower.foregroundWindow();
        ASSERT_NE(window, 0u);
        ASSERT_TRUE(follower.isVisible(window));
        const auto rect = follower.windowRect(window);
        ASSERT_TRUE(rect);
        EXPECT_TRUE(follower.placeStrip(1, rect->right - 57 - 400, rect->top + 5));
    });
    int x = 0, y = 0;
    // KWin's geometry comes in floating point.
    ASSERT_TRUE(follower.Frame("Editor", "4242 100.4 50 640 480.5", x, y));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(x, 100 + 640 - 57 - 400);
    EXPECT_EQ(y, 55);
    const auto first = follower.foregroundWindow();
    // The same window moved keeps its handle; another window gets another.
    ASSERT_TRUE(follower.Frame("Editor", "4242 200 60 640 480", x, y));
    EXPECT_EQ(follower.foregroundWindow(), first);
    EXPECT_EQ(x, 200 + 640 - 57 - 400);
    ASSERT_TRUE(follower.Frame("Terminal", "4243 0 0 800 600", x, y));
    EXPECT_NE(follower.foregroundWindow(), first);
    // Handles stay clear of the small numbers the toolkit gives its own Wayland windows.
    EXPECT_GT(follower.foregroundWindow(), 1u << 20);
}

TEST(FollowerProtocol, NoAnswerWithoutAPlacementAndNothingFromOurselvesOrNonsense)
{
    FollowerWindowSystem follower(FollowerWindowSystem::Host::KWin);
    int x = -1, y = -1, changes = 0;
    follower.setChangeHandler([&] { ++changes; }); // Always On Top off: nobody places
    EXPECT_FALSE(follower.Frame("Editor", "4242 10 10 100 100", x, y));
    EXPECT_EQ(changes, 1);
    const QString own = QString::number(QCoreApplication::applicationPid());
    EXPECT_FALSE(follower.Frame("Quavix", own + " 10 10 100 16", x, y));
    for (const char* bad :
         {"", "1 2 3 4", "1 2 3 4 5 6", "1 x 3 4 5", "1 nan 3 4 5", "1 1e300 3 4 5", "1 inf 3 4 5"})
        EXPECT_FALSE(follower.Frame("Editor", bad, x, y)) << bad;
    EXPECT_EQ(changes, 1);
}

TEST(FollowerProtocol, TheKWinScriptKnowsOurProcessAndServiceAndNoPlaceholderIsLeft)
{
    const QString script = FollowerWindowSystem::kwinScript(31337);
    EXPECT_TRUE(script.contains(QLatin1String("var ownPid = 31337;")));
    EXPECT_TRUE(script.contains(QLatin1String("\"org.quavix.Follower\"")));
    EXPECT_FALSE(script.contains(QLatin1Char('@')));
    // Both generations of KWin's names.
    for (const char* name : {"windowActivated", "clientActivated", "activeWindow", "activeClient"})
        EXPECT_TRUE(script.contains(QLatin1String(name))) << name;
}
