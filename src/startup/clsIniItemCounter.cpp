#include "clsIniItemCounter.h"

#include <limits>

namespace quavix {

std::string clsIniItemCounter::fGetNextNumber()
{
    // Past the 16-bit range the numbers would repeat; stay at the top instead of wrapping
    // so that a caller's loop cannot revisit keys.
    if (m_count < std::numeric_limits<std::int16_t>::max())
        ++m_count;
    std::string digits = std::to_string(m_count);
    if (digits.size() < 3)
        digits.insert(0, 3 - digits.size(), '0');
    return digits;
}

} // namespace quavix
