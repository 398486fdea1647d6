#include "X11WindowSystem.h"

#include <QApplication>
#include <QWidget>
#include <qguiapplication_platform.h>

// xcb after every Qt header, in this file only.
#include <cstdlib>
#include <cstring>
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

bool ownWindow(xcb_window_t w)
{
    for (QWidget* t : QApplication::topLevelWidgets())
        if (t->internalWinId() && static_cast<xcb_window_t>(t->internalWinId()) == w)
            return true;
    return false;
}

template <class Reply> struct Freed {
    Reply* r;
    ~Freed() { std::free(r); }
    Reply* operator->() const { return r; }
    explicit operator bool() const { return r != nullptr; }
};

} // namespace

struct X11WindowSystem::State {
    xcb_connection_t* c = nullptr;
    xcb_window_t root = 0;
    xcb_atom_t active = 0, check = 0, extents = 0, wmState = 0, hidden = 0, above = 0;
    // What was learnt about the current foreground window on this tick.
    xcb_window_t window = 0;
    bool visible = false;
    std::optional<PixelRect> rect;

    xcb_atom_t atom(const char* name)
    {
        auto cookie = xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
        Freed<xcb_intern_atom_reply_t> r{xcb_intern_atom_reply(c, cookie, nullptr)};
        return r ? r->atom : 0;
    }
    // The first 32-bit item of a window's property; nullopt when it is missing or unreadable.
    std::optional<std::uint32_t> window32(xcb_get_property_cookie_t cookie)
    {
        Freed<xcb_get_property_reply_t> r{xcb_get_property_reply(c, cookie, nullptr)};
        if (!r || r->format != 32 || xcb_get_property_value_length(r.r) < 4)
            return std::nullopt;
        return *static_cast<std::uint32_t*>(xcb_get_property_value(r.r));
    }
    xcb_get_property_cookie_t ask(xcb_window_t w, xcb_atom_t a, xcb_atom_t type, std::uint32_t n)
    {
        return xcb_get_property(c, 0, w, a, type, 0, n);
    }
};

bool X11WindowSystem::usable()
{
    return connection() != nullptr;
}

X11WindowSystem::X11WindowSystem() : m(std::make_unique<State>())
{
    m->c = connection();
    if (!m->c)
        return;
    const xcb_setup_t* setup = xcb_get_setup(m->c);
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
    m->root = it.data ? it.data->root : 0;
    m->active = m->atom("_NET_ACTIVE_WINDOW");
    m->check = m->atom("_NET_SUPPORTING_WM_CHECK");
    m->extents = m->atom("_NET_FRAME_EXTENTS");
    m->wmState = m->atom("_NET_WM_STATE");
    m->hidden = m->atom("_NET_WM_STATE_HIDDEN");
    m->above = m->atom("_NET_WM_STATE_ABOVE");
}

X11WindowSystem::~X11WindowSystem() = default;

WindowSystem::Handle X11WindowSystem::foregroundWindow()
{
    State& s = *m;
    s.window = 0;
    s.visible = false;
    s.rect.reset();
    if (!s.c || !s.root)
        return 0;
    // Both questions travel together: one wait for the answers.
    auto checkCookie = s.ask(s.root, s.check, XCB_ATOM_WINDOW, 1);
    auto activeCookie = s.ask(s.root, s.active, XCB_ATOM_WINDOW, 1);
    const auto manager = s.window32(checkCookie);
    const auto active = s.window32(activeCookie);
    if (!manager || !active || *active == 0 || ownWindow(*active))
        return 0;
    const auto self = s.window32(s.ask(*manager, s.check, XCB_ATOM_WINDOW, 1));
    if (!self || *self != *manager)
        return 0;

    const xcb_window_t w = *active;
    auto attrCookie = xcb_get_window_attributes(s.c, w);
    auto geoCookie = xcb_get_geometry(s.c, w);
    auto posCookie = xcb_translate_coordinates(s.c, w, s.root, 0, 0);
    auto extCookie = s.ask(w, s.extents, XCB_ATOM_CARDINAL, 4);
    auto stateCookie = s.ask(w, s.wmState, XCB_ATOM_ATOM, 32);
    Freed<xcb_get_window_attributes_reply_t> attr{
        xcb_get_window_attributes_reply(s.c, attrCookie, nullptr)};
    Freed<xcb_get_geometry_reply_t> geo{xcb_get_geometry_reply(s.c, geoCookie, nullptr)};
    Freed<xcb_translate_coordinates_reply_t> pos{
        xcb_translate_coordinates_reply(s.c, posCookie, nullptr)};
    Freed<xcb_get_property_reply_t> ext{xcb_get_property_reply(s.c, extCookie, nullptr)};
    Freed<xcb_get_property_reply_t> state{xcb_get_property_reply(s.c, stateCookie, nullptr)};
    // A closed window answers with errors: it is no window at all.
    if (!attr || !geo || !pos)
        return 0;

    s.window = w;
    s.visible = attr->map_state == XCB_MAP_STATE_VIEWABLE;
    if (state && state->format == 32) {
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(state.r));
        const int n = xcb_get_property_value_length(state.r) / 4;
        for (int i = 0; i < n; ++i)
            if (atoms[i] == s.hidden)
                s.visible = false;
    }
    std::uint32_t l = 0, r = 0, t = 0, b = 0;
    if (ext && ext->format == 32 && xcb_get_property_value_length(ext.r) >= 16) {
        const auto* v = static_cast<const std::uint32_t*>(xcb_get_property_value(ext.r));
        l = v[0], r = v[1], t = v[2], b = v[3];
    }
    const double ratio = qApp->devicePixelRatio() > 0 ? qApp->devicePixelRatio() : 1.0;
    auto logical = [ratio](long v) { return static_cast<int>(v / ratio); };
    const long x = pos->dst_x, y = pos->dst_y;
    s.rect = PixelRect{logical(x - long(l)), logical(y - long(t)),
                       logical(x + geo->width + long(r)), logical(y + geo->height + long(b))};
    return w;
}

bool X11WindowSystem::isVisible(Handle window)
{
    if (m->window && window == m->window)
        return m->visible;
    return QtWindowSystem::isVisible(window);
}

std::optional<PixelRect> X11WindowSystem::windowRect(Handle window)
{
    if (m->window && window == m->window)
        return m->rect;
    return QtWindowSystem::windowRect(window);
}

void X11WindowSystem::makeTopmost(Handle window, bool on)
{
    // Qt keeps the strip in the window manager's "above" layer already; without a manager
    // a raise is all there is.
    QtWindowSystem::makeTopmost(window, on);
}

} // namespace quavix
