#pragma once
// Splits a fuzz input into the parts a target needs: leading lines (names to look up) and
// the rest (the file text), so that one corpus file is one readable text file.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quavix::fuzz {

inline std::string_view asText(const std::uint8_t* data, std::size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

// The first line of rest (without its LF), taken off the front.
inline std::string_view takeLine(std::string_view& rest)
{
    std::size_t nl = rest.find('\n');
    std::string_view line = rest.substr(0, nl);
    rest.remove_prefix(nl == std::string_view::npos ? rest.size() : nl + 1);
    return line;
}

// Stops the run with a message libFuzzer reports as a crash, input saved.
[[noreturn]] inline void broken(const char* what)
{
    __builtin_printf("broken invariant: %s\n", what);
    __builtin_trap();
}

} // namespace quavix::fuzz
