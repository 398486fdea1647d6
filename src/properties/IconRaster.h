#pragma once
// The built-in icons drawn at the strip's usual size when the program was built (from the
// same drawings as IconSet's resources): Count pictures of Size x Size premultiplied ARGB
// pixels, one after another, rows top to bottom.
#include <cstdint>

namespace quavix {

struct IconRaster {
    static const int Size;
    static const int Count;
    static const std::uint32_t Pixels[];
};

} // namespace quavix
