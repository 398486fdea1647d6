#include "Globals.h"

namespace quavix {

namespace {
Globals g_state;
}

Globals& globals()
{
    return g_state;
}

void resetGlobals()
{
    g_state = Globals{};
}

} // namespace quavix
