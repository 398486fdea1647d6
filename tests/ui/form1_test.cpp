// The main window against fakes: load from stored options, the exit question and what an
// exit stores, the button bar situations, the menu, the layout commands and the tray icon.
#include "fakes/Fakes.h"
#include "mainwindow/Form1.h"
#include "mainwindow/IconSet.h"
#include "mainwindow/MainWindowLoader.h"
#include "platform/posix/IniOptionsStore.h"
#include "startup/Globals.h"
#include "startup/Services.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using namespace quavix;

namespace {

class Form1Test : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::unique_ptr<IniOptionsStore> store;
    fakes::FakeMediaPlayer media;
    fakes::ScriptedDialogs dialogs;
    fakes::RecordingTray tray;
    fakes::FakeWindowSystem windows;
    fakes::ScriptedRandom random;
    fakes::FakeProcess process;
    std::unique_ptr<Form1> form;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        store = std::make_unique<IniOptionsStore>(dir.filePath("options.ini").toStdString());
        resetGlobals();
        Services& s = services();
        s = Services{};
        s.media = &media;
        s.options = store.get();
        s.dialogs = &dialogs;
        s.tray = &tray;
        s.windows = &windows;
        s.random = &random;
        s.process = &process;
        media.addItem("song.mp3", 300);
    }
    void TearDown() override
    {
        form.reset();
        setMainWindowLoader(nullptr);
        services() = Services{};
        resetGlobals();
    }

    void seed(const std::string& key, const std::string& value)
    {
        store->save("Quavix", "Options", key, value);
    }
    std::string stored(const std::string& key)
    {
        return store->get("Quavix", "Options", key, "<missing>");
    }
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
    // Geometry that should show on screen, in pixels at 15 twips per pixel.
    int px(float twips) { return static_cast<int>(std::nearbyint(twips / 15.0)); }
};

