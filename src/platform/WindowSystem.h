#pragma once
// The window system: other programs' windows, the desktop, screen units.
//
// Window handles are opaque non-zero numbers; 0 means none. Rectangles are in screen
// pixels (logical pixels, i.e. divided by the device pixel ratio).
// - foregroundWindow(): the window in front, 0 when there is none or it cannot be known
//   (no window manager, Wayland). Our own windows are never reported.
// - isVisible / windowRect: false / nullopt for a window that has gone.
// - makeTopmost(window, on): keeps one of our windows above the others.
// - desktopRect(): the whole screen; twipsPerPixelX/Y: 1440 / logical DPI (15 at 96 DPI).
#include <cstdint>
#include <optional>

namespace quavix {

struct PixelRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

class WindowSystem {
public:
    using Handle = std::uintptr_t;
    virtual ~WindowSystem() = default;
    virtual Handle foregroundWindow() = 0;
    virtual bool isVisible(Handle window) = 0;
    virtual std::optional<PixelRect> windowRect(Handle window) = 0;
    virtual void makeTopmost(Handle window, bool on) = 0;
    virtual PixelRect desktopRect() = 0;
    virtual double twipsPerPixelX() = 0;
    virtual double twipsPerPixelY() = 0;
};

} // namespace quavix
