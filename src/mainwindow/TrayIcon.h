#pragma once
// The tray icon record of the main window: fixed identifiers and how the record is filled.
#include "platform/Tray.h"

#include <cstdint>
#include <string>

namespace quavix::trayicon {

inline constexpr std::uint32_t IconId = 61860;
inline constexpr std::uint32_t CallbackMessage = 16384;
inline constexpr std::uint32_t Flags = 1 | 2 | 4; // message, icon and tip are valid
// hIcon value meaning "the current icon of the window named by hWnd"; the tray service
// looks the picture up when it is called, so a re-added icon shows the icon of that moment.
inline constexpr std::uint32_t CurrentWindowIcon = 1;

// The window's id truncated to 32 bits, as the record holds it.
std::uint32_t windowHandle32(std::uintptr_t windowId);

// cbSize 88, the window, the icon id, flags 7, the callback message, the current-icon
// handle, and the tip: the text, one NUL, then spaces up to 64 characters (a longer text
// is cut to 63 characters so that the NUL always fits).
NotifyIconData makeRecord(std::uintptr_t windowId, const std::string& tip);

} // namespace quavix::trayicon
