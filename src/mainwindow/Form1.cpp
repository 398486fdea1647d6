#include "Form1.h"

#include "engine/PlayListPlayer.h"
#include "mainwindow/Layout.h"
#include "mainwindow/ScreenSize.h"
#include "mainwindow/StripX11.h"
#include "mainwindow/TrayIcon.h"
#include "startup/Globals.h"
#include "startup/Services.h"
#include "startup/widgets/StatusDisplay.h"
#include "startup/widgets/WidgetAccessibility.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QSessionManager>
#include <algorithm>
#include <cmath>

namespace quavix {

Form1::Form1(QWidget* parent) : QWidget(parent)
{
    Qt::WindowFlags flags = Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool;
    if (services().windows && services().windows->bypassWindowManager())
        flags |= Qt::X11BypassWindowManagerHint;
    setWindowFlags(flags);
    // Qt leaves tool windows out of "the last window closed ends the program"; the strip is
    // the program's main window, so its close counts.
    setAttribute(Qt::WA_QuitOnClose, true);
    setWindowTitle(QString::fromUtf8(ProgramTitle));
    setAutoFillBackground(true);

    // Screen readers see the painted controls as the buttons and text they show.
    installWidgetAccessibility();
    IconImage::installAccessibility();
    // The strip takes the keyboard when the user gives it (a click, the window switcher),
    // never by itself: it must not steal it from the window it rides on.
    setAttribute(Qt::WA_ShowWithoutActivating);

    Slider1 = new PositionSlider(this);
    Slider1->setAccessibleName(QStringLiteral("Position"));
    m_statusDisplay = new StatusDisplay(*services().media, this);
    MediaPlayer1View = m_statusDisplay;
    MMControl1 = new MMControlBar(this);
    Image1 = new IconImage(this);

    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    // A compositor that tells of changes gets the strip there at once, not at the next tick;
    // but only while the tick itself would place it.
    if (WindowSystem* windows = services().windows)
        windows->setChangeHandler([this] {
            if (Timer1->isActive())
                placeInCaptionArea();
        });
    timerPlay = new QTimer(this);
    timerPlay->setSingleShot(true);
    timerPlay->setInterval(0);
    timerChangeIcon = new QTimer(this);

    buildMenu();
    connectControls();
    onTimerPlay = [] { PlayListPlayer::run(); };
    wireProgramIcon();

    prepareKeepOffTaskbar(); // answered while the window is made
    winId();
}

Form1::~Form1()
{
    if (WindowSystem* windows = services().windows)
        windows->setChangeHandler(nullptr);
    services().tray->setCallback(nullptr);
    PlayListPlayer::setIconChangeAfterFile(nullptr);
    if (!m_unloaded)
        services().media->setPlayStateHandler(nullptr);
    if (mainWindowIfLoaded() == this)
        mainWindowUnloaded();
}

MediaPlayer& Form1::MediaPlayer1() const
{
    return *services().media;
}

void Form1::buildMenu()
{
    // The commands exist from the start (buttons, the tray and the desktop's media controls
    // use them); the menu that lists them is made when first needed or after the first paint.
    auto command = [this](const char* text) { return new QAction(QString::fromUtf8(text), this); };
    auto separator = [this] {
        auto* a = new QAction(this);
        a->setSeparator(true);
        return a;
    };
    mnuPlayFile = command("Play &File");
    mnuPlayLocation = command("Play &Location");
    mnuPlayListEditor = command("Play List &Editor");
    mnuFiller03 = separator();
    mnuPlay = command("&Play");
    mnuPause = command("P&ause");
    mnuStop = command("&Stop");
    mnuFastForward = command("Fas&t Forward");
    mnuBack = command("&Back");
    mnuNext = command("&Next");
    mnuPrevious = command("P&revious");
    mnuFiller04 = separator();
    mnuShowStatusInformation = command("Show Status &Information");
    mnuShowControls = command("Show &Controls");
    mnuShowSlider = command("Show &Slider");
    mnuFiller7 = separator();
    mnuAlwaysOnTop = command("&Always On Top");
    menufiller02 = separator();
    mnuProperties = command("&Properties");
    mnuFiller5 = separator();
    mnuMinimize = command("&Minimize to System Tray");
    mnuRemoveFromSystemTray = command("Remo&ve from System Tray");
    mnuFiller6 = separator();
    mnuHelpOnLine = command("&On-line Help");
    mnuHelpAbout = command("&About");
    mnuFiller07 = separator();
    mnuExit = command("E&xit");

    for (QAction* a : {mnuShowStatusInformation, mnuShowControls, mnuShowSlider, mnuAlwaysOnTop,
                       mnuMinimize, mnuRemoveFromSystemTray})
        a->setCheckable(true);
}

QMenu* Form1::popUpMenu()
{
    if (mnuPopUp)
        return mnuPopUp;
    mnuPopUp = new QMenu(QStringLiteral("PopUpMenu"), this);
    mnuPopUp->addActions({mnuPlayFile, mnuPlayLocation, mnuPlayListEditor, mnuFiller03, mnuPlay,
                          mnuPause, mnuStop, mnuFastForward, mnuBack, mnuNext, mnuPrevious,
                          mnuFiller04});
    mnuOptions = mnuPopUp->addMenu(QStringLiteral("&Options"));
    mnuOptions->addActions({mnuShowStatusInformation, mnuShowControls, mnuShowSlider, mnuFiller7,
                            mnuAlwaysOnTop, menufiller02, mnuProperties});
    mnuPopUp->addActions({mnuFiller5, mnuMinimize, mnuRemoveFromSystemTray, mnuFiller6});
    mnuHelp = mnuPopUp->addMenu(QStringLiteral("&Help"));
    mnuHelp->addActions({mnuHelpOnLine, mnuHelpAbout});
    mnuPopUp->addActions({mnuFiller07, mnuExit});
    // Whether Minimize is usable asks the tray: finishLoad() and every opening of the menu.
    connect(mnuPopUp, &QMenu::aboutToShow, this, &Form1::refreshMinimizeEnabled);
    return mnuPopUp;
}

void Form1::connectCommand(QAction* action, void (Form1::*handler)())
{
    connect(action, &QAction::triggered, this, [this, action, handler](bool checked) {
        // Qt has already flipped a checkable item; the handler decides the mark itself.
        if (action->isCheckable()) {
            QSignalBlocker block(action);
            action->setChecked(!checked);
        }
        (this->*handler)();
    });
}

void Form1::connectControls()
{
    connectCommand(mnuPlayFile, &Form1::mnuPlayFile_Click);
    connectCommand(mnuPlayLocation, &Form1::mnuPlayLocation_Click);
    connectCommand(mnuPlayListEditor, &Form1::mnuPlayListEditor_Click);
    // A menu item runs the same handler as its button; Back rewinds like the Back button.
    connectCommand(mnuBack, &Form1::MMControl1_BackClick);
    connectCommand(mnuPlay, &Form1::MMControl1_PlayClick);
    connectCommand(mnuPause, &Form1::MMControl1_PauseClick);
    connectCommand(mnuStop, &Form1::MMControl1_StopClick);
    connectCommand(mnuFastForward, &Form1::MMControl1_StepClick);
    connectCommand(mnuNext, &Form1::MMControl1_NextClick);
    connectCommand(mnuPrevious, &Form1::MMControl1_PrevClick);
    connectCommand(mnuShowStatusInformation, &Form1::mnuShowStatusInformation_Click);
    connectCommand(mnuShowControls, &Form1::mnuShowControls_Click);
    connectCommand(mnuShowSlider, &Form1::mnuShowSlider_Click);
    connectCommand(mnuAlwaysOnTop, &Form1::mnuAlwaysOnTop_Click);
    connectCommand(mnuProperties, &Form1::mnuProperties_Click);
    connectCommand(mnuMinimize, &Form1::mnuMinimize_Click);
    connectCommand(mnuRemoveFromSystemTray, &Form1::mnuRemoveFromSystemTray_Click);
    connectCommand(mnuHelpOnLine, &Form1::mnuHelpOnLine_Click);
    connectCommand(mnuHelpAbout, &Form1::mnuHelpAbout_Click);
    connectCommand(mnuExit, &Form1::mnuExit_Click);

    // The buttons fire the menu's actions, so every transport command has one entry point.
    connect(MMControl1, &MMControlBar::prevClicked, mnuPrevious, &QAction::trigger);
    connect(MMControl1, &MMControlBar::nextClicked, mnuNext, &QAction::trigger);
    connect(MMControl1, &MMControlBar::playClicked, mnuPlay, &QAction::trigger);
    connect(MMControl1, &MMControlBar::pauseClicked, mnuPause, &QAction::trigger);
    connect(MMControl1, &MMControlBar::backClicked, mnuBack, &QAction::trigger);
    connect(MMControl1, &MMControlBar::stepClicked, mnuFastForward, &QAction::trigger);
    connect(MMControl1, &MMControlBar::stopClicked, mnuStop, &QAction::trigger);
    connect(MMControl1, &MMControlBar::ejectClicked, this, &Form1::MMControl1_EjectClick);

    connect(Slider1, &PositionSlider::mouseDown, this, &Form1::Slider1_MouseDown);
    connect(Slider1, &PositionSlider::mouseUp, this, &Form1::Slider1_MouseUp);
    connect(Slider1, &PositionSlider::clicked, this, &Form1::Slider1_Click);

    connect(Image1, &IconImage::mouseDown, this, &Form1::Image1_MouseDown);
    connect(Image1, &IconImage::menuRequested, this, &Form1::popUpMenuAtIcon);
    connect(m_statusDisplay, &StatusDisplay::changed, this, [this] {
        // The slider's value is seconds; the reader also hears the times as shown.
        Slider1->setAccessibleDescription(m_statusDisplay->timeText());
    });
    connect(Image1, &IconImage::filesDropped, this,
            [this](const std::vector<std::string>& files) { Image1_OLEDragDrop(files); });

    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    connect(timerPlay, &QTimer::timeout, this, &Form1::timerPlay_Timer);
    connect(timerChangeIcon, &QTimer::timeout, this, &Form1::timerChangeIcon_Timer);

    // Logging out or shutting down closes the window without the exit question.
    connect(qApp, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager&) { closeWithoutAsking(CloseReason::SessionEnding); });
}

