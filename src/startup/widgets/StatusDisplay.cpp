#include "StatusDisplay.h"

#include "platform/MediaAddress.h"

#include <QAccessible>
#include <QPainter>
#include <cmath>

namespace quavix {

namespace {
// Rows of the widget that the strip leaves visible.
constexpr int VisibleTop = 2;
constexpr int VisibleHeight = 16;
constexpr int TextPixelSize = 11;
constexpr int Gap = 6;
} // namespace

QString formatMediaTime(double seconds)
{
    if (!std::isfinite(seconds) || seconds < 0)
        seconds = 0;
    auto whole = static_cast<long long>(std::floor(seconds));
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

QString mediaItemName(const std::string& name, const MediaTags& tags)
{
    if (!tags.title.empty())
        return QString::fromStdString(tags.artist.empty() ? tags.title
                                                          : tags.artist + " - " + tags.title);
    QString text = QString::fromStdString(name);
    if (isStreamAddress(name))
        return text;
    return text.mid(text.lastIndexOf(QLatin1Char('/')) + 1);
}

StatusDisplay::StatusDisplay(MediaPlayer& player, QWidget* parent)
    : QWidget(parent), m_player(player)
{
    QFont f = font();
    f.setPixelSize(TextPixelSize);
    setFont(f);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_timer.setInterval(250);
    connect(&m_timer, &QTimer::timeout, this, &StatusDisplay::refresh);
    refresh();
}

QSize StatusDisplay::sizeHint() const
{
    return {177, 20};
}

void StatusDisplay::refresh()
{
    QString state;
    switch (m_player.playState()) {
    case MediaPlayer::Playing:
        state = tr("Playing");
        break;
    case MediaPlayer::Paused:
        state = tr("Paused");
        break;
    case MediaPlayer::Opening:
        state = tr("Opening");
        break;
    default:
        state = tr("Stopped");
        break;
    }
    std::string item = m_player.fileName();
    QString name = mediaItemName(item, item.empty() ? MediaTags{} : m_player.tags());
    QString time;
    if (!item.empty()) {
        double length = m_player.duration();
        time = formatMediaTime(m_player.currentPosition());
        // Live streams have no length.
        if (length > 0)
            time += QStringLiteral(" / ") + formatMediaTime(length);
    }
    // A message stands for its hold, and then while the player is where it was when the
    // message came.
    const bool keepMessage =
        !m_message.isEmpty() && ((state == m_messageState && name == m_messageName) ||
                                 m_messageAge.elapsed() < m_messageHold.count());
    if (!keepMessage && !m_message.isEmpty()) {
        m_message.clear();
        m_state.clear(); // drawn anew below
    }
    if (state == m_state && name == m_name && time == m_time)
        return;
    m_state = state;
    m_name = name;
    m_time = time;
    update();
    emit changed();
    // A screen reader speaks the new text (its name, see WidgetAccessibility).
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}

void StatusDisplay::showMessage(const QString& text)
{
    refresh();
    m_message = text;
    m_messageState = m_state;
    m_messageName = m_name;
    m_messageAge.start();
    update();
    emit changed();
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}

void StatusDisplay::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    QRect band(0, VisibleTop, width(), std::min(VisibleHeight, height() - VisibleTop));
    if (height() < VisibleTop + VisibleHeight)
        band = rect(); // shown on its own, not cut by the strip
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(band.adjusted(0, 0, -1, -1));
    QRect inner = band.adjusted(3, 0, -3, 0);

    p.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics fm(font());
    if (!m_message.isEmpty()) {
        p.drawText(inner, Qt::AlignLeft | Qt::AlignVCenter,
                   fm.elidedText(m_message, Qt::ElideMiddle, inner.width()));
        return;
    }
    int stateWidth = fm.horizontalAdvance(m_state);
    int timeWidth = fm.horizontalAdvance(m_time);
    p.drawText(inner, Qt::AlignLeft | Qt::AlignVCenter, m_state);
    p.drawText(inner, Qt::AlignRight | Qt::AlignVCenter, m_time);
    QRect nameRect = inner.adjusted(stateWidth + Gap, 0, -(timeWidth + Gap), 0);
    if (nameRect.width() > fm.averageCharWidth())
        p.drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter,
                   fm.elidedText(m_name, Qt::ElideMiddle, nameRect.width()));
}

void StatusDisplay::showEvent(QShowEvent* event)
{
    refresh();
    m_timer.start();
    QWidget::showEvent(event);
}

void StatusDisplay::hideEvent(QHideEvent* event)
{
    m_timer.stop();
    QWidget::hideEvent(event);
}

} // namespace quavix
