// Form1 as the rest of the program sees it (MainWindowPort in startup/Windows.h): the
// slider, the button bar's switches, the play-list player's timer, visibility.
#include "Form1.h"
#include "startup/widgets/StatusDisplay.h"

namespace quavix {

void Form1::setSliderMin(int seconds)
{
    Slider1->setMinimum(seconds);
}

void Form1::setSliderMax(int seconds)
{
    Slider1->setMaximum(seconds);
}

int Form1::sliderMax() const
{
    return Slider1->maximum();
}

void Form1::setSliderEnabled(bool on)
{
    Slider1->setEnabled(on);
}

MMControlState& Form1::mmControl()
{
    return MMControl1->state();
}

void Form1::mmControlChanged()
{
    MMControl1->stateChanged();
}

void Form1::startPlayListPlayer()
{
    // One pending run at most: arming it again before it ran changes nothing.
    if (!timerPlay->isActive())
        timerPlay->start();
}

void Form1::cancelPlayListPlayer()
{
    timerPlay->stop();
}

bool Form1::playListPlayerPending() const
{
    return timerPlay->isActive();
}

void Form1::disableTimers()
{
    Timer1->stop();
    timerPlay->stop();
    timerChangeIcon->stop();
}

void Form1::setTimer1Enabled(bool on)
{
    if (!on)
        Timer1->stop();
    else if (!Timer1->isActive())
        Timer1->start();
}

bool Form1::minimizeChecked() const
{
    return mnuMinimize->isChecked();
}

void Form1::setVisible(bool visible)
{
    if (!visible || isVisible()) {
        QWidget::setVisible(visible);
        return;
    }
    // Qt shows a window's controls before it maps the window, and the first control shown
    // starts the accessibility bridge, which waits for the session bus (or for its launcher
    // to fail: milliseconds). So the strip maps first and its controls follow at once, all
    // before the first paint, as a window without controls would do it.
    std::vector<QWidget*> controls;
    for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!w->isWindow() && !w->isHidden()) {
            controls.push_back(w);
            w->setVisible(false);
        }
    QWidget::setVisible(true);
    for (QWidget* w : controls)
        w->setVisible(true);
}

void Form1::bringToFront()
{
    showNormal();
    raise();
    activateWindow();
}

void Form1::setImageToolTip(const std::string& text)
{
    Image1->setToolTip(QString::fromStdString(text));
}

void Form1::showStatusMessage(const std::string& text)
{
    if (m_statusDisplay)
        m_statusDisplay->showMessage(QString::fromStdString(text));
}

} // namespace quavix
