#include "Slider1.h"

#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>

namespace quavix {

PositionSlider::PositionSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent)
{
    setMinimum(0);
    setMaximum(0);
    setFocusPolicy(Qt::NoFocus);
}

void PositionSlider::mousePressEvent(QMouseEvent* event)
{
    // Only the left button moves the position; the others would make the style jump the
    // handle, and their release would seek there.
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_down = true;
    emit mouseDown();
    if (maximum() > minimum()) {
        QStyleOptionSlider opt;
        initStyleOption(&opt);
        const QRect handle =
            style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
        const QPoint pos = event->position().toPoint();
        if (!handle.contains(pos)) {
            const QRect groove =
                style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
            const int span = std::max(1, groove.width() - handle.width());
            const int x = pos.x() - groove.x() - handle.width() / 2;
            setValue(
                QStyle::sliderValueFromPosition(minimum(), maximum(), x, span, opt.upsideDown));
        }
    }
    QSlider::mousePressEvent(event); // the handle is under the mouse now: dragging starts
}

void PositionSlider::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    QSlider::mouseReleaseEvent(event);
    if (!m_down)
        return;
    m_down = false;
    emit mouseUp();
    emit clicked();
}

} // namespace quavix
