// The main window against fakes: load from stored options, the exit question and what an
// exit stores, a kill by signal, the button bar situations, the tray icon and the Help menu.
#include "about/frmAbout.h"
#include "mainwindow/Form1.h"
#include "mainwindow/HelpPage.h"
#include "mainwindow/MainWindowLoader.h"
#include "platform/linux/TerminationSignals.h"
#include "properties/IconSet.h"
#include "startup/AfterFirstPaint.h"
#include "support/FormRig.h"

#include <QApplication>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QWindow>
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace quavix;

namespace {

class Form1Test : public ::testing::Test, protected quavix::testing::FormRig {
protected:
    fakes::FakeMediaPlayer& media = rig.media;
    fakes::ScriptedDialogs& dialogs = rig.dialogs;
    fakes::ScriptedRandom& random = rig.random;
    fakes::FakeProcess& process = rig.process;

    void SetUp() override
    {
        resetGlobals();
        media.addItem("song.mp3", 300);
    }

    void seed(const std::string& key, const std::string& value)
    {
        rig.options.put("Options", key, value);
    }
    std::string stored(const std::string& key) { return rig.options.value("Options", key); }
    std::string buttons() { return quavix::testing::enabledButtons(form->mmControl()); }
};

// "text|-|sub-menu[text|...]": a menu's entries in order, separators as "-".
std::string entries(const QMenu* menu)
{
    std::string out;
    for (const QAction* a : menu->actions()) {
        if (!out.empty())
            out += '|';
        out += a->isSeparator() ? std::string("-") : a->text().toStdString();
        if (a->menu())
            out += "[" + entries(a->menu()) + "]";
    }
    return out;
}

// The stored defaults of a first load are checked by the strip's end-to-end test.
TEST_F(Form1Test, FirstLoadShowsOnlyTheIconAndTheTrayIconGoesWithTheWindow)
{
    Form1& f = load();
    // Only the icon: 16 pixels square, the strip 57 px from the screen's right edge.
    EXPECT_TRUE(f.Slider1->isHidden() && f.MediaPlayer1View->isHidden() &&
                f.MMControl1->isHidden());
    EXPECT_EQ(f.size(), QSize(16, 16));
    EXPECT_EQ(f.Image1->geometry(), QRect(0, 0, 16, 16));
    EXPECT_EQ(f.x(), 1920 - 57 - 16);
    EXPECT_TRUE(f.Timer1->isActive());
    EXPECT_FALSE(f.timerChangeIcon->isActive() || f.timerPlay->isActive());
    EXPECT_EQ(random.seeds, 0);
    EXPECT_EQ(media.volume(), 0) << "full volume";

    // Tray icon: added at load, deleted at unload.
    ASSERT_EQ(tray.calls.size(), 1u);
    EXPECT_EQ(tray.calls[0].first, Tray::Add);
    EXPECT_EQ(tray.calls[0].second.hWnd, static_cast<std::uint32_t>(f.winId() & 0xffffffffu));
    dialogs.answers = {MsgAnswer::Yes};
    f.close();
    ASSERT_EQ(tray.calls.size(), 2u);
    EXPECT_EQ(tray.calls[1].first, Tray::Delete);
    EXPECT_EQ(tray.calls[1].second.hWnd, tray.calls[0].second.hWnd);
    EXPECT_FALSE(tray.present);
}

// At start-up the strip shows before the work that need not wait: the tray icon, the icon's
// other sizes, the play-list player's start and what the program queued for then.
TEST_F(Form1Test, StartUpLeavesTheTrayUntilTheStripHasPainted)
{
    for (bool minimized : {false, true}) {
        SCOPED_TRACE(minimized ? "kept in the tray" : "shown");
        resetFirstPaint();
        tray.calls.clear();
        std::vector<std::string> order;
        afterFirstPaint([&] { order.push_back("queued"); });
        seed("Minimized", minimized ? "True" : "False");
        globals().gCommandLineFile = true;
        Form1& f = load();
        f.onTimerPlay = [&] { order.push_back("player"); };
        EXPECT_TRUE(tray.calls.empty());
        EXPECT_TRUE(f.timerPlay->isActive()) << "the player's start is not held";
        EXPECT_EQ(f.Image1->pixmap().toImage(), IconSet::pixmap(0, 16).toImage());
        EXPECT_TRUE(f.windowIcon().availableSizes().empty());
        EXPECT_EQ(f.mnuPopUp, nullptr);
        if (!minimized) {
            QCoreApplication::processEvents();
            EXPECT_EQ(std::count(order.begin(), order.end(), "queued"), 0)
                << "ran before the strip painted";
        }

        f.setVisible(!minimized);
        ASSERT_TRUE(QTest::qWaitFor([&] { return order.size() == 2u; })) << order.size();
        EXPECT_EQ(order, (std::vector<std::string>{"player", "queued"}));
        ASSERT_EQ(tray.calls.size(), 1u);
        EXPECT_EQ(tray.calls[0].first, Tray::Add);
        EXPECT_EQ(f.windowIcon().availableSizes().size(), 6u);
        EXPECT_TRUE(firstPaintSeen());
        // The menu waited for the paint too; every command is in its place.
        ASSERT_NE(f.mnuPopUp, nullptr);
        EXPECT_EQ(entries(f.mnuPopUp),
                  "Play &File|Play &Location|Play List &Editor|-|&Play|P&ause|&Stop|Fas&t "
                  "Forward|&Back|&Next|P&revious|-|&Options[Show Status &Information|Show "
                  "&Controls|Show &Slider|-|&Always On Top|-|&Properties]|-|&Minimize to System "
                  "Tray|Remo&ve from System Tray|-|&Help[&On-line Help|&About]|-|E&xit");
        EXPECT_EQ(f.popUpMenu(), f.mnuPopUp);
        form.reset();
    }
}

// A window manager that loses the strip's map (one still starting when the session starts
// the program) never lets it paint; the rest of the start-up runs all the same, so the
// music, the tray icon and the MPRIS service come up.
TEST_F(Form1Test, StartUpFinishesWhenTheStripNeverPaints)
{
    resetFirstPaint();
    tray.calls.clear();
    bool queued = false;
    afterFirstPaint([&] { queued = true; });
    seed("Minimized", "False");
    Form1& f = load();
    QCoreApplication::processEvents();
    EXPECT_FALSE(queued) << "ran before the strip had its chance to paint";
    ASSERT_TRUE(QTest::qWaitFor([&] { return queued; }, 5000));
    EXPECT_EQ(tray.calls.size(), 1u);
    EXPECT_NE(f.mnuPopUp, nullptr);
    form.reset();
}

TEST_F(Form1Test, LoadRestoresStoredOptions)
{
    rig.options.putAll("Options",
                       {"StatusAreaVisible=True", "ControlsVisible=True", "SliderVisible=False",
                        "PlayListInSequentialOrder=False", "RandomSelectIconWhileRunning=1",
                        "ChangeIconAfterFile=0", "ImageIndex=7", "AlwaysOnTop=False",
                        "Minimized=True", "RemoveFromSystemTray=True", "Volume=-2500"});
    globals().gAdjustFontUpDown = 45;
    globals().gAdjustIconUpDown = 15;
    Form1& f = load();

    EXPECT_TRUE(f.mnuShowStatusInformation->isChecked() && f.mnuShowControls->isChecked());
    EXPECT_FALSE(f.mnuShowSlider->isChecked() || f.mnuAlwaysOnTop->isChecked());
    EXPECT_FALSE(globals().gPlayListSequential || globals().gChangeIconAfterFile);
    EXPECT_TRUE(globals().gRandomIconWhileRunning);
    EXPECT_FALSE(f.Timer1->isActive());
    // Minimized wins over the stored "RemoveFromSystemTray".
    EXPECT_TRUE(f.minimizeChecked());
    EXPECT_FALSE(f.mnuRemoveFromSystemTray->isEnabled() || f.mnuRemoveFromSystemTray->isChecked());
    EXPECT_TRUE(f.timerChangeIcon->isActive());
    EXPECT_EQ(media.volume(), -2500);
    EXPECT_EQ(f.mImageIndex, 7);
    EXPECT_EQ(f.Image1->pixmap().toImage(), IconSet::pixmap(7, 16).toImage());

    // Status display and button bar, then the icon (moved down by its adjustment).
    EXPECT_EQ(f.MediaPlayer1View->geometry(), QRect(0, -2, 177, 20));
    EXPECT_EQ(f.MMControl1->geometry(), QRect(177, -3, 236, 20));
    EXPECT_EQ(f.Image1->geometry(), QRect(413, 1, 16, 16));
    EXPECT_EQ(f.y(), 3);
    EXPECT_FALSE(f.MediaPlayer1View->isHidden() || f.MMControl1->isHidden());
}

// The window is mapped before any of its controls is shown (the first control shown starts
// the accessibility bridge), and every show keeps the controls the layout chose.
TEST_F(Form1Test, TheStripMapsBeforeItsControlsShow)
{
    rig.options.putAll("Options", {"StatusAreaVisible=True", "ControlsVisible=True",
                                   "SliderVisible=False", "Minimized=False"});
    Form1& f = load();
    ASSERT_FALSE(f.isVisible());
    struct MappedAtShow : QObject {
        Form1* form;
        std::vector<bool> seen;
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::Show)
                seen.push_back(form->windowHandle() && form->windowHandle()->isVisible());
            return false;
        }
    } watcher;
    watcher.form = &f;
    f.MMControl1->installEventFilter(&watcher);
    f.MediaPlayer1View->installEventFilter(&watcher);
    for (int round = 0; round < 2; ++round) {
        f.show();
        EXPECT_TRUE(f.MediaPlayer1View->isVisible() && f.MMControl1->isVisible());
        EXPECT_TRUE(f.Slider1->isHidden());
        f.hide();
    }
    EXPECT_EQ(watcher.seen, std::vector<bool>(4, true));
}

