#include "SystemClock.h"

#include <chrono>
#include <ctime>

namespace quavix {

namespace {
std::tm localNow()
{
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}
} // namespace

LocalDateTime SystemClock::now()
{
    std::tm tm = localNow();
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::string SystemClock::dateTimeText()
{
    std::tm tm = localNow();
    char buf[128];
    std::size_t n = std::strftime(buf, sizeof buf, "%x %X", &tm);
    return std::string(buf, n);
}

MtRandom::MtRandom()
{
    seedFromClock();
}

void MtRandom::seedFromClock()
{
    auto ticks = std::chrono::system_clock::now().time_since_epoch().count();
    m_engine.seed(static_cast<std::mt19937::result_type>(ticks ^ (ticks >> 32)));
}

double MtRandom::next()
{
    std::uint64_t a = m_engine() >> 5, b = m_engine() >> 6; // 27 + 26 bits
    return static_cast<double>((a << 26) | b) / 9007199254740992.0;
}

} // namespace quavix
