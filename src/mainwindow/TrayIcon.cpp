#include "TrayIcon.h"

#include <algorithm>

namespace quavix::trayicon {

std::uint32_t windowHandle32(std::uintptr_t windowId)
{
    return static_cast<std::uint32_t>(windowId & 0xffffffffu);
}

NotifyIconData makeRecord(std::uintptr_t windowId, const std::string& tip)
{
    NotifyIconData d;
    d.cbSize = NotifyIconData::Size;
    d.hWnd = windowHandle32(windowId);
    d.uID = IconId;
    d.uFlags = Flags;
    d.uCallbackMessage = CallbackMessage;
    d.hIcon = CurrentWindowIcon;
    d.szTip.fill(' ');
    std::size_t n = std::min(tip.size(), d.szTip.size() - 1);
    std::copy_n(tip.begin(), n, d.szTip.begin());
    d.szTip[n] = '\0';
    return d;
}

} // namespace quavix::trayicon