TEST_F(Form1Test, IconIndexOutOfTheSetAndMinimizedWithoutATrayFallBack)
{
    seed("ImageIndex", "24");  // one past the icon set
    seed("Minimized", "True"); // no tray to come back from
    tray.availableAnswer = false;
    Form1& f = load();
    EXPECT_EQ(f.mImageIndex, 0);
    EXPECT_FALSE(f.mnuMinimize->isChecked());
    EXPECT_TRUE(f.mnuRemoveFromSystemTray->isEnabled());
    seed("ImageIndex", "-3");
    EXPECT_EQ(load().mImageIndex, 0);
}

TEST_F(Form1Test, ButtonBarSituations)
{
    // Engine off, nothing on the command line: only Eject works.
    load();
    EXPECT_EQ(buttons(), "--------E");

    // The engine plays from the start.
    globals().gAutoLoadMP3Locations = true;
    load();
    EXPECT_EQ(buttons().substr(0, 7), "PNYUBSX");
    EXPECT_FALSE(form->timerPlay->isActive());

    // A file came on the command line: the play-list player starts once events run, and
    // the placement timer runs even with Always On Top off.
    globals().gAutoLoadMP3Locations = false;
    globals().gCommandLineFile = true;
    globals().gPlayListEditCancelled = true;
    seed("AlwaysOnTop", "False");
    load();
    EXPECT_EQ(buttons().substr(0, 7), "PNYUBSX");
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_TRUE(globals().gPlayingPlayList);
    EXPECT_FALSE(globals().gPlayListEditCancelled);
    EXPECT_TRUE(form->playListPlayerPending());
    int runs = 0;
    form->onTimerPlay = [&] { ++runs; };
    ASSERT_TRUE(QTest::qWaitFor([&] { return runs == 1; })) << runs;

    // A disabled bar disables every button but keeps their switches.
    form->mmControl().applyPlayListStart();
    form->mmControl().set(11, false);
    form->mmControlChanged();
    EXPECT_EQ(buttons(), "---------");
    EXPECT_TRUE(form->mmControl().get(14));
}