double Form1::twipsPerPixelX() const
{
    double t = services().windows->twipsPerPixelX();
    return t > 0 ? t : 15.0;
}

double Form1::twipsPerPixelY() const
{
    double t = services().windows->twipsPerPixelY();
    return t > 0 ? t : 15.0;
}

void Form1::processEventsOnce()
{
    services().process->processEvents();
}

void Form1::showEvent(QShowEvent* event)
{
    // Before every map of ours (Qt maps after this event): the task bar and pager flags
    // must be on the window when the manager first sees it, and a manager drops them from
    // a window it unmapped.
    if (!event->spontaneous())
        keepOffTaskbar(this);
    QWidget::showEvent(event);
}

void Form1::mnuExit_Click()
{
    close();
}

void Form1::MMControl1_EjectClick()
{
    close();
}

// ---- layout ------------------------------------------------------------------------------

void Form1::fAdjustFormWidth()
{
    const StripLayout l =
        layOutStrip(mnuShowSlider->isChecked(), mnuShowStatusInformation->isChecked(),
                    mnuShowControls->isChecked(), twipsImage1.width);
    Slider1->setVisible(l.sliderVisible);
    MMControl1->setVisible(l.controlsVisible);
    MediaPlayer1View->setVisible(l.statusVisible);
    twipsSlider1.left = l.sliderLeft;
    twipsMediaPlayer1.left = l.statusLeft;
    twipsMMControl1.left = l.controlsLeft;
    twipsImage1.left = l.imageLeft;
    twipsForm.width = l.width;
    twipsForm.left =
        stripLeftFor(clsScreenSize().fGetScreenRect().right, twipsPerPixelX(), l.width);
    applyGeometry();
}

