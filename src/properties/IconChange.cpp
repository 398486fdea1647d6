#include "IconChange.h"

#include <algorithm>

namespace quavix {

double IconDraws::draw(Random& random)
{
    if (!m_seeded) {
        random.seedFromClock();
        m_seeded = true;
    }
    return random.next();
}

int iconIndexForDraw(double r, int iconCount)
{
    if (iconCount <= 0 || !(r >= 0.0))
        return 0;
    return std::min(static_cast<int>(iconCount * std::min(r, 1.0)), iconCount - 1);
}

int IconDraws::drawIndex(Random& random, int count)
{
    return iconIndexForDraw(draw(random), count);
}

std::int16_t iconChangeLimitFor(double r)
{
    return static_cast<std::int16_t>(std::clamp(static_cast<int>(r * 11 + 5), 5, 15));
}

void iconChangeTick(Globals& g, IconDraws& draws, Random& random,
                    const std::function<bool()>& change)
{
    if (g.gIconChangeTicks < g.gIconChangeLimit) {
        ++g.gIconChangeTicks;
        return;
    }
    if (!change())
        return;
    g.gIconChangeLimit = iconChangeLimitFor(draws.draw(random));
    g.gIconChangeTicks = 0;
}

} // namespace quavix

#include "startup/Services.h"

namespace quavix {

void reportImageError()
{
    const std::string para = std::string(CrLf) + CrLf;
    services().dialogs->messageBox(
        "Image Error",
        "An error occurred when attempting to use the image that you have selected." + para +
            "Ensure that the image is a properly formatted icon." + para +
            "If this problem persists, please contact technical support.",
        MsgIcon::Critical, MsgButtons::Ok);
}

} // namespace quavix
