#include "Placement.h"

#include <algorithm>

namespace quavix::placement {

Horizontal splitHorizontal(long long leftRight)
{
    if (leftRight >= FineLimit || leftRight <= -FineLimit)
        return {static_cast<int>(std::clamp<long long>(leftRight, -CoarseLimit, CoarseLimit)), 0};
    return {0, static_cast<int>(leftRight)};
}

int vertical(long long upDown)
{
    return static_cast<int>(std::clamp<long long>(upDown, -FineLimit, FineLimit));
}

} // namespace quavix::placement