void Form1::moveStripTwips(float left, float top, bool above)
{
    twipsForm.left = left;
    twipsForm.top = top;
    const PixelRect at = stripPixels(left, top);
    WindowSystem* windows = services().windows;
    if (!windows || !windows->placeStrip(static_cast<WindowSystem::Handle>(winId()), at, above))
        move(at.left, at.top);
}

PixelRect Form1::stripPixels(float left, float top) const
{
    const double tx = twipsPerPixelX(), ty = twipsPerPixelY();
    const int x = twipsToPixels(left, tx), y = twipsToPixels(top, ty);
    return {x, y, x + twipsToPixels(twipsForm.width, tx), y + twipsToPixels(twipsForm.height, ty)};
}

void Form1::applyGeometry()
{
    const double tx = twipsPerPixelX(), ty = twipsPerPixelY();
    auto place = [tx, ty](QWidget* w, const TwipsRect& r) {
        w->setGeometry(twipsToPixels(r.left, tx), twipsToPixels(r.top, ty),
                       twipsToPixels(r.width, tx), twipsToPixels(r.height, ty));
    };
    place(Slider1, twipsSlider1);
    place(MediaPlayer1View, twipsMediaPlayer1);
    place(MMControl1, twipsMMControl1);
    place(Image1, twipsImage1);
    const QSize size(twipsToPixels(twipsForm.width, tx), twipsToPixels(twipsForm.height, ty));
    setFixedSize(size);
    // A compositor that places the strip learns its new size here, and where it parks.
    moveStripTwips(twipsForm.left, twipsForm.top);
}

