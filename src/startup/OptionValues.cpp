#include "OptionValues.h"

#include "Globals.h"
#include "Services.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>

namespace quavix {

bool parseOptionInt(const std::string& text, long long& value)
{
    std::size_t b = text.find_first_not_of(" \t");
    if (b == std::string::npos)
        return false;
    std::size_t e = text.find_last_not_of(" \t") + 1;
    const char* first = text.data() + b;
    if (*first == '+')
        ++first;
    auto [end, ec] = std::from_chars(first, text.data() + e, value);
    if (ec == std::errc::result_out_of_range) {
        value = *first == '-' ? std::numeric_limits<long long>::min()
                              : std::numeric_limits<long long>::max();
        return true;
    }
    return ec == std::errc() && end == text.data() + e;
}

std::string optionText(const std::string& section, const std::string& key,
                       const std::string& defaultValue)
{
    return services().options->get(ProgramTitle, section, key, defaultValue);
}

bool optionBool(const std::string& section, const std::string& key, bool defaultValue)
{
    std::string t = optionText(section, key, defaultValue ? "True" : "False");
    std::string lower = t;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (lower == "true")
        return true;
    if (lower == "false")
        return false;
    long long n = 0;
    return parseOptionInt(t, n) ? n != 0 : defaultValue;
}

std::int32_t optionInt32(const std::string& section, const std::string& key,
                         std::int32_t defaultValue)
{
    long long n = 0;
    if (!parseOptionInt(optionText(section, key, std::to_string(defaultValue)), n))
        return defaultValue;
    return static_cast<std::int32_t>(std::clamp<long long>(
        n, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::int16_t optionInt16(const std::string& section, const std::string& key,
                         std::int16_t defaultValue)
{
    std::int32_t n = optionInt32(section, key, defaultValue);
    return static_cast<std::int16_t>(std::clamp<std::int32_t>(
        n, std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max()));
}

bool optionChecked(const std::string& section, const std::string& key)
{
    return optionInt32(section, key, 0) == 1;
}

bool saveOption(const std::string& section, const std::string& key, const std::string& value)
{
    return services().options->save(ProgramTitle, section, key, value);
}

bool saveOptionBool(const std::string& section, const std::string& key, bool value)
{
    return saveOption(section, key, value ? "True" : "False");
}

bool saveOptionInt(const std::string& section, const std::string& key, long long value)
{
    return saveOption(section, key, std::to_string(value));
}

} // namespace quavix
