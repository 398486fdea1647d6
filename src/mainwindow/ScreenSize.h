#pragma once
// clsScreenSize: the primary screen's size in pixels, measured anew on each call through
// the window system service. Sizes are 16-bit; a screen beyond 32767 pixels reads as 32767
// instead of failing.
#include "platform/WindowSystem.h"

#include <cstdint>
#include <string>

namespace quavix {

class clsScreenSize {
public:
    std::int16_t fGetScreenWidth();
    std::int16_t fGetScreenHeight();
    // "<width>x<height>", e.g. "1024x768".
    std::string fGetScreenResolution();
    // Where that screen lies on the desktop: beside or below another screen its left or top
    // edge is not 0.
    PixelRect fGetScreenRect();
};

} // namespace quavix
