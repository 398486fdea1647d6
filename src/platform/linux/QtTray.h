#pragma once
// The tray on Qt's QSystemTrayIcon.
//
// Without a system tray (isSystemTrayAvailable() false: offscreen, plain X servers) every
// call does nothing and returns false. The icon shown for a record comes from the icon
// resolver; the default one takes the window icon of our top-level window whose id, cut to
// 32 bits, is the record's hWnd (the application icon when there is none). The tip is the
// record's tip up to its NUL. A double click is delivered as 515, and so is the single
// activation of a StatusNotifierItem host (it has no double click); on an XEmbed tray a
// single left click is only a press and does nothing. The context request is 517.
#include "platform/Tray.h"

#include <QIcon>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>
#include <optional>

namespace quavix {

class QtTray : public Tray {
public:
    using IconResolver = std::function<QIcon(const NotifyIconData&)>;

    QtTray();
    ~QtTray() override;
    bool notify(int message, const NotifyIconData& record) override;
    bool available() const override;
    void setIconResolver(IconResolver resolver) { m_resolver = std::move(resolver); }

    // The mouse message an activation stands for, if any; hostHasDoubleClick is false for a
    // StatusNotifierItem host, whose single activation then stands for the double click.
    static std::optional<std::uint32_t> mouseMessageFor(QSystemTrayIcon::ActivationReason r,
                                                        bool hostHasDoubleClick);
    // True when the icon lives in a StatusNotifierItem host (a watcher on the session bus).
    static bool statusNotifierHost();
    // The default resolver.
    static QIcon windowIconFor(const NotifyIconData& record);

private:
    void apply(const NotifyIconData& record);
    IconResolver m_resolver;
    std::unique_ptr<QSystemTrayIcon> m_icon;
    std::uint32_t m_id = 0, m_window = 0;
    std::optional<bool> m_statusNotifier; // asked at the first activation, not at start-up
};

} // namespace quavix
