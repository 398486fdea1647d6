#include "IcyMetadata.h"

#include "TextFiles.h"

#include <algorithm>

namespace quavix {

namespace {

std::string fromLatin1(std::string_view s)
{
    std::string out;
    for (char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xc0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3f));
        }
    }
    return out;
}

} // namespace

std::optional<std::string> icyStreamTitle(std::string_view block)
{
    constexpr std::string_view key = "StreamTitle='";
    const std::size_t start = block.find(key);
    if (start == std::string_view::npos)
        return std::nullopt;
    std::string_view value = block.substr(start + key.size());
    // A title may hold apostrophes of its own: it ends where "';" does, or at the last quote.
    if (const std::size_t end = value.find("';"); end != std::string_view::npos)
        value = value.substr(0, end);
    else if (const std::size_t quote = value.rfind('\''); quote != std::string_view::npos)
        value = value.substr(0, quote);
    else
        value = value.substr(0, value.find('\0'));
    std::string title = text::isUtf8(value) ? std::string(value) : fromLatin1(value);
    title.erase(std::remove_if(title.begin(), title.end(),
                               [](char c) { return static_cast<unsigned char>(c) < 0x20; }),
                title.end());
    return std::string(text::trim(title));
}

IcyMetadataReader::IcyMetadataReader(std::size_t interval)
    : m_interval(std::max<std::size_t>(interval, 1)), m_left(m_interval)
{
}

std::optional<std::string> IcyMetadataReader::feed(const unsigned char* data, std::size_t size)
{
    std::optional<std::string> title;
    while (size > 0) {
        switch (m_part) {
        case Part::Sound: {
            const std::size_t n = std::min(size, m_left);
            data += n;
            size -= n;
            m_left -= n;
            if (m_left == 0)
                m_part = Part::Length;
            break;
        }
        case Part::Length:
            m_left = std::size_t{*data} * 16;
            ++data;
            --size;
            m_text.clear();
            m_part = m_left > 0 ? Part::Text : Part::Sound;
            if (m_left == 0)
                m_left = m_interval;
            break;
        case Part::Text: {
            const std::size_t n = std::min(size, m_left);
            m_text.append(reinterpret_cast<const char*>(data), n);
            data += n;
            size -= n;
            m_left -= n;
            if (m_left == 0) {
                if (auto t = icyStreamTitle(m_text))
                    title = std::move(t);
                m_part = Part::Sound;
                m_left = m_interval;
            }
            break;
        }
        }
    }
    return title;
}

} // namespace quavix
