#pragma once
// The notification-area (tray) icon.
//
// notify(message, record) adds (0), modifies (1) or deletes (2) the icon described by the
// 88-byte icon record. Results are informational only: adding an icon that is present, or
// deleting one that is absent, changes nothing. Without a tray on the desktop every call
// does nothing and available() is false (the program must stay reachable without it).
// Mouse actions on the icon arrive through the callback as (icon id, mouse message):
// 515 = left double click (or the single activation of hosts that have no double click),
// 517 = right button released (context request). Delivered on the UI thread.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace quavix {

// The icon record in its first 88-byte form: six little-endian 32-bit integers, then a
// 64-character tip.
struct NotifyIconData {
    static constexpr std::uint32_t Size = 88;
    std::uint32_t cbSize = Size;
    std::uint32_t hWnd = 0;
    std::uint32_t uID = 0;
    std::uint32_t uFlags = 0;
    std::uint32_t uCallbackMessage = 0;
    std::uint32_t hIcon = 0; // handle of the icon to show; see Tray::setIconResolver
    std::array<char, 64> szTip{};

    std::string tip() const; // text up to the first NUL
    std::array<std::uint8_t, Size> toBytes() const;
    static NotifyIconData fromBytes(const std::array<std::uint8_t, Size>& bytes);
};

class Tray {
public:
    enum Message { Add = 0, Modify = 1, Delete = 2 };
    enum Mouse { LeftDoubleClick = 515, RightButtonUp = 517 };
    using Callback = std::function<void(std::uint32_t id, std::uint32_t mouseMessage)>;

    virtual ~Tray() = default;
    virtual bool notify(int message, const NotifyIconData& record) = 0;
    virtual bool available() const = 0;
    void setCallback(Callback callback) { m_callback = std::move(callback); }

protected:
    void deliver(std::uint32_t id, std::uint32_t mouseMessage)
    {
        if (m_callback)
            m_callback(id, mouseMessage);
    }

private:
    Callback m_callback;
};

} // namespace quavix
