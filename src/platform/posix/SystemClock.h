#pragma once
// The real clock and random numbers (see platform/Clock.h).
#include "platform/Clock.h"

#include <random>

namespace quavix {

// Local time; dateTimeText() follows LC_TIME ("%x %X"), so the program must have called
// setlocale(LC_TIME, "") (QApplication does) for the user's format.
class SystemClock : public Clock {
public:
    LocalDateTime now() override;
    std::string dateTimeText() override;
};

// std::mt19937 seeded from the clock at construction and on seedFromClock(); next() takes
// 53 bits from two draws, so 1.0 can never come out.
class MtRandom : public Random {
public:
    MtRandom();
    void seedFromClock() override;
    double next() override;

private:
    std::mt19937 m_engine;
};

} // namespace quavix