TEST_F(Form1Test, FirstLoadShowsOnlyTheIconAndKeepsDefaults)
{
    Form1& f = load();

    EXPECT_FALSE(f.mnuShowStatusInformation->isChecked());
    EXPECT_FALSE(f.mnuShowControls->isChecked());
    EXPECT_FALSE(f.mnuShowSlider->isChecked());
    EXPECT_TRUE(f.mnuAlwaysOnTop->isChecked());
    EXPECT_FALSE(f.mnuMinimize->isChecked());
    EXPECT_TRUE(f.mnuRemoveFromSystemTray->isEnabled());
    EXPECT_FALSE(f.mnuRemoveFromSystemTray->isChecked());
    EXPECT_TRUE(globals().gPlayListSequential);
    EXPECT_FALSE(globals().gExitProgram);
    EXPECT_TRUE(f.mSliderFollowsPosition);
    EXPECT_EQ(f.mImageIndex, 0);
    EXPECT_EQ(media.volume(), 0);

    // Only the icon: 240 twips square at the strip's left, strip 57 px from the right edge.
    EXPECT_TRUE(f.Slider1->isHidden());
    EXPECT_TRUE(f.MediaPlayer1View->isHidden());
    EXPECT_TRUE(f.MMControl1->isHidden());
    EXPECT_FLOAT_EQ(f.twipsForm.width, 240);
    EXPECT_FLOAT_EQ(f.twipsImage1.left, 0);
    EXPECT_FLOAT_EQ(f.twipsForm.left, 1920 * 15 - 240 - 57 * 15);
    EXPECT_EQ(f.size(), QSize(16, 16));
    EXPECT_EQ(f.Image1->geometry(), QRect(0, 0, 16, 16));
    EXPECT_EQ(f.x(), 1920 - 57 - 16);

    EXPECT_EQ(f.windowTitle(), "Quavix");
    EXPECT_TRUE(f.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(f.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(f.windowType(), Qt::Tool);

    EXPECT_EQ(f.Timer1->interval(), 1000);
    EXPECT_TRUE(f.Timer1->isActive());
    EXPECT_FALSE(f.timerChangeIcon->isActive());
    EXPECT_FALSE(f.timerPlay->isActive());
    EXPECT_EQ(random.seeds, 0);
}

TEST_F(Form1Test, LoadRestoresStoredOptions)
{
    seed("StatusAreaVisible", "True");
    seed("ControlsVisible", "True");
    seed("SliderVisible", "False");
    seed("PlayListInSequentialOrder", "False");
    seed("RandomSelectIconWhileRunning", "1");
    seed("ChangeIconAfterFile", "0");
    seed("ImageIndex", "7");
    seed("AlwaysOnTop", "False");
    seed("Minimized", "True");
    seed("RemoveFromSystemTray", "True");
    seed("Volume", "-2500");
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
    EXPECT_TRUE(f.mnuMinimize->isChecked());
    EXPECT_FALSE(f.mnuRemoveFromSystemTray->isEnabled());
    EXPECT_FALSE(f.mnuRemoveFromSystemTray->isChecked());
    EXPECT_TRUE(f.minimizeChecked());
    EXPECT_TRUE(f.timerChangeIcon->isActive());
    EXPECT_EQ(f.timerChangeIcon->interval(), 60000);
    EXPECT_EQ(media.volume(), -2500);

    EXPECT_EQ(f.mImageIndex, 7);
    EXPECT_EQ(f.Image1->pixmap().toImage(), IconSet::pixmap(7, 16).toImage());

    // Status display and button bar, then the icon (moved down by its adjustment).
    EXPECT_FLOAT_EQ(f.twipsForm.width, 6435);
    EXPECT_FLOAT_EQ(f.twipsMediaPlayer1.left, 0);
    EXPECT_FLOAT_EQ(f.twipsMMControl1.left, 2655);
    EXPECT_FLOAT_EQ(f.twipsImage1.left, 6195);
    EXPECT_EQ(f.MMControl1->geometry(), QRect(177, -3, 236, 20));
    EXPECT_EQ(f.MediaPlayer1View->geometry(), QRect(0, -2, 177, 20));
    EXPECT_EQ(f.Image1->geometry(), QRect(413, 1, 16, 16));
    EXPECT_EQ(f.y(), 3);
    EXPECT_FALSE(f.MediaPlayer1View->isHidden());
    EXPECT_FALSE(f.MMControl1->isHidden());
}

TEST_F(Form1Test, UnusableStoredValuesFallBackSafely)
{
    seed("ImageIndex", "24"); // one past the icon set
    seed("Volume", "loud");
    seed("AlwaysOnTop", "maybe");
    seed("Minimized", "True"); // no tray to come back from
    tray.availableAnswer = false;

    Form1& f = load();
    EXPECT_EQ(f.mImageIndex, 0);
    EXPECT_EQ(media.volume(), 0);
    EXPECT_TRUE(f.mnuAlwaysOnTop->isChecked());
    EXPECT_FALSE(f.mnuMinimize->isChecked());
    EXPECT_TRUE(f.mnuRemoveFromSystemTray->isEnabled());

    form.reset();
    seed("ImageIndex", "-3");
    EXPECT_EQ(load().mImageIndex, 0);
    form.reset();
    seed("ImageIndex", "abc");
    EXPECT_EQ(load().mImageIndex, 0);
}

TEST_F(Form1Test, RandomIconAtStartupDrawsFromTheWholeSet)
{
    seed("RandomSelectIconAtStartup", "1");
    seed("ImageIndex", "3");
    random.draws = {0.99};
    EXPECT_EQ(load().mImageIndex, 23);
    EXPECT_EQ(random.seeds, 1);

    form.reset();
    random.draws = {0.5};
    EXPECT_EQ(load().mImageIndex, 12);
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

TEST_F(Form1Test, ExitQuestionNoKeepsEverything)
{
    seed("Volume", "-100");
    Form1& f = load();
    f.show();
    media.setFileName("song.mp3");
    const auto trayCalls = tray.calls.size();

    dialogs.answers = {MsgAnswer::No};
    f.mnuExit->trigger();

    ASSERT_EQ(dialogs.boxes.size(), 1u);
    const auto& box = dialogs.boxes[0];
    EXPECT_EQ(box.title, "Exit");
    EXPECT_EQ(box.text, "Are you sure you want to exit Quavix?");
    EXPECT_EQ(box.icon, MsgIcon::Question);
    EXPECT_EQ(box.buttons, MsgButtons::YesNo);

    EXPECT_TRUE(f.isVisible());
    EXPECT_FALSE(f.isUnloaded());
    EXPECT_FALSE(globals().gExitProgram);
    EXPECT_FALSE(globals().gStopPlay);
    EXPECT_EQ(media.playState(), MediaPlayer::Playing);
    EXPECT_EQ(tray.calls.size(), trayCalls);
    EXPECT_TRUE(tray.present);
    EXPECT_EQ(stored("AlwaysOnTop"), "<missing>");
    EXPECT_TRUE(f.Timer1->isActive());
}

TEST_F(Form1Test, ExitQuestionYesStoresTheWindowState)
{
    seed("Minimized", "True");
    Form1& f = load();
    f.show();
    media.setFileName("song.mp3");
    globals().gPlayingPlayList = true;
    globals().gPlayFirstEntry = true;

    // The state at the moment of the exit is what gets stored.
    f.mnuShowSlider->trigger();
    f.mnuAlwaysOnTop->trigger();
    media.setVolume(-1234);

    dialogs.answers = {MsgAnswer::Yes};
    f.close();

    EXPECT_TRUE(f.isUnloaded());
    EXPECT_FALSE(f.isVisible());
    EXPECT_TRUE(globals().gStopPlay);
    EXPECT_TRUE(globals().gExitProgram);
    EXPECT_FALSE(globals().gPlayingPlayList);
    EXPECT_FALSE(globals().gPlayFirstEntry);
    EXPECT_EQ(media.playState(), MediaPlayer::Stopped);
    EXPECT_GE(process.processEventsCalls, 2);
    EXPECT_FALSE(f.Timer1->isActive());

    EXPECT_EQ(stored("StatusAreaVisible"), "False");
    EXPECT_EQ(stored("ControlsVisible"), "False");
    EXPECT_EQ(stored("SliderVisible"), "True");
    EXPECT_EQ(stored("AlwaysOnTop"), "False");
    EXPECT_EQ(stored("Minimized"), "True");
    EXPECT_EQ(stored("RemoveFromSystemTray"), "False");
    EXPECT_EQ(stored("Volume"), "-1234");

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
}

TEST_F(Form1Test, TrayIconAddedAtLoadAndDeletedAtUnload)
{
    Form1& f = load();
    ASSERT_EQ(tray.calls.size(), 1u);
    EXPECT_EQ(tray.calls[0].first, Tray::Add);
    const NotifyIconData added = tray.calls[0].second;
    EXPECT_EQ(added.hWnd, static_cast<std::uint32_t>(f.winId() & 0xffffffffu));
    EXPECT_EQ(added.uID, 61860u);
    EXPECT_EQ(added.uFlags, 7u);
    EXPECT_EQ(added.uCallbackMessage, 16384u);
    EXPECT_EQ(added.tip(), "Quavix");
    EXPECT_TRUE(tray.present);

    dialogs.answers = {MsgAnswer::Yes};
    f.close();
    ASSERT_EQ(tray.calls.size(), 2u);
    EXPECT_EQ(tray.calls[1].first, Tray::Delete);
    EXPECT_EQ(tray.calls[1].second.hWnd, added.hWnd);
    EXPECT_EQ(tray.calls[1].second.uID, added.uID);
    EXPECT_FALSE(tray.present);
}

TEST_F(Form1Test, MenuHoldsEveryItemInOrder)
{
    Form1& f = load();
    auto captions = [](QMenu* m) {
        QStringList c;
        for (QAction* a : m->actions())
            c << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return c;
    };
    EXPECT_EQ(captions(f.mnuPopUp), (QStringList{"Play &File",
                                                 "Play &Location",
                                                 "Play List &Editor",
                                                 "-",
                                                 "&Play",
                                                 "P&ause",
                                                 "&Stop",
                                                 "Fas&t Forward",
                                                 "&Back",
                                                 "&Next",
                                                 "P&revious",
                                                 "-",
                                                 "&Options",
                                                 "-",
                                                 "&Minimize to System Tray",
                                                 "Remo&ve from System Tray",
                                                 "-",
                                                 "&Help",
                                                 "-",
                                                 "E&xit"}));
    EXPECT_EQ(captions(f.mnuOptions),
              (QStringList{"Show Status &Information", "Show &Controls", "Show &Slider", "-",
                           "&Always On Top", "-", "&Properties"}));
    EXPECT_EQ(captions(f.mnuHelp), (QStringList{"&On-line Help", "&About"}));
    EXPECT_FALSE(f.mnuPlay->isCheckable());
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
    EXPECT_FLOAT_EQ(f.twipsImage1.left, 3540);
    EXPECT_TRUE(f.Timer1->isActive());
    EXPECT_FALSE(f.mnuAlwaysOnTop->isChecked());

    f.mnuShowSlider_Click(); // the handler alone behaves like the menu item
    EXPECT_TRUE(f.mnuShowSlider->isChecked());
    EXPECT_FLOAT_EQ(f.twipsMMControl1.left, 2655);
    EXPECT_FLOAT_EQ(f.twipsImage1.left, 6195);

    f.mnuShowControls->trigger();
    EXPECT_FALSE(f.mnuShowControls->isChecked());
    EXPECT_FLOAT_EQ(f.twipsMMControl1.left, 0);
    EXPECT_FLOAT_EQ(f.twipsImage1.left, 2655);
    EXPECT_FLOAT_EQ(f.twipsForm.width, 2895);
    // The right edge stays 57 pixels from the screen's.
    EXPECT_EQ(f.x() + f.width(), 1920 - 57);

    f.mnuAlwaysOnTop->trigger();
    EXPECT_TRUE(f.mnuAlwaysOnTop->isChecked());
    f.mnuAlwaysOnTop->trigger();
    EXPECT_FALSE(f.mnuAlwaysOnTop->isChecked());
    EXPECT_FALSE(f.Timer1->isActive());
}

TEST_F(Form1Test, SliderFollowsPlaybackUnlessHeld)
{
    Form1& f = load();
    media.setFileName("song.mp3");
    f.setSliderMax(300);
    media.setCurrentPosition(12.5);
    f.Timer1_Timer();
    EXPECT_EQ(f.Slider1->value(), 12);
    media.setCurrentPosition(13.5);
    f.Timer1_Timer();
    EXPECT_EQ(f.Slider1->value(), 14);

    f.mnuShowSlider->trigger();
    f.show();
    const QPoint onGroove(f.Slider1->width() * 3 / 4, f.Slider1->height() / 2);
    QTest::mousePress(f.Slider1, Qt::LeftButton, {}, onGroove);
    EXPECT_FALSE(f.mSliderFollowsPosition);
    const int held = f.Slider1->value();
    EXPECT_GT(held, 150); // the press moved the handle to the press point
    f.Timer1_Timer();
    EXPECT_EQ(f.Slider1->value(), held);
    QTest::mouseRelease(f.Slider1, Qt::LeftButton, {}, onGroove);
    EXPECT_TRUE(f.mSliderFollowsPosition);
    EXPECT_DOUBLE_EQ(media.currentPosition(), held); // letting go seeks there
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
