// The profile reader on any text. Input: section line, key line, then the profile text.
#include "FuzzInput.h"
#include "platform/posix/IniProfile.h"

using namespace quavix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view rest = fuzz::asText(data, size);
    std::string section(fuzz::takeLine(rest)), key(fuzz::takeLine(rest));
    std::string value = IniProfile::lookup(std::string(rest), section, key);
    // A value is part of one line and at most 254 characters of up to 4 bytes.
    if (value.size() > Profile::MaxValueLength * 4)
        fuzz::broken("value longer than the cut");
    if (value.find('\n') != std::string::npos)
        fuzz::broken("value spans lines");
    if (!value.empty() && std::string_view(rest).find(value) == std::string_view::npos)
        fuzz::broken("value not taken from the text");
    return 0;
}
