#pragma once
// Form1: the program's main window, a borderless strip 240 twips high that stays on top
// and out of the task bar. From left to right it shows the position slider, the status
// display and the transport buttons (each optional) and always the program icon; every
// command sits in one pop-up menu, opened by a right click on the icon (or on the tray icon).
//
// Geometry is kept in twips (the strip's and each element's) and applied to the widgets in
// logical pixels, converted with services().windows->twipsPerPixelX/Y().
//
// Menu commands: one QAction per menu item, named as the item. A checkable item's handler
// (mnuX_Click) sees the check mark as it was before the click and changes it itself, so
// triggering the action and calling the handler are the same thing.
//
// Form1.cpp makes the strip and wires its controls, menu and timers, and holds its layout,
// mouse and timer handlers; Form1Lifecycle.cpp the load (start-up) and the unload (the end);
// Form1Port.cpp what the rest of the program asks of it (MainWindowPort); Form1Commands.cpp
// the commands that open another window or go to the play-list player; Form1Tray.cpp,
// Form1Placement.cpp, Form1Help.cpp and ProgramIcon.cpp one concern each.
#include "mainwindow/IconImage.h"
#include "platform/Tray.h"
#include "platform/WindowSystem.h"
#include "properties/IconChange.h"
#include "properties/PropertiesHost.h"
#include "startup/MediaControl.h"
#include "startup/Windows.h"
#include "startup/widgets/MMControlBar.h"
#include "startup/widgets/Slider1.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

namespace quavix {

class MediaPlayer;
class StatusDisplay;
struct Form1Options;

struct TwipsRect {
    float left = 0, top = 0, width = 0, height = 0;
};

class Form1 : public QWidget, public MainWindowPort, public PropertiesHost {
    Q_OBJECT
public:
    // Why a close was asked for: only the user's close asks for confirmation.
    enum class CloseReason { User, SessionEnding, TaskManager };

    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // ---- controls ---------------------------------------------------------------------
    PositionSlider* Slider1 = nullptr;
    QWidget* MediaPlayer1View = nullptr; // the media player's status display (a StatusDisplay)
    MMControlBar* MMControl1 = nullptr;
    IconImage* Image1 = nullptr;
    QTimer* Timer1 = nullptr;          // 1000 ms: placement and slider follow-up
    QTimer* timerPlay = nullptr;       // single shot, interval 0: the play-list player
    QTimer* timerChangeIcon = nullptr; // 60000 ms: icon change while running
    // The media player: *services().media.
    MediaPlayer& MediaPlayer1() const;

    // ---- the pop-up menu (mnuPopUp is its invisible root) -------------------------------
    // The menu, made at the first call: the commands below exist from the constructor on,
    // the menu that lists them (and mnuPopUp, mnuOptions, mnuHelp) only from then.
    QMenu* popUpMenu();
    QMenu* mnuPopUp = nullptr;
    QAction* mnuPlayFile = nullptr;
    QAction* mnuPlayLocation = nullptr;
    QAction* mnuPlayListEditor = nullptr;
    QAction* mnuFiller03 = nullptr;
    QAction* mnuPlay = nullptr;
    QAction* mnuPause = nullptr;
    QAction* mnuStop = nullptr;
    QAction* mnuFastForward = nullptr;
    QAction* mnuBack = nullptr;
    QAction* mnuNext = nullptr;
    QAction* mnuPrevious = nullptr;
    QAction* mnuFiller04 = nullptr;
    QMenu* mnuOptions = nullptr;
    QAction* mnuShowStatusInformation = nullptr;
    QAction* mnuShowControls = nullptr;
    QAction* mnuShowSlider = nullptr;
    QAction* mnuFiller7 = nullptr;
    QAction* mnuAlwaysOnTop = nullptr;
    QAction* menufiller02 = nullptr;
    QAction* mnuProperties = nullptr;
    QAction* mnuFiller5 = nullptr;
    QAction* mnuMinimize = nullptr;
    QAction* mnuRemoveFromSystemTray = nullptr;
    QAction* mnuFiller6 = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpOnLine = nullptr;
    QAction* mnuHelpAbout = nullptr;
    QAction* mnuFiller07 = nullptr;
    QAction* mnuExit = nullptr;

