#pragma once
// Numbers the song folder keys of the profile: "001", "002", ..., "099", "100", ...
#include <cstdint>
#include <string>

namespace quavix {

class clsIniItemCounter {
public:
    // Counts one up and returns the count with at least three digits.
    std::string fGetNextNumber();

private:
    std::int16_t m_count = 0;
};

} // namespace quavix
