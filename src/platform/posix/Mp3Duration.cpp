#include "Mp3Duration.h"

#include <array>
#include <cstdint>
#include <fstream>
#include <system_error>
#include <vector>

namespace quavix {

// Without a Xing/VBRI header the MP3 parser learns the length only after about half a
// second of play; until then the first frame's bit rate and the file size give it.
std::optional<double> estimateMp3Duration(const std::filesystem::path& path)
{
    std::error_code ec;
    auto size = std::filesystem::file_size(path, ec);
    if (ec)
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> buf(std::size_t{64} * 1024);
    in.read(reinterpret_cast<char*>(buf.data()), static_cast<std::streamsize>(buf.size()));
    buf.resize(static_cast<std::size_t>(in.gcount()));

    std::uintmax_t skip = 0;
    if (buf.size() >= 10 && buf[0] == 'I' && buf[1] == 'D' && buf[2] == '3') {
        skip = 10 + ((buf[6] & 0x7fu) << 21 | (buf[7] & 0x7fu) << 14 | (buf[8] & 0x7fu) << 7 |
                     (buf[9] & 0x7fu));
        if (buf[5] & 0x10)
            skip += 10;
        if (skip >= size)
            return std::nullopt;
        in.clear();
        in.seekg(static_cast<std::streamoff>(skip));
        buf.assign(std::size_t{64} * 1024, 0);
        in.read(reinterpret_cast<char*>(buf.data()), static_cast<std::streamsize>(buf.size()));
        buf.resize(static_cast<std::size_t>(in.gcount()));
    }

    struct Frame {
        int version, layer, bitrate, rate, length;
    };
    auto parse = [&](std::size_t at) -> std::optional<Frame> {
        if (at + 4 > buf.size() || buf[at] != 0xff || (buf[at + 1] & 0xe0) != 0xe0)
            return std::nullopt;
        int version = (buf[at + 1] >> 3) & 3; // 0: 2.5, 2: 2, 3: 1
        int layerBits = (buf[at + 1] >> 1) & 3;
        int brIndex = buf[at + 2] >> 4;
        int srIndex = (buf[at + 2] >> 2) & 3;
        int padding = (buf[at + 2] >> 1) & 1;
        if (version == 1 || layerBits == 0 || brIndex == 0 || brIndex == 15 || srIndex == 3)
            return std::nullopt;
        int layer = 4 - layerBits;
        static constexpr std::array<std::array<int, 15>, 5> kbps = {{
            {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
            {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
            {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
            {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
            {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
        }};
        static constexpr std::array<int, 3> rates = {44100, 48000, 32000};
        bool v1 = version == 3;
        int table = v1 ? layer - 1 : (layer == 1 ? 3 : 4);
        int bitrate =
            kbps[static_cast<std::size_t>(table)][static_cast<std::size_t>(brIndex)] * 1000;
        int rate = rates[static_cast<std::size_t>(srIndex)] >> (v1 ? 0 : version == 2 ? 1 : 2);
        int length = layer == 1 ? (12 * bitrate / rate + padding) * 4
                                : ((layer == 3 && !v1) ? 72 : 144) * bitrate / rate + padding;
        return Frame{version, layer, bitrate, rate, length};
    };
    // Two headers in a row, so that a stray 0xff in other data is not taken for a frame.
    for (std::size_t at = 0; at + 4 <= buf.size(); ++at) {
        auto first = parse(at);
        if (!first || first->length < 4)
            continue;
        auto second = parse(at + static_cast<std::size_t>(first->length));
        if (!second || second->version != first->version || second->layer != first->layer ||
            second->rate != first->rate)
            continue;
        std::uintmax_t audioBytes = size - skip;
        // An ID3v1 tag at the end is not audio.
        if (size >= 128 + skip) {
            std::array<char, 3> tag{};
            in.clear();
            in.seekg(static_cast<std::streamoff>(size - 128));
            in.read(tag.data(), 3);
            if (in && tag[0] == 'T' && tag[1] == 'A' && tag[2] == 'G')
                audioBytes -= 128;
        }
        return static_cast<double>(audioBytes) * 8.0 / first->bitrate;
    }
    return std::nullopt;
}

} // namespace quavix
