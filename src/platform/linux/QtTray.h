#pragma once
// The tray on Qt's QSystemTrayIcon.
//
// Without a system tray (isSystemTrayAvailable() false: offscreen, plain X servers) every
// call does nothing and returns false. The icon shown for a record comes from the icon
// resolver; the default one takes the window icon of our top-level window whose id, cut to
// 32 bits, is the record's hWnd (the application icon when there is none). The tip is the
// record's tip up to its NUL. Activation by double click, or the single activation of
// hosts without double clicks, is delivered as 515; the context request as 517.
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

    // The mouse message an activation stands for, if any.
    static std::optional<std::uint32_t> mouseMessageFor(QSystemTrayIcon::ActivationReason r);
    // The default resolver.
    static QIcon windowIconFor(const NotifyIconData& record);

private:
    void apply(const NotifyIconData& record);
    IconResolver m_resolver;
    std::unique_ptr<QSystemTrayIcon> m_icon;
    std::uint32_t m_id = 0, m_window = 0;
};

} // namespace quavix
