#pragma once
// The window system: other programs' windows, the desktop, screen units.
//
// Window handles are opaque non-zero numbers; 0 means none. Rectangles are in screen
// pixels (logical pixels, i.e. divided by the device pixel ratio).
//
// Two halves, which differ by desktop (an X11 window manager answers both; on Wayland the
// compositor's own interface, a script in it, or nothing):
// - ForegroundSource, which window is in front and its outer rectangle:
//   foregroundWindow() is the window in front, 0 when there is none or it cannot be known.
//   Our own windows are never reported. isVisible / windowRect: false / nullopt for a
//   window that has gone. A source that is told of changes (rather than asked) calls the
//   change handler on the UI thread when the window in front or its rectangle changed.
// - StripPlacer, putting our strip there and keeping it above:
//   placeStrip(own, strip, above) moves our window to strip's left and top (pixels) when
//   only the compositor can move it, and returns true; false means the window moves itself
//   (Qt). strip's width and height are the size we draw it at, which the compositor may not
//   know yet (it is told every time the strip moves or changes size). above: keep it above
//   the others from now on (false leaves that as it was).
//   makeTopmost(window, on) keeps one of our windows above the others.
//   bypassWindowManager(): the strip must be a window the manager leaves alone (it would
//   otherwise centre it, as sway does with utility windows).
// desktopRect(): the whole primary screen where it lies on the desktop (left or top not 0
// when another screen lies left of or above it); twipsPerPixelX/Y: 1440 / logical DPI (15 at
// 96 DPI).
#include <cstdint>
#include <functional>
#include <optional>

namespace quavix {

struct PixelRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const PixelRect&) const = default;
};

using WindowHandle = std::uintptr_t;

class ForegroundSource {
public:
    virtual ~ForegroundSource() = default;
    virtual WindowHandle foregroundWindow() = 0;
    virtual bool isVisible(WindowHandle window) = 0;
    virtual std::optional<PixelRect> windowRect(WindowHandle window) = 0;
    void setChangeHandler(std::function<void()> handler) { m_changed = std::move(handler); }

protected:
    void changed()
    {
        if (m_changed)
            m_changed();
    }

private:
    std::function<void()> m_changed;
};

class StripPlacer {
public:
    virtual ~StripPlacer() = default;
    virtual bool placeStrip(WindowHandle /*own*/, const PixelRect& /*strip*/, bool /*above*/)
    {
        return false;
    }
    virtual void makeTopmost(WindowHandle window, bool on) = 0;
    virtual bool bypassWindowManager() const { return false; }
};

class WindowSystem : public ForegroundSource, public StripPlacer {
public:
    using Handle = WindowHandle;
    virtual PixelRect desktopRect() = 0;
    virtual double twipsPerPixelX() = 0;
    virtual double twipsPerPixelY() = 0;
};

} // namespace quavix
