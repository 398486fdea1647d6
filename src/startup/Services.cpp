#include "Services.h"

namespace quavix {

Services& services()
{
    static Services s;
    return s;
}

} // namespace quavix
