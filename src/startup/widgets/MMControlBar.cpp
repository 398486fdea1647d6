#include "MMControlBar.h"

#include <QAccessible>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QToolTip>

namespace quavix {

QString buttonName(Button b)
{
    static constexpr const char* Names[ButtonCount] = {
        "Previous", "Next", "Play", "Pause", "Back", "Step", "Stop", "Record", "Eject"};
    return QString::fromLatin1(Names[static_cast<int>(b)]);
}

MMControlBar::MMControlBar(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
}

void MMControlBar::stateChanged()
{
    if (m_pressed >= 0 && !buttonEnabled(static_cast<Button>(m_pressed)))
        m_pressed = -1;
    update();
}

QSize MMControlBar::sizeHint() const
{
    return {236, 20};
}

QRect MMControlBar::buttonRect(Button b) const
{
    int i = static_cast<int>(b);
    int x0 = width() * i / ButtonCount;
    int x1 = width() * (i + 1) / ButtonCount;
    return QRect(x0, 0, x1 - x0, height());
}

int MMControlBar::buttonAt(QPoint pos) const
{
    if (!rect().contains(pos))
        return -1;
    for (int i = 0; i < ButtonCount; ++i)
        if (buttonRect(static_cast<Button>(i)).contains(pos))
            return i;
    return -1;
}

void MMControlBar::click(Button b)
{
    if (isEnabled() && buttonEnabled(b))
        emitClicked(b);
}

void MMControlBar::emitClicked(Button b)
{
    switch (b) {
    case Button::Prev:
        emit prevClicked();
        break;
    case Button::Next:
        emit nextClicked();
        break;
    case Button::Play:
        emit playClicked();
        break;
    case Button::Pause:
        emit pauseClicked();
        break;
    case Button::Back:
        emit backClicked();
        break;
    case Button::Step:
        emit stepClicked();
        break;
    case Button::Stop:
        emit stopClicked();
        break;
    case Button::Record:
        emit recordClicked();
        break;
    case Button::Eject:
        emit ejectClicked();
        break;
    }
}

void MMControlBar::mousePressEvent(QMouseEvent* event)
{
    int i = event->button() == Qt::LeftButton ? buttonAt(event->position().toPoint()) : -1;
    if (i >= 0 && buttonEnabled(static_cast<Button>(i))) {
        m_pressed = i;
        m_pressedIn = true;
        update();
    }
    event->accept();
}

void MMControlBar::mouseMoveEvent(QMouseEvent* event)
{
    if (m_pressed < 0)
        return;
    bool in = buttonAt(event->position().toPoint()) == m_pressed;
    if (in != m_pressedIn) {
        m_pressedIn = in;
        update();
    }
}

void MMControlBar::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || m_pressed < 0)
        return;
    int pressed = m_pressed;
    m_pressed = -1;
    update();
    if (buttonAt(event->position().toPoint()) == pressed)
        click(static_cast<Button>(pressed)); // re-checks: a handler may have disabled it
}

bool MMControlBar::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int i = buttonAt(help->pos());
        if (i >= 0)
            QToolTip::showText(help->globalPos(), buttonName(static_cast<Button>(i)), this,
                               buttonRect(static_cast<Button>(i)));
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

int MMControlBar::enabledFrom(int from, int step) const
{
    for (int i = from + step; i >= 0 && i < ButtonCount; i += step)
        if (buttonEnabled(static_cast<Button>(i)))
            return i;
    return -1;
}

void MMControlBar::focusButton(int i)
{
    m_focused = i;
    update();
    if (i >= 0 && hasFocus()) {
        QAccessibleEvent focus(this, QAccessible::Focus);
        focus.setChild(i);
        QAccessible::updateAccessibility(&focus);
    }
}

void MMControlBar::focusInEvent(QFocusEvent* event)
{
    const bool backwards = event->reason() == Qt::BacktabFocusReason;
    if (m_focused < 0 || !buttonEnabled(static_cast<Button>(m_focused)))
        focusButton(backwards ? enabledFrom(ButtonCount, -1) : enabledFrom(-1, 1));
    else
        focusButton(m_focused);
    QWidget::focusInEvent(event);
}

void MMControlBar::focusOutEvent(QFocusEvent* event)
{
    update();
    QWidget::focusOutEvent(event);
}

bool MMControlBar::focusNextPrevChild(bool next)
{
    // Tab goes from button to button before it leaves the bar.
    const int i = hasFocus() ? enabledFrom(m_focused, next ? 1 : -1) : -1;
    if (i >= 0) {
        focusButton(i);
        return true;
    }
    return QWidget::focusNextPrevChild(next);
}

void MMControlBar::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
        if (int i = enabledFrom(m_focused, event->key() == Qt::Key_Right ? 1 : -1); i >= 0)
            focusButton(i);
        return;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_focused >= 0 && !event->isAutoRepeat())
            click(static_cast<Button>(m_focused));
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void MMControlBar::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange)
        update();
    QWidget::changeEvent(event);
}

