#include "clsAdjustForAmpersand.h"

namespace quavix {

std::string clsAdjustForAmpersand::fPerformAdjustForAmpersand(std::string& text)
{
    std::string doubled;
    doubled.reserve(text.size() + 8);
    for (char c : text) {
        doubled += c;
        if (c == '&')
            doubled += '&';
    }
    text = doubled;
    return doubled;
}

} // namespace quavix