TEST_F(Form1Test, ExitQuestionNoKeepsEverythingYesStoresTheWindowState)
{
    seed("Minimized", "True");
    Form1& f = load();
    f.show();
    media.setFileName("song.mp3");
    globals().gPlayingPlayList = true;
    globals().gPlayFirstEntry = true;
    const auto trayCalls = tray.calls.size();

    process.endThrows = false;
    dialogs.answers = {MsgAnswer::No};
    f.mnuExit->trigger();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    QCoreApplication::processEvents();
    EXPECT_FALSE(f.isUnloaded() || globals().gExitProgram || globals().gStopPlay || process.ended);
    EXPECT_EQ(media.playState(), MediaPlayer::Playing);
    EXPECT_EQ(tray.calls.size(), trayCalls);
    EXPECT_TRUE(f.Timer1->isActive());

    // The state at the moment of the exit is what gets stored.
    f.mnuShowSlider->trigger();
    f.mnuAlwaysOnTop->trigger();
    media.setVolume(-1234);
    dialogs.answers = {MsgAnswer::Yes};
    f.close();
    EXPECT_TRUE(f.isUnloaded() && !f.isVisible());
    EXPECT_TRUE(globals().gStopPlay && globals().gExitProgram);
    EXPECT_FALSE(globals().gPlayingPlayList || globals().gPlayFirstEntry);
    EXPECT_EQ(media.playState(), MediaPlayer::Stopped);
    EXPECT_GE(process.processEventsCalls, 2);
    EXPECT_FALSE(f.Timer1->isActive());
    EXPECT_EQ(rig.options.listed("Options",
                                 {"StatusAreaVisible", "ControlsVisible", "SliderVisible",
                                  "AlwaysOnTop", "Minimized", "RemoveFromSystemTray", "Volume"}),
              "False|False|True|False|True|False|-1234");
    // No window is left, but the program does not wait for Qt to notice that: it ends.
    EXPECT_FALSE(process.ended) << "the unload runs to its end first";
    EXPECT_TRUE(QTest::qWaitFor([&] { return process.ended; }, 2000));
}

