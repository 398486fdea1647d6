#include "StripX11.h"

#include <QGuiApplication>
#include <QWidget>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <qguiapplication_platform.h>
#include <vector>
#include <xcb/xcb.h>

namespace quavix {

namespace {

xcb_connection_t* connection()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

enum AtomIndex { NetWmState, SkipTaskbar, SkipPager, AtomCount };

// Asked for once per process, all together and ahead of need: this runs before every map
// of the strip, the first one included, where each wait for the server delays the strip.
struct Atoms {
    std::array<xcb_intern_atom_cookie_t, AtomCount> cookies{};
    std::array<xcb_atom_t, AtomCount> atoms{};
    bool asked = false, known = false;

    void ask(xcb_connection_t* c)
    {
        if (asked)
            return;
        asked = true;
        const char* const names[AtomCount] = {"_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR",
                                              "_NET_WM_STATE_SKIP_PAGER"};
        for (int i = 0; i < AtomCount; ++i)
            cookies[i] =
                xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(names[i])), names[i]);
        xcb_flush(c);
    }
    const std::array<xcb_atom_t, AtomCount>& get(xcb_connection_t* c)
    {
        ask(c);
        if (!known) {
            known = true;
            for (int i = 0; i < AtomCount; ++i) {
                xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(c, cookies[i], nullptr);
                atoms[i] = r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
                std::free(r);
            }
        }
        return atoms;
    }
};

Atoms& atoms()
{
    static Atoms a;
    return a;
}

} // namespace

void prepareKeepOffTaskbar()
{
    if (xcb_connection_t* c = connection())
        atoms().ask(c);
}

void keepOffTaskbar(QWidget* window)
{
    xcb_connection_t* c = window ? connection() : nullptr;
    const WId id = window ? window->internalWinId() : 0;
    if (!c || !id)
        return;
    const auto& a = atoms().get(c);
    if (a[NetWmState] == XCB_ATOM_NONE || a[SkipTaskbar] == XCB_ATOM_NONE ||
        a[SkipPager] == XCB_ATOM_NONE)
        return;
    // Keep whatever states the window has already.
    const auto w = static_cast<xcb_window_t>(id);
    std::vector<xcb_atom_t> states;
    xcb_get_property_reply_t* r = xcb_get_property_reply(
        c, xcb_get_property(c, 0, w, a[NetWmState], XCB_ATOM_ATOM, 0, 64), nullptr);
    if (r && r->type == XCB_ATOM_ATOM && r->format == 32) {
        const auto* existing = static_cast<const xcb_atom_t*>(xcb_get_property_value(r));
        states.assign(existing, existing + xcb_get_property_value_length(r) / 4);
    }
    std::free(r);
    for (xcb_atom_t wanted : {a[SkipTaskbar], a[SkipPager]})
        if (std::find(states.begin(), states.end(), wanted) == states.end())
            states.push_back(wanted);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, a[NetWmState], XCB_ATOM_ATOM, 32,
                        static_cast<std::uint32_t>(states.size()), states.data());
    xcb_flush(c);
}

} // namespace quavix