    // ---- state ------------------------------------------------------------------------
    // False while the user holds the slider with the mouse.
    bool mSliderFollowsPosition = true;
    // The tray icon record as last passed to the tray.
    NotifyIconData nidTrayIcon;
    // Index of the built-in icon choice in use (0 .. IconSet::Count-1).
    int mImageIndex = 0;
    // Every random icon choice draws from here (seeded once).
    IconDraws mIconDraws;
    // Geometry in twips: the strip (left and top relative to the screen) and its elements.
    TwipsRect twipsForm, twipsSlider1, twipsMediaPlayer1, twipsMMControl1, twipsImage1;

    // ---- lifecycle --------------------------------------------------------------------
    // The load handler: restores the options, lays the strip out, chooses the icon, adds
    // the tray icon, arms the timers. Run once, before the window is shown.
    void Form_Load();
    // Whether a close for this reason goes ahead (asks the user for CloseReason::User).
    bool Form_QueryUnload(CloseReason reason);
    // The unload handler: stops everything, saves the options, deletes the tray icon.
    void Form_Unload();
    // The options the unload stores, once per run: the unload saves them, and so does the
    // end of a process that the toolkit ends before the unload (the display went away).
    void saveUnloadOptions();
    bool isUnloaded() const { return m_unloaded; }
    // Closes without the question (the session ends, or the process is told to end), also
    // while the exit question is open: the window unloads and the program ends then,
    // whatever the answer would have been.
    void closeWithoutAsking(CloseReason reason = CloseReason::SessionEnding);

    // ---- layout -----------------------------------------------------------------------
    // Shows the checked elements side by side, sizes the strip to them and parks it with
    // its right edge 57 pixels left of the screen's right edge.
    void fAdjustFormWidth();
    // Moves the strip (twips, relative to the desktop); size and layout are kept. Where only
    // the compositor moves windows, it is told instead, and whether to keep the strip above.
    void moveStripTwips(float left, float top, bool above = false);

    // ---- program icon and tray ----------------------------------------------------------
    // Shows icon on Image1 and as the window's icon.
    void setProgramIcon(const QIcon& icon);
    // Fills nidTrayIcon and passes it to the tray with message (Tray::Add or Tray::Modify).
    void fUpdateTrayIcon(int message);
    // Passes nidTrayIcon as it is to the tray with the delete message.
    void deleteTrayIcon();
    // Whether the window may hide into the tray: only while a tray exists to bring it back.
    bool trayAvailable() const;
    // Minimize to System Tray is usable only while a tray exists; checked again whenever
    // the menu opens, so a tray that appears later makes it usable.
    void refreshMinimizeEnabled();
    // A random icon of the icon set in all three places, its index stored. False, after the
    // "Image Error" box, when the picture cannot serve as the window icon (nothing changed).
    // An open properties dialog lends its current pictures and stays open.
    bool fChangeProgramIcon();

    // ---- handlers ---------------------------------------------------------------------
    void mnuExit_Click();
    void mnuShowStatusInformation_Click();
    void mnuShowControls_Click();
    void mnuShowSlider_Click();
    void mnuAlwaysOnTop_Click();
    void Image1_MouseDown(Qt::MouseButton button, QPoint globalPos);
    void Timer1_Timer();
    // Caption-area placement of the strip, run first on each Timer1 tick.
    void placeInCaptionArea();
    void timerPlay_Timer();
    void timerChangeIcon_Timer();
    void Slider1_MouseDown();
    void Slider1_MouseUp();
    void Slider1_Click();
    void MMControl1_EjectClick();