TEST(HelpTest, OpensTheHelpPageOrSaysWhyNot)
{
    struct Case {
        const char* what;
        std::optional<std::string> browser;
        bool opens;
        std::vector<std::string> titles;
        std::size_t starts;
    };
    const std::vector<Case> cases = {
        {"opened", "web.desktop", true, {}, 1},
        {"no browser", std::nullopt, true, {"Browser Not Found"}, 0},
        {"browser fails", "web.desktop", false, {"URL Failed"}, 1},
    };
    for (const auto& c : cases) {
        quavix::testing::FormRig h;
        fakes::ScriptedBrowser& browser = h.rig.browser;
        browser.browser = c.browser;
        browser.opens = c.opens;
        h.load().mnuHelpOnLine->trigger();
        EXPECT_EQ(h.rig.dialogs.titles(), c.titles) << c.what;
        ASSERT_EQ(browser.started.size(), c.starts) << c.what;
        if (c.starts) {
            EXPECT_EQ(browser.started[0].first, "web.desktop");
            EXPECT_EQ(browser.started[0].second,
                      helpPageAddress(QCoreApplication::applicationDirPath().toStdString()));
        }
        EXPECT_FALSE(h.form->isUnloaded());
    }
}

TEST(HelpTest, ThePageIsBesideTheBuiltProgram)
{
    EXPECT_EQ(helpPageAddress("/opt/my apps/bin"), "file:///opt/my%20apps/share/quavix/help.html");
    EXPECT_EQ(helpPageAddress("/usr/bin/"), "file:///usr/share/quavix/help.html");
    EXPECT_TRUE(std::filesystem::exists(QUAVIX_BINARY_DIR "/src/share/quavix/help.html"));
}

