// The strip riding the window in front, and the tray commands and tray mouse messages,
// on the main window against a scripted window system and a recording tray.
#include "mainwindow/Layout.h"
#include "platform/linux/QtTray.h"
#include "platform/linux/QtWindowSystem.h"
#include "support/FormRig.h"

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using namespace quavix;

namespace {

class PlacementTrayTest : public ::testing::Test, protected quavix::testing::FormRig {
protected:
    void SetUp() override { resetGlobals(); }
    void TearDown() override
    {
        if (form && form->mnuPopUp)
            form->mnuPopUp->hide();
    }
    Form1& load()
    {
        FormRig::load().show();
        return *form;
    }
    WindowSystem::Handle own() { return static_cast<WindowSystem::Handle>(form->winId()); }
};

TEST_F(PlacementTrayTest, TickPlacesTheStripOverTheWindowInFront)
{
    // The icon alone, 240 twips wide, at 15 twips per pixel: its right edge 855 twips left of
    // the window's, its top 80 twips below the window's top.
    struct Case {
        const char* what;
        PixelRect rect;
        bool visible;
        int up, left;
        float wantLeft, wantTop;
        PixelRect screen;
    };
    const PixelRect one{0, 0, 1920, 1080}, beside{1920, 120, 3200, 920};
    const Case cases[] = {
        {"caption of a plain window", {100, 50, 900, 600}, true, 0, 0, 12405, 830, one},
        {"maximised, top above the screen", {-4, -4, 1924, 1084}, true, 0, 0, 27765, 20, one},
        {"adjustments move down and right", {100, 50, 900, 600}, true, 45, 30, 12435, 875, one},
        {"hidden: screen top, no adjustment", {100, 50, 900, 600}, false, 45, 30, 27705, 0, one},
        {"hidden, the screen right of another", {0, 0, 9, 9}, false, 0, 0, 46905, 1800, beside},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        globals().gAdjustFontUpDown = c.up;
        globals().gAdjustFontLeftRight = c.left;
        windows.desktop = c.screen;
        Form1& f = load();
        windows.foreground = 77;
        windows.rects = {{77, c.rect}};
        windows.visible = c.visible;
        windows.topmostCalls.clear();
        f.Timer1_Timer();
        EXPECT_FLOAT_EQ(f.twipsForm.left, c.wantLeft);
        EXPECT_FLOAT_EQ(f.twipsForm.top, c.wantTop);
        EXPECT_EQ(f.pos(), QPoint(twipsToPixels(c.wantLeft, 15), twipsToPixels(c.wantTop, 15)));
        // A window's size follows the window system's answer, which comes as an event.
        EXPECT_TRUE(QTest::qWaitFor([&] { return f.size() == QSize(16, 16); }, 2000))
            << f.width() << "x" << f.height();
        EXPECT_EQ(windows.topmostCalls, c.visible ? std::vector<WindowSystem::Handle>{own()}
                                                  : std::vector<WindowSystem::Handle>{});
        form.reset();
    }
}

// This program runs with two screens (tests/CMakeLists.txt): the primary one right of the
// other and lower. With no window in front the strip stays where the layout parked it: at
// the primary screen's top, 57 px left of its right edge, on that screen.
TEST_F(PlacementTrayTest, TheStripParksOnThePrimaryScreenWhereverItLies)
{
    const QScreen* primary = QGuiApplication::primaryScreen();
    ASSERT_EQ(primary->geometry(), QRect(1920, 120, 1280, 800))
        << "needs QT_QPA_PLATFORM=offscreen:configfile=tests/support/two-screens.json";
    QtWindowSystem qt;
    services().windows = &qt;
    Form1& f = load();
    // The geometry follows the window system's answer, which comes as an event.
    const auto settlesAt = [&f](const QRect& wanted) {
        return QTest::qWaitFor([&] { return f.geometry() == wanted; }, 2000);
    };
    EXPECT_TRUE(settlesAt(QRect(1920 + 1280 - 57 - 16, 120, 16, 16)))
        << f.x() << "," << f.y() << " " << f.width() << "x" << f.height();
    f.mnuShowControls->trigger();
    f.Timer1_Timer();
    EXPECT_TRUE(settlesAt(QRect(1920 + 1280 - 57 - 252, 120, 252, 16)))
        << f.x() << "," << f.y() << " " << f.width() << "x" << f.height();
    EXPECT_EQ(QGuiApplication::screenAt(f.geometry().center()), primary);
    form.reset();
    services().windows = &windows;
}

TEST_F(PlacementTrayTest, NoWindowOurOwnOrAGoneOneLeavesTheStripButTheSliderFollows)
{
    Form1& f = load();
    rig.media.addItem("song.mp3", 300);
    rig.media.setFileName("song.mp3");
    f.setSliderMax(300);
    const QPoint parked = f.pos();
    const float left = f.twipsForm.left, top = f.twipsForm.top;

    struct Case {
        const char* what;
        bool ownWindow, gone;
        double position;
        int slider;
    };
    const Case cases[] = {
        {"no window in front", false, false, 12.5, 12},
        {"the strip itself", true, false, 13.5, 14},
        {"a window that has closed", false, true, 20.4, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        windows.foreground = c.ownWindow ? own() : c.gone ? 77 : 0;
        windows.rects = {{78, {100, 50, 900, 600}}};
        rig.media.setCurrentPosition(c.position);
        f.Timer1_Timer();
        EXPECT_EQ(f.pos(), parked);
        EXPECT_EQ(f.twipsForm.left, left);
        EXPECT_EQ(f.twipsForm.top, top);
        EXPECT_EQ(f.Slider1->value(), c.slider);
        EXPECT_TRUE(windows.topmostCalls.empty());
    }
}

// Always On Top on and off again is the strip placement end-to-end test's.
TEST_F(PlacementTrayTest, TrayMouseMessages)
{
    Form1& f = load();
    // Only a double click and a right release on our own icon act.
    for (auto [id, mouse] : {std::pair{61861u, 515u},
                             {61860u, 512u},
                             {61860u, 513u},
                             {61860u, 514u},
                             {61860u, 516u}}) {
        f.Msghook_Message(id, mouse);
        EXPECT_TRUE(f.Timer1->isActive());
        EXPECT_FALSE(f.popUpMenu()->isVisible());
    }
    // A right release opens the menu (the tray icon end-to-end test) and holds the strip.
    f.Msghook_Message(61860, 517);
    EXPECT_FALSE(f.Timer1->isActive());
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.popUpMenu()->isVisible(); }));
    f.popUpMenu()->hide();

    // Double click on the hidden strip shows it; the menu stays in the tray state.
    f.mnuMinimize->trigger();
    ASSERT_TRUE(f.isHidden());
    f.Msghook_Message(61860, 515);
    EXPECT_TRUE(f.isVisible());
    EXPECT_TRUE(f.mnuMinimize->isChecked());
    EXPECT_FALSE(f.Timer1->isActive());
    EXPECT_FALSE(f.mnuRemoveFromSystemTray->isEnabled());
    // The next Minimize leaves the tray state.
    f.mnuMinimize->trigger();
    EXPECT_FALSE(f.mnuMinimize->isChecked());
    EXPECT_TRUE(f.isVisible() && f.Timer1->isActive() && f.mnuRemoveFromSystemTray->isEnabled());

    // What the toolkit's activations become: a single click on an XEmbed tray is only the
    // first press of a double click; a StatusNotifierItem host's single activation is the
    // only one it sends.
    using R = QSystemTrayIcon::ActivationReason;
    EXPECT_EQ(QtTray::mouseMessageFor(R::Trigger, true), std::nullopt);
    EXPECT_EQ(QtTray::mouseMessageFor(R::Trigger, false), 515u);
    for (bool doubleClicks : {true, false}) {
        EXPECT_EQ(QtTray::mouseMessageFor(R::DoubleClick, doubleClicks), 515u);
        EXPECT_EQ(QtTray::mouseMessageFor(R::Context, doubleClicks), 517u);
        EXPECT_EQ(QtTray::mouseMessageFor(R::MiddleClick, doubleClicks), std::nullopt);
    }
}

