// The player's commands on the real main window: files dropped on the icon, the transport
// buttons and menu items while a list plays (the real timerPlay re-armed inside its own run),
// the slider held by the user, Play File and Play Location from the menu, and what the user
// is told when something does not play.
#include "mpris/MprisService.h"
#include "openlocation/frmOpenLocation.h"
#include "startup/widgets/StatusDisplay.h"
#include "support/FormRig.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>
#include <memory>

using namespace quavix;
using quavix::testing::Rig;
using Strings = std::vector<std::string>;

namespace {

class PlayerCommands : public ::testing::Test, protected quavix::testing::FormRig {
protected:
    Rig& h = rig;
    // Run once when the player has opened the given number of items.
    std::map<std::size_t, std::function<void()>> when;

    void SetUp() override
    {
        load(true);
        // The event pump of the program: the media's events, then the window's events.
        h.process.onEvents = [this] {
            h.media.deliverEvents();
            auto it = when.find(h.media.opened.size());
            if (it != when.end()) {
                auto action = std::move(it->second);
                when.erase(it);
                action();
            }
            QCoreApplication::processEvents();
        };
    }
    void TearDown() override
    {
        if (auto* f = frmOpenLocation::loaded())
            f->cmdCancel_Click();
        form.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Waits until the play-list player has started and returned again.
    void waitForPlayerIdle(std::size_t opened)
    {
        ASSERT_TRUE(QTest::qWaitFor([&] {
            return h.media.opened.size() >= opened && !form->timerPlay->isActive();
        })) << "opened "
            << h.media.opened.size();
    }

    // A drag from a file manager: it enters the icon, then drops there.
    void drop(QMimeData* data)
    {
        QDragEnterEvent enter(QPoint(4, 4), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form->Image1, &enter);
        QDropEvent event(QPointF(4, 4), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form->Image1, &event);
    }
};

} // namespace

TEST_F(PlayerCommands, ThreeFilesDroppedOnTheIconPlayInDropOrder)
{
    globals().gPlayListSequential = false;
    h.writeList({h.song("old.mp3")});
    Strings files = {h.song("one.mp3"), h.song("two.mp3"), h.song("three.mp3")};
    // Drops without local files are ignored.
    QMimeData web, text, data;
    web.setUrls({QUrl("http://radio.example.net/live.mp3")});
    drop(&web);
    text.setText("/etc/passwd");
    drop(&text);
    EXPECT_FALSE(form->timerPlay->isActive());
    EXPECT_TRUE(h.options.saves.empty());

    QList<QUrl> urls;
    for (const auto& file : files)
        urls << QUrl::fromLocalFile(QString::fromStdString(file));
    data.setUrls(urls);
    drop(&data);
    EXPECT_TRUE(form->timerPlay->isActive()) << "the player starts after the drop handler";
    waitForPlayerIdle(3);
    EXPECT_EQ(h.media.opened, files);
    EXPECT_EQ(form->Image1->toolTip().toStdString(), files[2]);
}

TEST_F(PlayerCommands, TransportButtonsAndMenuWhileAListPlays)
{
    auto s = h.songs(4);
    h.writeList(s);
    globals().gPlayingPlayList = true;
    form->mmControl().applyPlayListStart();
    form->mmControlChanged();
    when[1] = [&] { form->MMControl1->click(Button::Next); };
    when[2] = [&] { form->MMControl1->click(Button::Prev); };
    // Play while playing: a second run takes over inside the first one's wait.
    when[3] = [&] { form->mnuPlay->trigger(); };
    when[4] = [&] { form->mnuStop->trigger(); };
    form->MMControl1->click(Button::Play);
    waitForPlayerIdle(4);
    h.process.processEvents();

    EXPECT_EQ(h.media.opened, (Strings{s[0], s[1], s[0], s[1]}));
    EXPECT_FALSE(globals().gPlayingPlayList);
    EXPECT_TRUE(globals().gStopPlay) << "stopped before its end";
    EXPECT_EQ(h.media.playState(), MediaPlayer::Stopped);
    EXPECT_EQ(form->Slider1->maximum(), 3);
}

TEST_F(PlayerCommands, ExitWhileTheListPlaysEndsTheProgramFromInsideTheWait)
{
    auto s = h.songs(2, 30);
    h.writeList(s);
    globals().gPlayingPlayList = true;
    h.process.endThrows = false;
    when[1] = [&] {
        h.dialogs.answers = {MsgAnswer::Yes};
        form->mnuExit->trigger();
    };
    form->mnuPlay->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return h.process.ended; }, 2000))
        << "the unloaded program lives on";
    EXPECT_TRUE(form->isUnloaded());
    EXPECT_EQ(h.media.opened, Strings{s[0]}) << "nothing plays after the exit";
    EXPECT_EQ(h.options.value("Options", "AlwaysOnTop"), "True");
}

