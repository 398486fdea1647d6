#pragma once
// Where the placement tick puts the strip, apart from any widget or window system.
//
// Over a visible window in front: top = window top x tppY + 80 + up/down adjustment,
// left = window right x tppX - strip width - 57 x tppX + left/right adjustment, and the
// strip is made topmost. Over a hidden window: the top edge of the primary screen, 57 pixels
// left of its right edge (that screen need not start at the desktop's origin), no adjustment,
// not topmost. No window in front (or our own): nothing.
// Computed in double, kept as single-precision twips.
#include "platform/WindowSystem.h"

#include <cstdint>
#include <optional>

namespace quavix {

struct StripSpot {
    float left = 0, top = 0;
    bool topmost = false;
};

namespace placement {
inline constexpr double CaptionOffsetTwips = 80;
}

struct PlacementInput {
    WindowSystem::Handle foreground = 0, own = 0;
    bool visible = false;
    std::optional<PixelRect> rect; // of the foreground window; nullopt when it has gone
    PixelRect screen; // the primary screen, asked only when the window in front is hidden
    double tppX = 15, tppY = 15;
    float stripWidth = 0;
    std::int32_t adjustUpDown = 0, adjustLeftRight = 0;
};

std::optional<StripSpot> captionSpot(const PlacementInput& in);

// Asks the window system for what captionSpot needs; the rectangle only of a visible window.
PlacementInput askWindowSystem(WindowSystem& windows, WindowSystem::Handle own);

} // namespace quavix