    // Commands that open another window or go to the play-list player (Form1Commands.cpp),
    // the tray's (Form1Tray.cpp) and help's (Form1Help.cpp).
    void mnuPlayFile_Click();
    void mnuPlayLocation_Click();
    void mnuPlayListEditor_Click();
    void mnuProperties_Click();
    void mnuMinimize_Click();
    void mnuRemoveFromSystemTray_Click();
    void mnuHelpOnLine_Click();
    void mnuHelpAbout_Click();
    void MMControl1_PrevClick();
    void MMControl1_NextClick();
    void MMControl1_PlayClick();
    void MMControl1_PauseClick();
    void MMControl1_BackClick();
    void MMControl1_StepClick();
    void MMControl1_StopClick();
    void MediaPlayer1_PlayStateChange(int oldState, int newState, bool currentItem);
    void Image1_OLEDragDrop(const std::vector<std::string>& files);
    // The tray icon's mouse messages: wp the icon id, lp the mouse message (515, 517).
    void Msghook_Message(std::uint32_t wp, std::uint32_t lp);

    // The body of timerPlay_Timer, set by the play-list player.
    std::function<void()> onTimerPlay;
    // The body of timerChangeIcon_Timer, set by the icon code.
    std::function<void()> onTimerChangeIcon;

    // ---- MainWindowPort ----------------------------------------------------------------
    void setSliderMin(int seconds) override;
    void setSliderMax(int seconds) override;
    int sliderMax() const override;
    void setSliderEnabled(bool on) override;
    MMControlState& mmControl() override;
    void mmControlChanged() override;
    void startPlayListPlayer() override;
    void cancelPlayListPlayer() override;
    bool playListPlayerPending() const override;
    void disableTimers() override;
    void setTimer1Enabled(bool on) override;
    bool minimizeChecked() const override;
    void setVisible(bool visible) override;
    void bringToFront() override;
    void setImageToolTip(const std::string& text) override;
    void showStatusMessage(const std::string& text) override;

    // ---- PropertiesHost ----------------------------------------------------------------
    void applyProgramIcon(const QIcon& icon, int index) override;
    void refreshTrayIcon() override;
    void applyPlacement() override;
    void setUpIconTimer() override;

    // The pop-up menu opened from the keyboard or a screen reader, under the icon.
    void popUpMenuAtIcon();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The load handler's steps, in the order it takes them.
    void loadButtonBar();
    void loadGeometry();
    void loadLayout(const Form1Options& o);
    void loadIconOptions(const Form1Options& o);
    void loadProgramIcon(const Form1Options& o);
    void loadIconTimer();
    void loadTrayIcon();
    void loadWindowMarks(const Form1Options& o);
    void loadCommandLineFile();
    void loadMediaPlayer(int volume);
    // What the load leaves until the strip has painted at start-up (at once on later loads):
    // the window and tray icon in every size, the tray icon's add, Minimize's usability.
    void finishLoad();
    // After the first paint (or, hidden in the tray, after the load): the held start of
    // the play-list player, finishLoad(), then the program's other work queued for then.
    void runRestOfStartUp();
    // Runs work from a zero timer of its own: after the timers armed before it.
    void afterEvents(std::function<void()> work);

    void buildMenu();
    void connectControls();
    // Connects a menu item to its handler; see the class comment on checkable items.
    void connectCommand(QAction* action, void (Form1::*handler)());
    void applyGeometry();
    // The strip at left, top (twips) as the window system wants it: pixels, our size.
    PixelRect stripPixels(float left, float top) const;
    void processEventsOnce();
    // Ends the program at the next event pump, whatever loop is running then.
    void endAfterUnload();
    // Connects the icon timer and the play-list player's after-file hook to the icon change.
    void wireProgramIcon();
    double twipsPerPixelX() const;
    double twipsPerPixelY() const;

    StatusDisplay* m_statusDisplay = nullptr;
    bool m_unloaded = false;
    // The exit question is open (inside closeEvent).
    bool m_asking = false;
    bool m_optionsSaved = false;
    // Whether the tray commands' states leave Minimize to System Tray enabled.
    bool m_minimizeAllowed = true;
    CloseReason m_closeReason = CloseReason::User;
    enum class RestOfStartUp { Waiting, Scheduled, Done };
    // How long the rest of the start-up waits for the strip's first paint.
    static constexpr int PaintDeadlineMs = 2000;
    RestOfStartUp m_restOfStartUp = RestOfStartUp::Done;
    qint64 m_firstIconKey = 0; // the strip-only picture the load set
};

} // namespace quavix