QRect MMControlBar::visibleBand() const
{
    QRect band = rect();
    if (parentWidget())
        band &= QRect(mapFromParent(QPoint(0, 0)), parentWidget()->size());
    return band.isEmpty() ? rect() : band;
}

namespace {
// Glyphs on a square of side s centred at c; y grows downwards.
void drawGlyph(QPainter& p, Button b, QPointF c, qreal s)
{
    const qreal h = s / 2;
    auto tri = [&](qreal x0, qreal x1, qreal top, qreal bottom) { // x0 = base, x1 = tip
        QPainterPath path;
        path.moveTo(x0, top);
        path.lineTo(x1, (top + bottom) / 2);
        path.lineTo(x0, bottom);
        path.closeSubpath();
        p.drawPath(path);
    };
    const qreal top = c.y() - h, bottom = c.y() + h;
    const qreal bar = std::max<qreal>(1.5, s / 5);
    switch (b) {
    case Button::Play:
        tri(c.x() - h * 0.75, c.x() + h * 0.85, top, bottom);
        break;
    case Button::Pause:
        p.drawRect(QRectF(c.x() - h * 0.8, top, s * 0.3, s));
        p.drawRect(QRectF(c.x() + h * 0.8 - s * 0.3, top, s * 0.3, s));
        break;
    case Button::Stop:
        p.drawRect(QRectF(c.x() - h * 0.85, c.y() - h * 0.85, s * 0.85, s * 0.85));
        break;
    case Button::Record:
        p.drawEllipse(c, h * 0.85, h * 0.85);
        break;
    case Button::Prev:
        p.drawRect(QRectF(c.x() - h, top, bar, s));
        tri(c.x() + h, c.x() - h + bar, top, bottom);
        break;
    case Button::Next:
        p.drawRect(QRectF(c.x() + h - bar, top, bar, s));
        tri(c.x() - h, c.x() + h - bar, top, bottom);
        break;
    case Button::Back:
        tri(c.x(), c.x() - h * 1.05, top, bottom);
        tri(c.x() + h * 1.05, c.x(), top, bottom);
        break;
    case Button::Step:
        tri(c.x() - h * 1.05, c.x(), top, bottom);
        tri(c.x(), c.x() + h * 1.05, top, bottom);
        break;
    case Button::Eject: {
        QPainterPath path;
        path.moveTo(c.x() - h, c.y() + h * 0.25);
        path.lineTo(c.x(), top);
        path.lineTo(c.x() + h, c.y() + h * 0.25);
        path.closeSubpath();
        p.drawPath(path);
        p.drawRect(QRectF(c.x() - h, bottom - bar, s, bar));
        break;
    }
    }
}
} // namespace

void MMControlBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect band = visibleBand();
    const bool barEnabled = isEnabled();

    QLinearGradient face(0, band.top(), 0, band.bottom());
    face.setColorAt(0, QColor(0xf6, 0xf6, 0xf6));
    face.setColorAt(1, QColor(0xd8, 0xd8, 0xd8));
    p.fillRect(rect(), face);

    const qreal glyph = std::clamp<qreal>(band.height() * 0.5, 5, 14);
    for (int i = 0; i < ButtonCount; ++i) {
        const Button b = static_cast<Button>(i);
        const QRect r = buttonRect(b);
        const bool enabled = barEnabled && buttonEnabled(b);
        if (i == m_pressed && m_pressedIn)
            p.fillRect(r, QColor(0xb8, 0xc4, 0xd4));
        // Separator between buttons.
        if (i > 0) {
            p.fillRect(QRect(r.left(), band.top() + 2, 1, band.height() - 4),
                       QColor(0xa8, 0xa8, 0xa8));
            p.fillRect(QRect(r.left() + 1, band.top() + 2, 1, band.height() - 4), Qt::white);
        }
        QPointF centre(r.left() + r.width() / 2.0 + 0.5, band.top() + band.height() / 2.0);
        if (i == m_pressed && m_pressedIn)
            centre += QPointF(0.5, 0.5);

        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(Qt::NoPen);
        if (enabled) {
            p.setBrush(b == Button::Record ? QColor(0xc8, 0x20, 0x20) : QColor(0x20, 0x28, 0x34));
            drawGlyph(p, b, centre, glyph);
        } else {
            // Engraved look: a light copy one pixel down and right under a grey one.
            p.setBrush(Qt::white);
            drawGlyph(p, b, centre + QPointF(1, 1), glyph);
            p.setBrush(QColor(0xa0, 0xa0, 0xa0));
            drawGlyph(p, b, centre, glyph);
        }
        p.setRenderHint(QPainter::Antialiasing, false);
    }
    if (hasFocus() && m_focused >= 0) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect =
            buttonRect(static_cast<Button>(m_focused)).intersected(band).adjusted(2, 1, -1, -1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
    // Outline of the visible part.
    p.setPen(QColor(0x90, 0x90, 0x90));
    p.setBrush(Qt::NoBrush);
    p.drawLine(band.topRight(), band.bottomRight());
}

} // namespace quavix
