#include "Placement.h"

#include "mainwindow/Layout.h"

namespace quavix {

std::optional<StripSpot> captionSpot(const PlacementInput& in)
{
    if (in.foreground == 0 || in.foreground == in.own)
        return std::nullopt;
    if (in.visible) {
        // A window that closed between the questions is no window at all.
        if (!in.rect)
            return std::nullopt;
        StripSpot s;
        s.top = static_cast<float>(in.rect->top * in.tppY + placement::CaptionOffsetTwips +
                                   in.adjustUpDown);
        s.left = static_cast<float>(
            static_cast<double>(stripLeftFor(in.rect->right, in.tppX, in.stripWidth)) +
            in.adjustLeftRight);
        s.topmost = true;
        return s;
    }
    StripSpot s;
    s.top = static_cast<float>(in.screen.top * in.tppY);
    s.left = stripLeftFor(in.screen.right, in.tppX, in.stripWidth);
    return s;
}

PlacementInput askWindowSystem(WindowSystem& windows, WindowSystem::Handle own)
{
    PlacementInput in;
    in.own = own;
    in.foreground = windows.foregroundWindow();
    if (in.foreground == 0 || in.foreground == own)
        return in;
    in.visible = windows.isVisible(in.foreground);
    if (in.visible)
        in.rect = windows.windowRect(in.foreground);
    return in;
}

} // namespace quavix