void Form1::mnuShowStatusInformation_Click()
{
    mnuShowStatusInformation->setChecked(!mnuShowStatusInformation->isChecked());
    fAdjustFormWidth();
    setTimer1Enabled(true);
}

void Form1::mnuShowControls_Click()
{
    mnuShowControls->setChecked(!mnuShowControls->isChecked());
    fAdjustFormWidth();
    setTimer1Enabled(true);
}

void Form1::mnuShowSlider_Click()
{
    mnuShowSlider->setChecked(!mnuShowSlider->isChecked());
    fAdjustFormWidth();
    setTimer1Enabled(true);
}

void Form1::mnuAlwaysOnTop_Click()
{
    const bool on = !mnuAlwaysOnTop->isChecked();
    mnuAlwaysOnTop->setChecked(on);
    setTimer1Enabled(on);
}

// ---- icon and tray -----------------------------------------------------------------------

void Form1::setProgramIcon(const QIcon& icon)
{
    Image1->setIcon(icon);
    setWindowIcon(icon);
}

void Form1::fUpdateTrayIcon(int message)
{
    nidTrayIcon = trayicon::makeRecord(static_cast<std::uintptr_t>(winId()), ProgramTitle);
    services().tray->notify(message, nidTrayIcon);
}

void Form1::deleteTrayIcon()
{
    services().tray->notify(Tray::Delete, nidTrayIcon);
}

bool Form1::trayAvailable() const
{
    return services().tray->available();
}

// ---- mouse and timers --------------------------------------------------------------------

void Form1::popUpMenuAtIcon()
{
    Timer1->stop();
    QMenu* menu = popUpMenu();
    menu->popup(Image1->mapToGlobal(QPoint(0, Image1->height())));
    // Opened without the mouse (a key, a screen reader's action): the first command has the
    // focus, so that the reader announces it and the arrow keys start from it.
    for (QAction* action : menu->actions())
        if (action->isEnabled() && action->isVisible() && !action->isSeparator()) {
            menu->setActiveAction(action);
            break;
        }
}

void Form1::keyPressEvent(QKeyEvent* event)
{
    // The keyboard's way to the menu: the Menu key, or Shift+F10.
    if (event->key() == Qt::Key_Menu ||
        (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
        popUpMenuAtIcon();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Form1::Image1_MouseDown(Qt::MouseButton button, QPoint globalPos)
{
    if (button != Qt::RightButton)
        return;
    Timer1->stop();
    popUpMenu()->popup(globalPos);
}

void Form1::Timer1_Timer()
{
    placeInCaptionArea();
    // Without a window manager "stay on top" does nothing by itself.
    if (mnuAlwaysOnTop->isChecked() && isVisible())
        raise();
    if (mSliderFollowsPosition) {
        const double seconds = std::nearbyint(MediaPlayer1().currentPosition());
        if (std::isfinite(seconds))
            Slider1->setValue(static_cast<int>(std::clamp(seconds, -2147483648.0, 2147483647.0)));
    }
}

void Form1::timerPlay_Timer()
{
    if (onTimerPlay)
        onTimerPlay();
}

void Form1::timerChangeIcon_Timer()
{
    if (onTimerChangeIcon)
        onTimerChangeIcon();
}

void Form1::Slider1_MouseDown()
{
    mSliderFollowsPosition = false;
}

void Form1::Slider1_MouseUp()
{
    mSliderFollowsPosition = true;
}

void Form1::Slider1_Click()
{
    MediaPlayer1().setCurrentPosition(Slider1->value());
}

} // namespace quavix
