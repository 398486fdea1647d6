// The main window against fakes: load from stored options, the exit question and what an
// exit stores, the button bar situations, the menu, the layout commands and the tray icon.
#include "mainwindow/Form1.h"
#include "mainwindow/IconSet.h"
#include "mainwindow/MainWindowLoader.h"
#include "support/Rig.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using namespace quavix;

namespace {

class Form1Test : public ::testing::Test {
protected:
    quavix::testing::Rig rig{false};
    fakes::FakeMediaPlayer& media = rig.media;
    fakes::ScriptedDialogs& dialogs = rig.dialogs;
    fakes::ScriptedRandom& random = rig.random;
    fakes::FakeProcess& process = rig.process;
    fakes::RecordingTray tray;
    fakes::FakeWindowSystem windows;
    std::unique_ptr<Form1> form;

    void SetUp() override
    {
        resetGlobals();
        services().tray = &tray;
        services().windows = &windows;
        media.addItem("song.mp3", 300);
    }
    void TearDown() override { form.reset(); }

    void seed(const std::string& key, const std::string& value)
    {
        rig.options.put("Options", key, value);
    }
    std::string stored(const std::string& key) { return rig.options.value("Options", key); }
    Form1& load()
    {
        form = std::make_unique<Form1>();
        form->Form_Load();
        return *form;
    }
    std::vector<bool> transportButtons()
    {
        std::vector<bool> v;
        for (Button b : {Button::Prev, Button::Next, Button::Play, Button::Pause, Button::Back,
                         Button::Step, Button::Stop})
            v.push_back(form->MMControl1->buttonEnabled(b));
        return v;
    }
};

TEST_F(Form1Test, FirstLoadShowsOnlyTheIconAndKeepsDefaults)
{
    Form1& f = load();
    EXPECT_FALSE(f.mnuShowStatusInformation->isChecked() || f.mnuShowControls->isChecked() ||
                 f.mnuShowSlider->isChecked() || f.mnuMinimize->isChecked());
    EXPECT_TRUE(f.mnuAlwaysOnTop->isChecked());
    EXPECT_TRUE(f.mnuRemoveFromSystemTray->isEnabled());
    EXPECT_FALSE(f.mnuRemoveFromSystemTray->isChecked());
    EXPECT_TRUE(globals().gPlayListSequential);
    EXPECT_EQ(f.mImageIndex, 0);
    EXPECT_EQ(media.volume(), 0);

    // Only the icon: 16 pixels square, the strip 57 px from the screen's right edge.
    EXPECT_TRUE(f.Slider1->isHidden() && f.MediaPlayer1View->isHidden() &&
                f.MMControl1->isHidden());
    EXPECT_EQ(f.size(), QSize(16, 16));
    EXPECT_EQ(f.Image1->geometry(), QRect(0, 0, 16, 16));
    EXPECT_EQ(f.x(), 1920 - 57 - 16);
    EXPECT_EQ(f.windowTitle(), "Quavix");
    EXPECT_TRUE(f.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(f.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(f.windowType(), Qt::Tool);
    EXPECT_EQ(f.Timer1->interval(), 1000);
    EXPECT_TRUE(f.Timer1->isActive());
    EXPECT_FALSE(f.timerChangeIcon->isActive() || f.timerPlay->isActive());
    EXPECT_EQ(random.seeds, 0);

    // Tray icon: added at load, deleted at unload.
    ASSERT_EQ(tray.calls.size(), 1u);
    EXPECT_EQ(tray.calls[0].first, Tray::Add);
    EXPECT_EQ(tray.calls[0].second.hWnd, static_cast<std::uint32_t>(f.winId() & 0xffffffffu));
    EXPECT_EQ(tray.calls[0].second.tip(), "Quavix");
    dialogs.answers = {MsgAnswer::Yes};
    f.close();
    ASSERT_EQ(tray.calls.size(), 2u);
    EXPECT_EQ(tray.calls[1].first, Tray::Delete);
    EXPECT_EQ(tray.calls[1].second.hWnd, tray.calls[0].second.hWnd);
    EXPECT_FALSE(tray.present);
}

TEST_F(Form1Test, LoadRestoresStoredOptions)
{
    for (auto [key, value] :
         std::vector<std::pair<const char*, const char*>>{{"StatusAreaVisible", "True"},
                                                          {"ControlsVisible", "True"},
                                                          {"SliderVisible", "False"},
                                                          {"PlayListInSequentialOrder", "False"},
                                                          {"RandomSelectIconWhileRunning", "1"},
                                                          {"ChangeIconAfterFile", "0"},
                                                          {"ImageIndex", "7"},
                                                          {"AlwaysOnTop", "False"},
                                                          {"Minimized", "True"},
                                                          {"RemoveFromSystemTray", "True"},
                                                          {"Volume", "-2500"}})
        seed(key, value);
    globals().gAdjustFontUpDown = 45;
    globals().gAdjustIconUpDown = 15;
    Form1& f = load();

    EXPECT_TRUE(f.mnuShowStatusInformation->isChecked());
    EXPECT_TRUE(f.mnuShowControls->isChecked());
    EXPECT_FALSE(f.mnuShowSlider->isChecked());
    EXPECT_FALSE(globals().gPlayListSequential);
    EXPECT_TRUE(globals().gRandomIconWhileRunning);
    EXPECT_FALSE(globals().gChangeIconAfterFile);
    EXPECT_FALSE(f.mnuAlwaysOnTop->isChecked());
    EXPECT_FALSE(f.Timer1->isActive());
    // Minimized wins over the stored "RemoveFromSystemTray".
    EXPECT_TRUE(f.minimizeChecked());
    EXPECT_FALSE(f.mnuRemoveFromSystemTray->isEnabled() || f.mnuRemoveFromSystemTray->isChecked());
    EXPECT_TRUE(f.timerChangeIcon->isActive());
    EXPECT_EQ(f.timerChangeIcon->interval(), 60000);
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

TEST_F(Form1Test, IconIndexOutOfTheSetAndMinimizedWithoutATrayFallBack)
{
    seed("ImageIndex", "24");  // one past the icon set
    seed("Minimized", "True"); // no tray to come back from
    tray.availableAnswer = false;
    Form1& f = load();
    EXPECT_EQ(f.mImageIndex, 0);
    EXPECT_FALSE(f.mnuMinimize->isChecked());
    EXPECT_TRUE(f.mnuRemoveFromSystemTray->isEnabled());
    form.reset();
    seed("ImageIndex", "-3");
    EXPECT_EQ(load().mImageIndex, 0);

    // A random icon at start-up draws from the whole set.
    form.reset();
    seed("RandomSelectIconAtStartup", "1");
    random.draws = {0.99};
    EXPECT_EQ(load().mImageIndex, 23);
    EXPECT_EQ(random.seeds, 1);
}

TEST_F(Form1Test, ButtonBarSituations)
{
    // Engine off, nothing on the command line: only Eject works.
    load();
    EXPECT_EQ(transportButtons(), std::vector<bool>(7, false));
    EXPECT_TRUE(form->MMControl1->buttonEnabled(Button::Eject));
    EXPECT_FALSE(form->MMControl1->buttonEnabled(Button::Record));
    form.reset();

    // The engine plays from the start.
    globals().gAutoLoadMP3Locations = true;
    load();
    EXPECT_EQ(transportButtons(), std::vector<bool>(7, true));
    EXPECT_FALSE(form->timerPlay->isActive());
    form.reset();

    // A file came on the command line: the play-list player starts once events run, and
    // the placement timer runs even with Always On Top off.
    globals().gAutoLoadMP3Locations = false;
    globals().gCommandLineFile = true;
    globals().gPlayListEditCancelled = true;
    seed("AlwaysOnTop", "False");
    load();
    EXPECT_EQ(transportButtons(), std::vector<bool>(7, true));
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_TRUE(globals().gPlayingPlayList);
    EXPECT_FALSE(globals().gPlayListEditCancelled);
    EXPECT_TRUE(form->playListPlayerPending());
    int runs = 0;
    form->onTimerPlay = [&] { ++runs; };
    QTRY_COMPARE(runs, 1);

    // The stream situation, as the open-location dialog sets it.
    form->mmControl().applyStream();
    form->mmControlChanged();
    EXPECT_EQ(transportButtons(),
              (std::vector<bool>{false, false, true, false, false, false, true}));
    EXPECT_TRUE(form->MMControl1->buttonEnabled(Button::Eject));

    // A disabled bar disables every button but keeps their switches.
    form->mmControl().applyPlayListStart();
    form->mmControl().set(11, false);
    form->mmControlChanged();
    EXPECT_EQ(transportButtons(), std::vector<bool>(7, false));
    EXPECT_TRUE(form->mmControl().get(14));
}

TEST_F(Form1Test, ButtonBarTakesClicksOnlyOnEnabledButtons)
{
    Form1& f = load();
    f.mnuShowControls->trigger();
    f.show();
    QSignalSpy play(f.MMControl1, &MMControlBar::playClicked);
    QSignalSpy eject(f.MMControl1, &MMControlBar::ejectClicked);
    auto clickOn = [&](Button b) {
        QTest::mouseClick(f.MMControl1, Qt::LeftButton, {}, f.MMControl1->buttonRect(b).center());
    };
    clickOn(Button::Play); // disabled at load
    EXPECT_EQ(play.count(), 0);

    f.mmControl().applyPlayListStart();
    f.mmControlChanged();
    clickOn(Button::Play);
    EXPECT_EQ(play.count(), 1);
    EXPECT_EQ(eject.count(), 0);

    // Eject closes the window, which asks first; No keeps it.
    dialogs.answers = {MsgAnswer::No};
    clickOn(Button::Eject);
    EXPECT_EQ(eject.count(), 1);
    EXPECT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(f.isVisible());
    EXPECT_FALSE(f.isUnloaded());
}

TEST_F(Form1Test, PlayListStartIsOneDeferredRunThatCanBeCancelled)
{
    Form1& f = load();
    int runs = 0;
    f.onTimerPlay = [&] { ++runs; };
    f.startPlayListPlayer();
    f.startPlayListPlayer();
    EXPECT_EQ(runs, 0); // never inside the caller
    QTRY_COMPARE(runs, 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 1);

    f.startPlayListPlayer();
    f.cancelPlayListPlayer();
    EXPECT_FALSE(f.playListPlayerPending());
    f.startPlayListPlayer(); // a later start still runs: the cancel is not sticky
    QTRY_COMPARE(runs, 2);
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

    dialogs.answers = {MsgAnswer::No};
    f.mnuExit->trigger();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].title, "Exit");
    EXPECT_EQ(dialogs.boxes[0].text, "Are you sure you want to exit Quavix?");
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Question);
    EXPECT_EQ(dialogs.boxes[0].buttons, MsgButtons::YesNo);
    EXPECT_TRUE(f.isVisible());
    EXPECT_FALSE(f.isUnloaded() || globals().gExitProgram || globals().gStopPlay);
    EXPECT_EQ(media.playState(), MediaPlayer::Playing);
    EXPECT_EQ(tray.calls.size(), trayCalls);
    EXPECT_EQ(stored("AlwaysOnTop"), "<missing>");
    EXPECT_TRUE(f.Timer1->isActive());

    // The state at the moment of the exit is what gets stored.
    f.mnuShowSlider->trigger();
    f.mnuAlwaysOnTop->trigger();
    media.setVolume(-1234);
    dialogs.answers = {MsgAnswer::Yes};
    f.close();
    EXPECT_TRUE(f.isUnloaded());
    EXPECT_FALSE(f.isVisible());
    EXPECT_TRUE(globals().gStopPlay && globals().gExitProgram);
    EXPECT_FALSE(globals().gPlayingPlayList || globals().gPlayFirstEntry);
    EXPECT_EQ(media.playState(), MediaPlayer::Stopped);
    EXPECT_GE(process.processEventsCalls, 2);
    EXPECT_FALSE(f.Timer1->isActive());
    for (auto [key, value] :
         std::vector<std::pair<const char*, const char*>>{{"StatusAreaVisible", "False"},
                                                          {"ControlsVisible", "False"},
                                                          {"SliderVisible", "True"},
                                                          {"AlwaysOnTop", "False"},
                                                          {"Minimized", "True"},
                                                          {"RemoveFromSystemTray", "False"},
                                                          {"Volume", "-1234"}})
        EXPECT_EQ(stored(key), value) << key;

    // The stored state comes back on the next load.
    form.reset();
    Form1& again = load();
    EXPECT_TRUE(again.mnuShowSlider->isChecked());
    EXPECT_FALSE(again.mnuAlwaysOnTop->isChecked());
    EXPECT_EQ(media.volume(), -1234);
}

TEST_F(Form1Test, SessionEndClosesWithoutAsking)
{
    Form1& f = load();
    f.show();
    f.closeWithoutAsking(Form1::CloseReason::SessionEnding);
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_TRUE(f.isUnloaded());
    EXPECT_EQ(stored("AlwaysOnTop"), "True");

    // Every menu item, in order.
    auto captions = [](QMenu* m) {
        QStringList c;
        for (QAction* a : m->actions())
            c << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return c.join('|');
    };
    EXPECT_EQ(captions(f.mnuPopUp), "Play &File|Play &Location|Play List &Editor|-|&Play|P&ause|"
                                    "&Stop|Fas&t Forward|&Back|&Next|P&revious|-|&Options|-|"
                                    "&Minimize to System Tray|Remo&ve from System Tray|-|&Help|-|"
                                    "E&xit");
    EXPECT_EQ(captions(f.mnuOptions), "Show Status &Information|Show &Controls|Show &Slider|-|"
                                      "&Always On Top|-|&Properties");
    EXPECT_EQ(captions(f.mnuHelp), "&On-line Help|&About");
    EXPECT_TRUE(f.mnuMinimize->isCheckable());
}

TEST_F(Form1Test, RightClickOnTheIconOpensTheMenuAndStopsPlacement)
{
    Form1& f = load();
    f.show();
    ASSERT_TRUE(f.Timer1->isActive());

    QTest::mouseClick(f.Image1, Qt::LeftButton);
    QTest::mouseClick(f.Image1, Qt::MiddleButton);
    EXPECT_FALSE(f.mnuPopUp->isVisible());
    EXPECT_TRUE(f.Timer1->isActive());

    QTest::mousePress(f.Image1, Qt::RightButton);
    EXPECT_TRUE(f.mnuPopUp->isVisible());
    EXPECT_FALSE(f.Timer1->isActive());
    f.mnuPopUp->close(); // dismissed: the timer stays off
    EXPECT_FALSE(f.Timer1->isActive());
}

TEST_F(Form1Test, ShowCommandsRelayTheStripAndRestartPlacement)
{
    seed("AlwaysOnTop", "False");
    Form1& f = load();
    ASSERT_FALSE(f.Timer1->isActive());
    f.mnuShowControls->trigger();
    EXPECT_TRUE(f.mnuShowControls->isChecked());
    EXPECT_FLOAT_EQ(f.twipsForm.width, 3780);
    EXPECT_TRUE(f.Timer1->isActive());
    EXPECT_FALSE(f.mnuAlwaysOnTop->isChecked());

    f.mnuShowSlider_Click(); // the handler alone behaves like the menu item
    EXPECT_TRUE(f.mnuShowSlider->isChecked());
    EXPECT_FLOAT_EQ(f.twipsImage1.left, 6195);
    f.mnuShowControls->trigger();
    EXPECT_FALSE(f.mnuShowControls->isChecked());
    EXPECT_FLOAT_EQ(f.twipsForm.width, 2895);
    EXPECT_EQ(f.x() + f.width(), 1920 - 57); // the right edge stays put

    f.mnuAlwaysOnTop->trigger();
    EXPECT_TRUE(f.mnuAlwaysOnTop->isChecked());
    f.mnuAlwaysOnTop->trigger();
    EXPECT_FALSE(f.mnuAlwaysOnTop->isChecked() || f.Timer1->isActive());
}

TEST_F(Form1Test, LoaderCreatesAndLoadsTheWindowOnce)
{
    installMainWindow();
    MainWindowPort* port = mainWindow();
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port, mainWindow());
    auto* f = dynamic_cast<Form1*>(port);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(tray.calls.size(), 1u); // loaded: the tray icon is there
    port->setVisible(true);
    EXPECT_TRUE(f->isVisible());
    dialogs.answers = {MsgAnswer::Yes};
    f->close();
    EXPECT_EQ(mainWindowIfLoaded(), nullptr);
    delete f;
}

} // namespace
