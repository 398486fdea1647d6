#include "Tray.h"

#include <algorithm>
#include <cstring>

namespace quavix {

namespace {
void put32(std::uint8_t* at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint32_t get32(const std::uint8_t* at)
{
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= std::uint32_t(at[i]) << (8 * i);
    return v;
}
} // namespace

std::string NotifyIconData::tip() const
{
    auto end = std::find(szTip.begin(), szTip.end(), '\0');
    return std::string(szTip.begin(), end);
}

std::array<std::uint8_t, NotifyIconData::Size> NotifyIconData::toBytes() const
{
    std::array<std::uint8_t, Size> b{};
    const std::uint32_t ints[] = {cbSize, hWnd, uID, uFlags, uCallbackMessage, hIcon};
    for (std::size_t i = 0; i < 6; ++i)
        put32(b.data() + 4 * i, ints[i]);
    std::memcpy(b.data() + 24, szTip.data(), szTip.size());
    return b;
}

NotifyIconData NotifyIconData::fromBytes(const std::array<std::uint8_t, Size>& b)
{
    NotifyIconData d;
    std::uint32_t* ints[] = {&d.cbSize, &d.hWnd, &d.uID, &d.uFlags, &d.uCallbackMessage, &d.hIcon};
    for (std::size_t i = 0; i < 6; ++i)
        *ints[i] = get32(b.data() + 4 * i);
    std::memcpy(d.szTip.data(), b.data() + 24, d.szTip.size());
    return d;
}

} // namespace quavix