TEST_F(PlayerCommands, BackAndFastForwardFromTheMenuAndTheBar)
{
    auto song = h.song("long.mp3", 60);
    form->mmControl().applyPlayListStart();
    form->mmControlChanged();
    h.media.setFileName(song);
    h.media.advance(15);
    form->mnuBack->trigger();
    EXPECT_DOUBLE_EQ(h.media.currentPosition(), 5);
    form->MMControl1->click(Button::Back);
    EXPECT_DOUBLE_EQ(h.media.currentPosition(), 5) << "no room to go back 10 s";
    form->mnuFastForward->trigger();
    form->MMControl1->click(Button::Step);
    EXPECT_DOUBLE_EQ(h.media.currentPosition(), 25);
    form->MMControl1->click(Button::Pause);
    EXPECT_EQ(h.media.playState(), MediaPlayer::Paused);
    form->MMControl1->click(Button::Record);
    EXPECT_EQ(h.media.playState(), MediaPlayer::Paused);
}

TEST_F(PlayerCommands, SliderHeldDoesNotFollowAndLettingGoSeeks)
{
    auto song = h.song("long.mp3", 100);
    h.writeList({song});
    form->mmControl().applyPlayListStart();
    form->mmControlChanged();
    form->mnuShowSlider->trigger();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    // Hold the slider from inside the player's wait, let the song move on, then let go.
    int heldValue = -1;
    when[1] = [&] {
        form->Timer1_Timer();
        QTest::mousePress(form->Slider1, Qt::LeftButton, {}, QPoint(1, 1));
        heldValue = form->Slider1->value();
        h.media.advance(30);
        form->Timer1_Timer();
        EXPECT_EQ(form->Slider1->value(), heldValue) << "held: the slider stays";
        form->Slider1->setValue(70);
        QTest::mouseRelease(form->Slider1, Qt::LeftButton, {}, QPoint(1, 1));
        EXPECT_DOUBLE_EQ(h.media.currentPosition(), 70);
        form->Timer1_Timer();
        EXPECT_EQ(form->Slider1->value(), 70);
        h.media.advance(5);
        form->Timer1_Timer();
        EXPECT_EQ(form->Slider1->value(), 75) << "let go: the slider follows again";

        // Right and middle clicks on the groove neither hold the slider nor seek.
        h.media.advance(5);
        for (Qt::MouseButton b : {Qt::RightButton, Qt::MiddleButton}) {
            QTest::mouseClick(form->Slider1, b, {}, QPoint(form->Slider1->width() - 2, 4));
            EXPECT_DOUBLE_EQ(h.media.currentPosition(), 80) << b;
            EXPECT_TRUE(form->mSliderFollowsPosition) << b;
        }
    };
    form->MMControl1->click(Button::Play);
    waitForPlayerIdle(1);
    EXPECT_EQ(form->Slider1->maximum(), 100);
    EXPECT_NE(heldValue, -1);
    EXPECT_TRUE(form->mSliderFollowsPosition);
}

// What a chosen file does to the list is the play-list player's unit test.
TEST_F(PlayerCommands, PlayFileFromTheMenuRunsTimer1AgainAfterCancel)
{
    form->Timer1->stop();
    form->mnuPlayFile->trigger();
    ASSERT_EQ(h.dialogs.fileRequests.size(), 1u);
    EXPECT_TRUE(form->Timer1->isActive());
}

TEST_F(PlayerCommands, PlayLocationHoldsTimer1UntilTheDialogPlays)
{
    h.media.addItem("http://radio.example.net/live", 0);
    form->mnuPlayLocation->trigger();
    EXPECT_FALSE(form->Timer1->isActive());
    frmOpenLocation* dialog = frmOpenLocation::loaded();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    dialog->txtLocation->setText("http://radio.example.net/live");
    QTest::mouseClick(dialog->cmdOK, Qt::LeftButton);
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_EQ(h.media.opened, std::vector<std::string>{"http://radio.example.net/live"});
}

