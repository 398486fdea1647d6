#include "Windows.h"

namespace quavix {

namespace {
std::function<MainWindowPort*()>& loader()
{
    static std::function<MainWindowPort*()> l;
    return l;
}
MainWindowPort* g_main = nullptr;
} // namespace

MainWindowPort* mainWindow()
{
    if (!g_main && loader())
        g_main = loader()();
    return g_main;
}

MainWindowPort* mainWindowIfLoaded()
{
    return g_main;
}

void setMainWindowLoader(std::function<MainWindowPort*()> l)
{
    loader() = std::move(l);
    g_main = nullptr;
}

void mainWindowUnloaded()
{
    g_main = nullptr;
}

} // namespace quavix
