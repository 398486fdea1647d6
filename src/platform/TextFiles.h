#pragma once
// Small text and file helpers shared by the Qt-free services (profile, options store,
// play list hand-off), so that each reads INI names and writes files the same way.
#include <cerrno>
#include <string>
#include <string_view>
#include <unistd.h>

namespace quavix::text {

inline bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Without blanks and tabs at either end.
// The value of a hexadecimal digit, -1 for any other character.
inline int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

inline std::string_view trim(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

inline char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// The text with ASCII letters lowered, other bytes as they are: the key under which names
// that compare as sameName meet.
inline std::string asciiLowered(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = asciiLower(c);
    return out;
}

// INI section and key names compare without regard to ASCII case.
inline bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    return true;
}

// Strict UTF-8: no overlong forms, surrogates or code points past U+10FFFF.
inline bool isUtf8(std::string_view s)
{
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const std::size_t n = s.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        // The second byte's range rules out overlong forms, surrogates and what lies
        // past U+10FFFF.
        std::size_t len = 4;
        unsigned char lo = 0x80, hi = 0xbf;
        if (c < 0xc2 || c > 0xf4)
            return false;
        if (c <= 0xdf) {
            len = 2;
        } else if (c <= 0xef) {
            len = 3;
            lo = c == 0xe0 ? 0xa0 : 0x80;
            hi = c == 0xed ? 0x9f : 0xbf;
        } else {
            lo = c == 0xf0 ? 0x90 : 0x80;
            hi = c == 0xf4 ? 0x8f : 0xbf;
        }
        if (i + len > n || p[i + 1] < lo || p[i + 1] > hi)
            return false;
        for (std::size_t k = 2; k < len; ++k)
            if ((p[i + k] & 0xc0) != 0x80)
                return false;
        i += len;
    }
    return true;
}

// Takes the next line off the front of text, without its line end (LF or CR LF).
inline std::string_view nextLine(std::string_view& text)
{
    std::size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

// Writes all of data, going on after interrupted or short writes; false on any error.
inline bool writeAll(int fd, std::string_view data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace quavix::text