// Why something did not play, in the player's words: a box of its own when it was the one
// thing the user opened; for an entry of a longer list the status display says it, and keeps
// saying it while the list goes on with its next entry; Play Location keeps its own box and
// puts the reason in the status display.
TEST_F(PlayerCommands, AFailedOpenIsToldInABoxAloneAndInTheStatusDisplayInAList)
{
    auto* display = static_cast<StatusDisplay*>(form->MediaPlayer1View);
    const std::string next = h.song("next.mp3");
    struct Kind {
        std::string name, why;
        long code; // 0: not on disk, the player is not asked
    };
    const Kind kinds[] = {
        {h.box.path("gone.mp3"), "the file does not exist.", 0},
        {h.box.write("locked.mp3", "x"), "it cannot be read (permission denied).", 1},
        {h.box.write("notes.mp3", "x"),
         "it is not a sound file (nothing in it is of a kind Quavix can play).", 2},
        {h.box.write("empty.pls", "[playlist]\n"), "the list names nothing to play.", 2},
        {"mms://radio.example.net/live", "no source for \"mms\" addresses is installed.", 4},
        {"http://127.0.0.1:1/live.mp3", "the server cannot be reached (Connection refused).", 3},
    };
    for (const Kind& k : kinds) {
        SCOPED_TRACE(k.name);
        if (k.code)
            h.media.addFailure(k.name, k.code, k.why);
        const std::string told = "Cannot play \"" + k.name + "\": " + k.why;
        const std::size_t opened = h.media.opened.size();
        h.dialogs.boxes.clear();
        if (k.name.rfind("/", 0) == 0) {
            h.dialogs.fileAnswers = {k.name};
            form->mnuPlayFile->trigger();
            ASSERT_TRUE(QTest::qWaitFor([&] { return !h.dialogs.boxes.empty(); }));
            ASSERT_EQ(h.dialogs.boxes.size(), 1u);
            EXPECT_EQ(h.dialogs.boxes[0].text, told);
            EXPECT_EQ(h.dialogs.boxes[0].icon, MsgIcon::Exclamation);
        } else {
            form->mnuPlayLocation->trigger();
            frmOpenLocation* dialog = frmOpenLocation::loaded();
            ASSERT_NE(dialog, nullptr);
            dialog->txtLocation->setText(QString::fromStdString(k.name));
            QTest::mouseClick(dialog->cmdOK, Qt::LeftButton);
            ASSERT_EQ(h.dialogs.boxes.size(), 1u);
            EXPECT_EQ(h.dialogs.boxes[0].title, "URL Not Loaded");
            EXPECT_EQ(h.dialogs.boxes[0].text, "An error occured loading the requested URL.\r\n\r\n"
                                               "Check the source URL to ensure that it is correct "
                                               "and active.");
            EXPECT_EQ(display->messageText().toStdString(), told);
            dialog->cmdCancel_Click();
        }
        EXPECT_EQ(h.media.opened.size(), opened + (k.code ? 1 : 0));

        h.dialogs.boxes.clear();
        h.writeList({k.name, next});
        globals().gCurrentFileName.clear();
        globals().gPlayingPlayList = true;
        form->mnuPlay->trigger();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return !h.media.opened.empty() && h.media.opened.back() == next; }));
        EXPECT_TRUE(h.dialogs.boxes.empty()) << h.dialogs.boxes[0].text;
        EXPECT_EQ(display->messageText().toStdString(), told) << "gone while the list went on";
        form->mnuStop->trigger();
        waitForPlayerIdle(0);
    }
}

// The desktop's media controls open a file by its URI: escapes decode to the name's bytes.
TEST(MprisOpen, AFileUriReachesTheOpenCommandAsItsBytes)
{
    Rig rig;
    std::vector<std::string> opened;
    MprisCommands commands;
    commands.open = [&](const std::vector<std::string>& files) { opened = files; };
    MprisService service(commands, QDBusConnection(QStringLiteral("none")));
    service.openUri(QStringLiteral("file:///music/Caf%E9%FF.mp3"));
    EXPECT_EQ(opened, Strings{"/music/Caf\xe9\xff.mp3"});
}

TEST_F(PlayerCommands, ADroppedNameThatIsNotUtf8PlaysByItsOwnBytes)
{
    globals().gPlayListSequential = false;
    h.writeList({h.song("old.mp3")});
    const std::string latin1 = h.song("Caf\xe9.mp3"); // as an older system names its files
    // What a file manager puts on the clipboard: the name's bytes, percent-escaped.
    std::string uri = "file://";
    for (unsigned char c : latin1)
        uri += c < 0x80 && c != '%' ? std::string(1, static_cast<char>(c))
                                    : QStringLiteral("%%1").arg(c, 2, 16, QChar('0')).toStdString();
    QMimeData data;
    data.setData(QStringLiteral("text/uri-list"), QByteArray::fromStdString(uri + "\r\n"));
    drop(&data);
    waitForPlayerIdle(1);
    EXPECT_EQ(h.media.opened, Strings{latin1});
}
