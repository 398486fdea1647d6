#include "ScreenSize.h"

#include "startup/Services.h"

#include <algorithm>
#include <limits>

namespace quavix {

namespace {
std::int16_t to16(long long v)
{
    return static_cast<std::int16_t>(std::clamp<long long>(
        v, std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max()));
}
PixelRect desktop()
{
    return services().windows->desktopRect();
}
} // namespace

std::int16_t clsScreenSize::fGetScreenWidth()
{
    PixelRect r = desktop();
    return to16(static_cast<long long>(r.right) - r.left);
}

std::int16_t clsScreenSize::fGetScreenHeight()
{
    PixelRect r = desktop();
    return to16(static_cast<long long>(r.bottom) - r.top);
}

PixelRect clsScreenSize::fGetScreenRect()
{
    return desktop();
}

std::string clsScreenSize::fGetScreenResolution()
{
    return std::to_string(fGetScreenWidth()) + "x" + std::to_string(fGetScreenHeight());
}

} // namespace quavix
