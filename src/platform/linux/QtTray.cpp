#include "QtTray.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QWidget>

namespace quavix {

QtTray::QtTray() = default;
QtTray::~QtTray() = default;

bool QtTray::available() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

std::optional<std::uint32_t> QtTray::mouseMessageFor(QSystemTrayIcon::ActivationReason r,
                                                     bool hostHasDoubleClick)
{
    switch (r) {
    case QSystemTrayIcon::DoubleClick:
        return LeftDoubleClick;
    case QSystemTrayIcon::Trigger:
        // XEmbed trays report every single left press as a trigger, before the double click.
        if (hostHasDoubleClick)
            return std::nullopt;
        return LeftDoubleClick;
    case QSystemTrayIcon::Context:
        return RightButtonUp;
    default:
        return std::nullopt;
    }
}

bool QtTray::statusNotifierHost()
{
    // The toolkit itself puts the icon into a StatusNotifierItem host when a watcher is there.
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface() &&
           bus.interface()->isServiceRegistered("org.kde.StatusNotifierWatcher").value();
}

QIcon QtTray::windowIconFor(const NotifyIconData& record)
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        // Only windows that have a native window already: asking others would create one.
        const WId id = w->internalWinId();
        if (id && static_cast<std::uint32_t>(id & 0xffffffffu) == record.hWnd)
            return w->windowIcon();
    }
    return QApplication::windowIcon();
}

void QtTray::apply(const NotifyIconData& record)
{
    m_icon->setIcon(m_resolver ? m_resolver(record) : windowIconFor(record));
    m_icon->setToolTip(QString::fromStdString(record.tip()));
}

bool QtTray::notify(int message, const NotifyIconData& record)
{
    if (!available())
        return false;
    switch (message) {
    case Add:
        if (m_icon)
            return false;
        m_id = record.uID;
        m_window = record.hWnd;
        m_icon = std::make_unique<QSystemTrayIcon>();
        QObject::connect(m_icon.get(), &QSystemTrayIcon::activated, m_icon.get(),
                         [this](QSystemTrayIcon::ActivationReason reason) {
                             if (!m_statusNotifier)
                                 m_statusNotifier = statusNotifierHost();
                             if (auto mouse = mouseMessageFor(reason, !*m_statusNotifier))
                                 deliver(m_id, *mouse);
                         });
        apply(record);
        m_icon->show();
        return true;
    case Modify:
        if (!m_icon || record.uID != m_id || record.hWnd != m_window)
            return false;
        apply(record);
        return true;
    case Delete:
        if (!m_icon || record.uID != m_id || record.hWnd != m_window)
            return false;
        m_icon->hide();
        m_icon.reset();
        return true;
    default:
        return false;
    }
}

} // namespace quavix