TEST_F(PlacementTrayTest, MinimizeAndRemoveExcludeEachOther)
{
    Form1& f = load();
    auto state = [&] {
        return std::vector<bool>{f.isVisible(),
                                 tray.present,
                                 f.mnuMinimize->isChecked(),
                                 f.mnuMinimize->isEnabled(),
                                 f.mnuRemoveFromSystemTray->isChecked(),
                                 f.mnuRemoveFromSystemTray->isEnabled(),
                                 f.Timer1->isActive()};
    };
    //                         shown  tray   min.chk min.en rem.chk rem.en timer
    const std::vector<bool> normal{true, true, false, true, false, true, true};
    EXPECT_EQ(state(), normal);
    f.mnuMinimize->trigger();
    EXPECT_EQ(state(), (std::vector<bool>{false, true, true, true, false, false, false}));
    f.mnuMinimize->trigger();
    EXPECT_EQ(state(), normal);

    f.mnuRemoveFromSystemTray->trigger();
    EXPECT_EQ(state(), (std::vector<bool>{true, false, false, false, true, true, true}));
    EXPECT_EQ(tray.calls.back().first, Tray::Delete);
    // The menu opening must not make Minimize usable while the icon is away.
    f.popUpMenu()->popup(QPoint(0, 0));
    f.popUpMenu()->hide();
    EXPECT_FALSE(f.mnuMinimize->isEnabled());
    f.mnuRemoveFromSystemTray->trigger();
    EXPECT_EQ(state(), normal);
    EXPECT_EQ(tray.calls.back().first, Tray::Add);
    EXPECT_EQ(tray.calls.back().second.tip(), "Quavix");
}

TEST_F(PlacementTrayTest, WithoutATrayMinimizeIsDisabledUntilOneAppears)
{
    tray.availableAnswer = false;
    Form1& f = load();
    EXPECT_FALSE(f.mnuMinimize->isEnabled());
    // Even when fired, the command must not hide the strip with no way back.
    f.mnuMinimize_Click();
    EXPECT_TRUE(f.isVisible());
    EXPECT_FALSE(f.mnuMinimize->isChecked());
    EXPECT_TRUE(f.mnuRemoveFromSystemTray->isEnabled());

    tray.availableAnswer = true;
    f.popUpMenu()->popup(QPoint(0, 0));
    EXPECT_TRUE(f.mnuMinimize->isEnabled());
    f.popUpMenu()->hide();
    f.mnuMinimize->trigger();
    EXPECT_TRUE(f.isHidden() && f.mnuMinimize->isChecked());
}

} // namespace
