#pragma once
// The window system on an X11 desktop with an EWMH window manager.
//
// foregroundWindow(): the root's _NET_ACTIVE_WINDOW, 0 when the property is absent, when
// no window manager claims the desktop (_NET_SUPPORTING_WM_CHECK must name a window that
// names itself: a manager that exited leaves stale properties), when the window has gone,
// or when it is one of ours. windowRect(): the client area on the root grown by
// _NET_FRAME_EXTENTS, in logical pixels. isVisible(): mapped and not _NET_WM_STATE_HIDDEN.
// The answers for one window are fetched together (one wait) and kept until the X server
// says something changed: the active window or the manager (root properties), or the
// window itself (moved, resized, mapped, unmapped, destroyed, its state or frame). While
// nothing changes, foregroundWindow() asks the server nothing. Change notices arrive
// through Qt's event loop, so an answer lags a change by at most one turn of it.
// Construction sends its questions (atoms, the root's event mask) without waiting; the
// first foregroundWindow() reads the answers.
// Use only when Qt runs on xcb with a display; otherwise use QtWindowSystem.
#include "platform/linux/QtWindowSystem.h"

#include <memory>

namespace quavix {

class X11WindowSystem : public QtWindowSystem {
public:
    // bypassManager: the strip is left alone by the window manager and places itself (on a
    // Wayland desktop's Xwayland, whose manager may place windows as it likes).
    explicit X11WindowSystem(bool bypassManager = false);
    ~X11WindowSystem() override;
    // Whether the running Qt platform is xcb with a display (else nothing here works).
    static bool usable();

    Handle foregroundWindow() override;
    bool isVisible(Handle window) override;
    std::optional<PixelRect> windowRect(Handle window) override;
    void makeTopmost(Handle window, bool on) override;
    bool bypassWindowManager() const override { return m_bypass; }

    // How many times the answers were fetched from the server (for measurements).
    std::uint64_t refreshCount() const;

private:
    struct State;
    std::unique_ptr<State> m;
    bool m_bypass;
};

} // namespace quavix
