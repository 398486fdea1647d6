#pragma once
// The titles an Icecast or SHOUTcast server puts between the bytes of a stream it sends to a
// client that asked for them ("Icy-MetaData: 1", answered with "icy-metaint: N"): after every
// N bytes of sound one length byte L, then L x 16 bytes of text such as
// "StreamTitle='Band - Song';StreamUrl='';", padded with NULs. L is 0 while nothing changed.
//
// Read as the bytes arrive from the server, a new title is known about as soon as the server
// sends it, seconds before the sound it belongs to has made its way through the player's
// buffers. A plain function of the bytes fed, in any pieces.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quavix {

class IcyMetadataReader {
public:
    // `interval`: the bytes of sound between two blocks, as the server announced them (> 0).
    explicit IcyMetadataReader(std::size_t interval);

    // The next `size` bytes of the body, from its first byte on. Returns the StreamTitle of
    // the last complete block in them that names one: UTF-8 (text that is not is read as
    // Latin-1), control characters dropped, "" when the server cleared the title. nullopt
    // when no block in these bytes names a title.
    std::optional<std::string> feed(const unsigned char* data, std::size_t size);

private:
    enum class Part { Sound, Length, Text };
    std::size_t m_interval;
    Part m_part = Part::Sound;
    std::size_t m_left; // bytes of the current part still to come
    std::string m_text;
};

// The StreamTitle of one metadata block's text, as IcyMetadataReader::feed returns it.
std::optional<std::string> icyStreamTitle(std::string_view block);

} // namespace quavix
