#pragma once
// clsScreenSize: the desktop's size in pixels, measured anew on each call through the
// window system service. Results are 16-bit; a screen beyond 32767 pixels reads as 32767
// instead of failing.
#include <cstdint>
#include <string>

namespace quavix {

class clsScreenSize {
public:
    std::int16_t fGetScreenWidth();
    std::int16_t fGetScreenHeight();
    // "<width>x<height>", e.g. "1024x768".
    std::string fGetScreenResolution();
};

} // namespace quavix
