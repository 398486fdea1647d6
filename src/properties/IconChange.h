#pragma once
// The random icon changes without the windows: which icon a draw picks, and the counting
// of the minute timer.
#include "platform/Clock.h"
#include "startup/Globals.h"

#include <functional>

namespace quavix {

// Index into a set of iconCount icons for a random draw r in [0, 1).
int iconIndexForDraw(double r, int iconCount);

// Draws icon indices. The generator is seeded from the clock before the first draw only:
// seeding again before every draw would repeat the same icon for changes that come within
// one tick of the clock (short files played one after the other).
class IconDraws {
public:
    // An index 0 .. count-1, each with the same chance.
    int drawIndex(Random& random, int count);
    // A plain draw in [0, 1) from the same generator.
    double draw(Random& random);

private:
    bool m_seeded = false;
};

// Minutes to wait after a change, for a draw r in [0, 1): 5 to 15.
std::int16_t iconChangeLimitFor(double r);

// One tick of the minute timer: when gIconChangeTicks has reached gIconChangeLimit the icon
// changes (change() returns false when it could not) and, after a change, a new limit is
// drawn and the ticks start again from 0; otherwise the tick is counted. A failed change
// leaves both counters, so the next tick tries again.
void iconChangeTick(Globals& g, IconDraws& draws, Random& random,
                    const std::function<bool()>& change);

} // namespace quavix

namespace quavix {

// The "Image Error" box: a picture that cannot serve as the program's icon.
void reportImageError();

} // namespace quavix
