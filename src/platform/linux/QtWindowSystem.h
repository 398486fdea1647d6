#pragma once
// The window system on Qt: the desktop and the screen units from the primary screen, and
// our own windows raised on request. Other programs' windows are not known yet: there is
// no foreground window (0), and a handle that is not one of our windows is not visible.
#include "platform/WindowSystem.h"

namespace quavix {

class QtWindowSystem : public WindowSystem {
public:
    Handle foregroundWindow() override;
    bool isVisible(Handle window) override;
    std::optional<PixelRect> windowRect(Handle window) override;
    void makeTopmost(Handle window, bool on) override;
    PixelRect desktopRect() override;
    double twipsPerPixelX() override;
    double twipsPerPixelY() override;
};

} // namespace quavix
