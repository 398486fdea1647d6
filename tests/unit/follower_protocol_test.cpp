// What the compositor-side code (KWin script, GNOME extension) and the program say to each
// other: a frame in, the strip's spot and size out, decided by whoever places the strip; and
// between frames, the strip's new spot to the question the compositor keeps out.
#include "platform/linux/FollowerWindowSystem.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QTest>
#include <gtest/gtest.h>
#include <vector>

using quavix::FollowerWindowSystem;
using quavix::PixelRect;
using namespace std::chrono_literals;

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
        const int left = rect->right - 57 - 400, top = rect->top + 5;
        EXPECT_TRUE(follower.placeStrip(1, {left, top, left + 400, top + 16}, true));
    });
    int x = 0, y = 0, w = 0, h = 0;
    bool above = false;
    // KWin's geometry comes in floating point.
    ASSERT_TRUE(follower.Report("Editor", "4242 100.4 50 640 480.5", x, y, w, h, above));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(x, 100 + 640 - 57 - 400);
    EXPECT_EQ(y, 55);
    EXPECT_EQ(w, 400);
    EXPECT_EQ(h, 16);
    EXPECT_TRUE(above);
    const auto first = follower.foregroundWindow();
    // The same window moved keeps its handle; another window gets another.
    ASSERT_TRUE(follower.Report("Editor", "4242 200 60 640 480", x, y, w, h, above));
    EXPECT_EQ(follower.foregroundWindow(), first);
    EXPECT_EQ(x, 200 + 640 - 57 - 400);
    ASSERT_TRUE(follower.Report("Terminal", "4243 0 0 800 600", x, y, w, h, above));
    EXPECT_NE(follower.foregroundWindow(), first);
    // Handles stay clear of the small numbers the toolkit gives its own Wayland windows.
    EXPECT_GT(follower.foregroundWindow(), 1u << 20);
    // The extension of the Quavix before an upgrade, still running in the shell, is answered.
    ASSERT_TRUE(follower.Frame("Terminal", "4243 100 0 800 600", x, y));
    EXPECT_EQ(x, 900 - 57 - 400);
}

TEST(FollowerProtocol, NoAnswerWithoutAPlacementAndNothingFromOurselvesOrNonsense)
{
    FollowerWindowSystem follower(FollowerWindowSystem::Host::KWin);
    int x = -1, y = -1, w = -1, h = -1, changes = 0;
    bool above = false;
    follower.setChangeHandler([&] { ++changes; }); // Always On Top off: nobody places
    EXPECT_FALSE(follower.Report("Editor", "4242 10 10 100 100", x, y, w, h, above));
    EXPECT_EQ(changes, 1);
    const QString own = QString::number(QCoreApplication::applicationPid());
    EXPECT_FALSE(follower.Report("Quavix", own + " 10 10 100 16", x, y, w, h, above));
    for (const char* bad :
         {"", "1 2 3 4", "1 2 3 4 5 6", "1 x 3 4 5", "1 nan 3 4 5", "1 1e300 3 4 5", "1 inf 3 4 5"})
        EXPECT_FALSE(follower.Report("Editor", bad, x, y, w, h, above)) << bad;
    EXPECT_EQ(changes, 1);
}

// Answers to held questions, as the compositor would receive them.
class HeldAnswers : public FollowerWindowSystem {
public:
    using FollowerWindowSystem::FollowerWindowSystem;
    std::vector<QVariantList> replies;
    int refusals = 0;

protected:
    void send(const QDBusMessage& reply) override
    {
        if (reply.type() == QDBusMessage::ErrorMessage)
            ++refusals;
        else
            replies.push_back(reply.arguments());
    }
};

TEST(FollowerProtocol, BetweenReportsTheStandingQuestionHearsOfEachNewSpotOnce)
{
    int argc = 0;
    QCoreApplication app(argc, nullptr); // the hold's timer
    HeldAnswers follower(FollowerWindowSystem::Host::KWin, 50ms);
    const QDBusMessage question = QDBusMessage::createMethodCall(
        "org.quavix.Follower", "/org/quavix/Follower", "org.quavix.Follower", "NextSpot");
    const PixelRect grown{137, 255, 743, 271}, parked{1000, 0, 1223, 16};
    const QString own = QString::number(QCoreApplication::applicationPid());
    int x = 0, y = 0, w = 0, h = 0;
    bool above = false;

    // Nothing new: the question waits; the strip grows (Show Slider): it hears at once.
    EXPECT_FALSE(follower.NextSpot(own, question, x, y, w, h, above));
    EXPECT_TRUE(follower.replies.empty());
    follower.placeStrip(1, grown, true);
    ASSERT_EQ(follower.replies.size(), 1u);
    EXPECT_EQ(follower.replies[0], (QVariantList{true, 137, 255, 606, 16, true}));
    // The next tick's same spot is no news; after the hold the question ends with nothing.
    EXPECT_FALSE(follower.NextSpot(own, question, x, y, w, h, above));
    follower.placeStrip(1, grown, true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return follower.replies.size() == 2; }, 5000));
    EXPECT_EQ(follower.replies[1], (QVariantList{false, 0, 0, 0, 0, false}));

    // Placed while no question is out: the next question, or the next report, takes it.
    follower.placeStrip(1, parked, false);
    ASSERT_TRUE(follower.NextSpot(own, question, x, y, w, h, above));
    EXPECT_EQ((PixelRect{x, y, x + w, y + h}), parked);
    follower.placeStrip(1, grown, true);
    ASSERT_TRUE(follower.Report("Editor", "4242 0 0 800 600", x, y, w, h, above));
    EXPECT_EQ((PixelRect{x, y, x + w, y + h}), grown);
    // A newer question ends the older one with nothing.
    EXPECT_FALSE(follower.NextSpot(own, question, x, y, w, h, above));
    EXPECT_FALSE(follower.NextSpot(own, question, x, y, w, h, above));
    ASSERT_EQ(follower.replies.size(), 3u);
    EXPECT_EQ(follower.replies[2], (QVariantList{false, 0, 0, 0, 0, false}));
    follower.placeStrip(1, parked, false);
    EXPECT_EQ(follower.replies.size(), 4u);
    // A script a Quavix left behind asks for its own strip: refused, so it goes quiet.
    EXPECT_FALSE(follower.NextSpot("1", question, x, y, w, h, above));
    EXPECT_EQ(follower.refusals, 1);
    EXPECT_EQ(follower.replies.size(), 4u);
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