TEST(AboutTest, ShowsTitleVersionAndTheIconInUseAndOkUnloads)
{
    quavix::testing::FormRig h;
    h.rig.process.appTitle = "Rock & Roll";
    Form1* form = &h.load();
    // The icon shown now, not the one from the start.
    form->setProgramIcon(IconSet::icon(5));

    form->mnuHelpAbout->trigger();
    frmAbout* box = frmAbout::loaded();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible() && !box->isModal());
    EXPECT_TRUE(box->Label1->text().startsWith("Rock && Roll " QUAVIX_VERSION))
        << box->Label1->text().toStdString();
    EXPECT_EQ(box->Image1->pixmap().toImage(), form->Image1->pixmap().toImage());
    EXPECT_NE(box->Image1->pixmap().toImage(), IconSet::pixmap(0, 16).toImage());

    // A second command shows the same box.
    form->mnuHelpAbout->trigger();
    EXPECT_EQ(frmAbout::loaded(), box);

    QPointer<frmAbout> gone = box;
    QTest::mouseClick(box->cmdOK, Qt::LeftButton);
    EXPECT_EQ(frmAbout::loaded(), nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return gone.isNull(); }));
    EXPECT_FALSE(form->isUnloaded());
}

} // namespace

// A kill by the session, a task manager or the terminal: the signal reaches the event loop,
// the main window closes without the exit question, saves its options and the program ends.
TEST(Termination, EachSignalClosesLikeASessionEndAndSavesTheOptions)
{
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
        quavix::testing::FormRig h;
        quavix::testing::Rig& rig = h.rig;
        rig.process.endThrows = false;
        installMainWindow();
        auto* form = dynamic_cast<Form1*>(mainWindow());
        ASSERT_NE(form, nullptr);
        form->show();
        form->mnuShowSlider->trigger();

        TerminationSignals termination([](int) { closeMainWindowWithoutAsking(); });
        ASSERT_TRUE(termination.installed());
        ASSERT_EQ(::raise(signal), 0);
        EXPECT_FALSE(form->isUnloaded()) << "nothing happens inside the signal handler";
        EXPECT_TRUE(QTest::qWaitFor([&] { return rig.process.ended; }, 2000)) << signal;
        EXPECT_TRUE(form->isUnloaded());
        EXPECT_TRUE(rig.dialogs.boxes.empty()) << "no exit question";
        EXPECT_EQ(rig.options.value("Options", "SliderVisible"), "True") << signal;
        delete form;
    }
    // While the exit question is open too: the toolkit ignores a close inside the close that
    // asks, so the signal was forgotten once the user answered No.
    {
        quavix::testing::FormRig h;
        quavix::testing::Rig& rig = h.rig;
        rig.process.endThrows = false;
        installMainWindow();
        auto* form = dynamic_cast<Form1*>(mainWindow());
        ASSERT_NE(form, nullptr);
        form->show();
        form->mnuShowSlider->trigger();
        TerminationSignals termination([](int) { closeMainWindowWithoutAsking(); });
        bool endedWhileAsking = false;
        rig.dialogs.answers = {MsgAnswer::No};
        rig.dialogs.whileOpen = [&](const fakes::ScriptedDialogs::Box& box) {
            if (box.title != "Exit")
                return;
            ::raise(SIGTERM);
            endedWhileAsking = QTest::qWaitFor([&] { return rig.process.ended; }, 2000);
        };
        form->mnuExit->trigger();
        EXPECT_TRUE(endedWhileAsking);
        EXPECT_TRUE(form->isUnloaded());
        EXPECT_EQ(rig.options.value("Options", "SliderVisible"), "True");
        delete form;
    }
    // Without a window there is nothing to save: the program ends at once.
    quavix::testing::Rig rig{false};
    rig.process.endThrows = false;
    closeMainWindowWithoutAsking();
    EXPECT_TRUE(rig.process.ended);
}
