#pragma once
// Typed reads and writes of stored options, all under the program title. Stored forms:
// Booleans "True"/"False", check boxes "0"/"1", numbers as decimal text.
#include <cstdint>
#include <string>

namespace quavix {

std::string optionText(const std::string& section, const std::string& key,
                       const std::string& defaultValue);
// "True"/"False" (any case) or a number (0 is False); anything else gives the default.
bool optionBool(const std::string& section, const std::string& key, bool defaultValue);
// A decimal number, clamped to the type; anything else gives the default.
std::int32_t optionInt32(const std::string& section, const std::string& key,
                         std::int32_t defaultValue);
std::int16_t optionInt16(const std::string& section, const std::string& key,
                         std::int16_t defaultValue);
// Check box: on exactly when the stored number is 1.
bool optionChecked(const std::string& section, const std::string& key);

bool saveOption(const std::string& section, const std::string& key, const std::string& value);
bool saveOptionBool(const std::string& section, const std::string& key, bool value);
bool saveOptionInt(const std::string& section, const std::string& key, long long value);

// The conversions alone.
bool parseOptionInt(const std::string& text, long long& value);

} // namespace quavix
