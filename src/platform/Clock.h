#pragma once
// Clock and random numbers.
//
// Clock::now() is the local date and time; dateTimeText() is it as text in the system's
// default short date-and-time format (the locale's, e.g. "12/06/26 16:35:12").
// Random: seedFromClock() reseeds from the clock; next() draws uniformly from [0, 1).
#include <string>

namespace quavix {

struct LocalDateTime {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalDateTime now() = 0;
    virtual std::string dateTimeText() = 0;
};

class Random {
public:
    virtual ~Random() = default;
    virtual void seedFromClock() = 0;
    virtual double next() = 0;
};

} // namespace quavix
