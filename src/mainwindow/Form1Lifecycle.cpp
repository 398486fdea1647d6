// Form1's start-up and shut-down. At start-up the load handler (Form_Load) prepares the
// strip, and the rest waits for its first paint: runRestOfStartUp() runs finishLoad() (the
// icon in every size, the tray icon, the menu) and then the queue of AfterFirstPaint.h,
// each from a zero timer of its own, so that timerPlay, armed by the load when a file came
// on the command line, runs first. A strip that stays in the tray has no paint to wait for;
// one whose map a starting window manager loses gets the rest after PaintDeadlineMs all the
// same. At the end: the exit question (Form_QueryUnload), the unload that stops and saves
// everything (Form_Unload), and the program's end at the next event pump.
#include "Form1.h"
#include "mainwindow/Form1Options.h"
#include "mainwindow/Layout.h"
#include "mainwindow/ScreenSize.h"
#include "properties/IconSet.h"
#include "startup/AfterFirstPaint.h"
#include "startup/Globals.h"
#include "startup/Services.h"
#include "startup/widgets/StatusDisplay.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QTimer>
#include <algorithm>

namespace quavix {

namespace {
// Shows the busy pointer for the life of the object. The pointer shows only over our own
// windows: while none is visible (the load at start-up) nobody could see it, and the
// first cursor costs the start-up a cursor theme lookup.
class BusyPointer {
public:
    BusyPointer() : m_shown(anyWindowVisible())
    {
        if (m_shown)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~BusyPointer()
    {
        if (m_shown)
            QGuiApplication::restoreOverrideCursor();
    }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

private:
    static bool anyWindowVisible()
    {
        const QWidgetList windows = QApplication::topLevelWidgets();
        return std::any_of(windows.begin(), windows.end(),
                           [](const QWidget* w) { return w->isVisible(); });
    }
    bool m_shown;
};

} // namespace

void Form1::Form_Load()
{
    m_restOfStartUp = firstPaintSeen() ? RestOfStartUp::Done : RestOfStartUp::Waiting;
    BusyPointer busy;
    globals().gExitProgram = false;
    mSliderFollowsPosition = true;
    loadButtonBar();
    loadGeometry();
    const Form1Options o = readForm1Options(IconSet::Count);
    loadLayout(o);
    loadIconOptions(o);
    loadProgramIcon(o);
    loadIconTimer();
    loadTrayIcon();
    loadWindowMarks(o);
    loadCommandLineFile();
    loadMediaPlayer(o.volume);
    if (m_restOfStartUp == RestOfStartUp::Done) {
        finishLoad();
    } else if (mnuMinimize->isChecked()) {
        runRestOfStartUp(); // it stays in the tray: no paint to wait for
    } else {
        // A window manager that is itself still starting (both started by the session at
        // login) can lose the strip's map: no paint ever comes. The music, the tray icon
        // and the MPRIS service must not wait for it.
        QTimer::singleShot(PaintDeadlineMs, this, [this] {
            if (m_restOfStartUp == RestOfStartUp::Waiting)
                runRestOfStartUp();
        });
    }
}

void Form1::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    if (m_restOfStartUp == RestOfStartUp::Waiting)
        runRestOfStartUp();
}

void Form1::runRestOfStartUp()
{
    m_restOfStartUp = RestOfStartUp::Scheduled;
    // Once the paint is on the screen. The play-list player's start is not held for it: the
    // station may start right behind the load, and a player started after it would take
    // the station's song for the current entry and move past it. Real zero timers, not
    // posted calls: those would overtake timerPlay.
    afterEvents([this] {
        m_restOfStartUp = RestOfStartUp::Done;
        afterEvents([this] {
            if (!m_unloaded)
                finishLoad();
            firstPaintDone();
        });
    });
}

void Form1::afterEvents(std::function<void()> work)
{
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setInterval(0);
    connect(timer, &QTimer::timeout, this, [timer, work = std::move(work)] {
        timer->deleteLater();
        work();
    });
    timer->start();
}

void Form1::finishLoad()
{
    // The window and tray icon want every size; the strip had its own one already.
    if (Image1->icon().cacheKey() == m_firstIconKey)
        setProgramIcon(IconSet::chosenIcon(mImageIndex, *services().options));
    fUpdateTrayIcon(Tray::Add);
    refreshMinimizeEnabled();
    popUpMenu(); // ready before the first right click
}

void Form1::loadButtonBar()
{
    mmControl().applyLoad(globals().gAutoLoadMP3Locations);
    mmControlChanged();
}

void Form1::loadGeometry()
{
    const Globals& g = globals();
    twipsSlider1 = {0, strip::SliderTop, strip::SliderWidth, strip::SliderHeight};
    twipsMediaPlayer1 = {0, strip::StatusTop, strip::StatusWidth, strip::StatusHeight};
    twipsMMControl1 = {0, strip::ControlsTop, strip::ControlsWidth, strip::ControlsHeight};
    twipsImage1.top = static_cast<float>(g.gAdjustIconUpDown);
    twipsImage1.left = static_cast<float>(g.gAdjustIconLeftRight);
    twipsForm.top = static_cast<float>(clsScreenSize().fGetScreenRect().top * twipsPerPixelY() +
                                       g.gAdjustFontUpDown);
    twipsForm.height = strip::Height;
    twipsImage1.height = twipsForm.height;
    twipsImage1.width = twipsImage1.height;
}

void Form1::loadLayout(const Form1Options& o)
{
    mnuShowStatusInformation->setChecked(o.statusAreaVisible);
    mnuShowControls->setChecked(o.controlsVisible);
    mnuShowSlider->setChecked(o.sliderVisible);
    fAdjustFormWidth();
}

void Form1::loadIconOptions(const Form1Options& o)
{
    Globals& g = globals();
    g.gPlayListSequential = o.playListSequential;
    g.gRandomIconAtStartup = o.randomIconAtStartup;
    g.gRandomIconWhileRunning = o.randomIconWhileRunning;
    g.gChangeIconAfterFile = o.changeIconAfterFile;
}

void Form1::loadProgramIcon(const Form1Options& o)
{
    Services& s = services();
    int index = o.imageIndex;
    if (globals().gRandomIconAtStartup)
        index = mIconDraws.drawIndex(*s.random, IconSet::Count);
    mImageIndex = index;
    if (m_restOfStartUp == RestOfStartUp::Done) {
        setProgramIcon(IconSet::chosenIcon(index, *s.options));
        return;
    }
    // Only the picture the strip shows; finishLoad() adds the other sizes.
    const int size = std::max(1, std::min(Image1->width(), Image1->height()));
    Image1->setIcon(IconSet::chosenIcon(index, *s.options, size));
    m_firstIconKey = Image1->icon().cacheKey();
}

void Form1::loadIconTimer()
{
    const Globals& g = globals();
    timerChangeIcon->stop();
    if (g.gRandomIconWhileRunning && !g.gChangeIconAfterFile) {
        timerChangeIcon->setInterval(60000);
        timerChangeIcon->start();
    }
}

void Form1::loadTrayIcon()
{
    services().tray->setCallback(
        [this](std::uint32_t id, std::uint32_t mouse) { Msghook_Message(id, mouse); });
    // The icon itself is added by finishLoad().
}

void Form1::loadWindowMarks(const Form1Options& o)
{
    Timer1->setInterval(1000);
    mnuAlwaysOnTop->setChecked(o.alwaysOnTop);
    // Hidden in the tray is only safe while a tray exists to bring the window back.
    mnuMinimize->setChecked(o.minimized && trayAvailable());
    if (mnuMinimize->isChecked()) {
        mnuRemoveFromSystemTray->setEnabled(false);
        mnuRemoveFromSystemTray->setChecked(false);
    } else {
        mnuRemoveFromSystemTray->setEnabled(true);
        mnuRemoveFromSystemTray->setChecked(o.removeFromSystemTray);
    }
    setTimer1Enabled(mnuAlwaysOnTop->isChecked());
}

void Form1::loadCommandLineFile()
{
    Globals& g = globals();
    if (!g.gCommandLineFile)
        return;
    mmControl().applyPlayListStart();
    mmControlChanged();
    setTimer1Enabled(true);
    g.gPlayListEditCancelled = false;
    g.gPlayingPlayList = true;
    startPlayListPlayer();
}

void Form1::loadMediaPlayer(int volume)
{
    Services& s = services();
    s.media->setPlayStateHandler([this](int oldState, int newState, bool currentItem) {
        m_statusDisplay->refresh();
        MediaPlayer1_PlayStateChange(oldState, newState, currentItem);
    });
    s.media->setVolume(volume);
}

bool Form1::Form_QueryUnload(CloseReason reason)
{
    if (reason != CloseReason::User)
        return true;
    const std::string title = services().process->title();
    return services().dialogs->messageBox("Exit", "Are you sure you want to exit " + title + "?",
                                          MsgIcon::Question, MsgButtons::YesNo) == MsgAnswer::Yes;
}

void Form1::Form_Unload()
{
    Globals& g = globals();
    Services& s = services();
    BusyPointer busy;
    m_unloaded = true;
    g.gStopPlay = true;
    g.gExitProgram = true;
    g.gPlayingPlayList = false;
    g.gPlayFirstEntry = false;

    // The window is going: its timers must not fire for it any more.
    Timer1->stop();
    timerPlay->stop();
    timerChangeIcon->stop();

    s.media->stop();
    processEventsOnce();

    saveUnloadOptions();

    deleteTrayIcon();
    processEventsOnce();

    s.tray->setCallback(nullptr);
    s.media->setPlayStateHandler(nullptr);
    if (mainWindowIfLoaded() == this)
        mainWindowUnloaded();
}

void Form1::saveUnloadOptions()
{
    if (m_optionsSaved)
        return;
    m_optionsSaved = true;
    Form1SavedOptions saved;
    saved.statusAreaVisible = mnuShowStatusInformation->isChecked();
    saved.controlsVisible = mnuShowControls->isChecked();
    saved.sliderVisible = mnuShowSlider->isChecked();
    saved.alwaysOnTop = mnuAlwaysOnTop->isChecked();
    saved.minimized = mnuMinimize->isChecked();
    saved.removeFromSystemTray = mnuRemoveFromSystemTray->isChecked();
    saved.volume = services().media->volume();
    saveForm1Options(saved);
}

void Form1::closeEvent(QCloseEvent* event)
{
    if (m_unloaded) {
        event->accept();
        return;
    }
    const CloseReason reason = m_closeReason;
    m_closeReason = CloseReason::User;
    m_asking = true;
    const bool confirmed = Form_QueryUnload(reason);
    m_asking = false;
    // A close without the question that came while it was open has unloaded the window
    // and ends the program: the answer changes nothing any more.
    if (m_unloaded) {
        event->accept();
        return;
    }
    if (!confirmed) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
    endAfterUnload();
}

void Form1::endAfterUnload()
{
    // The unload steps are done and every store write is on disk. Whatever runs now (the
    // play-list player's wait, the engine, a modal box or a dialog, or the start-up before
    // the main loop) lets events through soon: the program ends there, not only once the
    // last window has gone, which a nested loop or a hidden window would keep from happening.
    QTimer::singleShot(0, this, [] { services().process->endProgram(); });
}

void Form1::closeWithoutAsking(CloseReason reason)
{
    if (m_unloaded)
        return;
    // The toolkit ignores a close inside the close that asks the exit question; it would
    // be forgotten once the user answers No.
    if (m_asking) {
        Form_Unload();
        endAfterUnload();
        return;
    }
    m_closeReason = reason;
    close();
    m_closeReason = CloseReason::User;
}

} // namespace quavix
