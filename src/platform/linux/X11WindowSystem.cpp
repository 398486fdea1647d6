#include "X11WindowSystem.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <qguiapplication_platform.h>

// xcb after every Qt header, in this file only.
#include <cstdlib>
#include <cstring>
#include <iterator>
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

template <class Reply> struct Freed {
    Reply* r;
    ~Freed() { std::free(r); }
    Reply* operator->() const { return r; }
    explicit operator bool() const { return r != nullptr; }
};

} // namespace

struct X11WindowSystem::State : QAbstractNativeEventFilter {
    xcb_connection_t* c = nullptr;
    xcb_window_t root = 0;
    xcb_atom_t active = 0, check = 0, extents = 0, wmState = 0, hidden = 0, above = 0;
    // What was learnt about the current foreground window at the last refresh.
    xcb_window_t window = 0;
    bool visible = false;
    std::optional<PixelRect> rect;
    // Foreign windows whose changes we are told of: the one in front and the manager's.
    xcb_window_t watched = 0, watchedManager = 0;
    // The ids the server hands this connection. The toolkit's event mask on our own
    // windows shares this connection: changing it there would leave a window deaf to
    // keys. A window of ours can also be named before it exists: a program that ran
    // before us on the same display had the same ids, and the manager may still name
    // its last active window.
    std::uint32_t idBase = 0, idMask = 0;
    bool ours(xcb_window_t w) const { return idMask != 0 && (w & ~idMask) == idBase; }
    bool stale = true;
    std::uint64_t refreshes = 0;

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto* e = static_cast<const xcb_generic_event_t*>(message);
        switch (e->response_type & 0x7f) {
        case XCB_PROPERTY_NOTIFY: {
            const auto* p = static_cast<const xcb_property_notify_event_t*>(message);
            if ((p->window == root && (p->atom == active || p->atom == check)) ||
                (p->window == watched && (p->atom == extents || p->atom == wmState)))
                stale = true;
            break;
        }
        case XCB_CONFIGURE_NOTIFY:
            stale |= static_cast<const xcb_configure_notify_event_t*>(message)->window == watched;
            break;
        case XCB_MAP_NOTIFY:
            stale |= static_cast<const xcb_map_notify_event_t*>(message)->window == watched;
            break;
        case XCB_UNMAP_NOTIFY:
            stale |= static_cast<const xcb_unmap_notify_event_t*>(message)->window == watched;
            break;
        case XCB_REPARENT_NOTIFY:
            stale |= static_cast<const xcb_reparent_notify_event_t*>(message)->window == watched;
            break;
        case XCB_DESTROY_NOTIFY: {
            const auto w = static_cast<const xcb_destroy_notify_event_t*>(message)->window;
            stale |= w == watched || w == watchedManager;
            break;
        }
        default:
            break;
        }
        return false; // Qt still gets every event
    }

    // Asks to be told of changes to a foreign window, and no longer of the one before. Our
    // event mask on a foreign window is ours alone; a window that has gone meanwhile
    // answers with an error, which is dropped here rather than logged by Qt.
    void watch(xcb_window_t& slot, xcb_window_t w, std::uint32_t mask)
    {
        if (slot == w)
            return;
        auto select = [this](xcb_window_t win, std::uint32_t eventMask) {
            if (win && !ours(win))
                xcb_discard_reply(
                    c, xcb_change_window_attributes_checked(c, win, XCB_CW_EVENT_MASK, &eventMask)
                           .sequence);
        };
        select(slot, 0);
        select(w, mask);
        slot = w;
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

    // The atoms and the root's event mask: asked for at construction, all together, and
    // read once, when first needed.
    static constexpr const char* AtomNames[] = {"_NET_ACTIVE_WINDOW",   "_NET_SUPPORTING_WM_CHECK",
                                                "_NET_FRAME_EXTENTS",   "_NET_WM_STATE",
                                                "_NET_WM_STATE_HIDDEN", "_NET_WM_STATE_ABOVE"};
    xcb_intern_atom_cookie_t atomCookies[std::size(AtomNames)]{};
    xcb_get_window_attributes_cookie_t rootCookie{};
    bool settled = false;

    void ask()
    {
        for (std::size_t i = 0; i < std::size(AtomNames); ++i)
            atomCookies[i] = xcb_intern_atom(
                c, 0, static_cast<std::uint16_t>(std::strlen(AtomNames[i])), AtomNames[i]);
        rootCookie = xcb_get_window_attributes(c, root);
        xcb_flush(c);
    }
    void settle()
    {
        if (settled)
            return;
        settled = true;
        xcb_atom_t* const atoms[] = {&active, &check, &extents, &wmState, &hidden, &above};
        for (std::size_t i = 0; i < std::size(AtomNames); ++i) {
            Freed<xcb_intern_atom_reply_t> r{xcb_intern_atom_reply(c, atomCookies[i], nullptr)};
            *atoms[i] = r ? r->atom : 0;
        }
        // Qt has its own interest in the root window; add ours to it rather than replace it.
        Freed<xcb_get_window_attributes_reply_t> rootAttr{
            xcb_get_window_attributes_reply(c, rootCookie, nullptr)};
        const std::uint32_t mask =
            (rootAttr ? rootAttr->your_event_mask : 0) | XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    }
};

bool X11WindowSystem::usable()
{
    return connection() != nullptr;
}

X11WindowSystem::X11WindowSystem(bool bypassManager)
    : m(std::make_unique<State>()), m_bypass(bypassManager)
{
    m->c = connection();
    if (!m->c)
        return;
    const xcb_setup_t* setup = xcb_get_setup(m->c);
    m->idBase = setup->resource_id_base;
    m->idMask = setup->resource_id_mask;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
    m->root = it.data ? it.data->root : 0;
    if (!m->root)
        return;
    // The questions go out now and their answers are read at the first use (after the strip
    // shows): start-up does not wait for them.
    m->ask();
    qApp->installNativeEventFilter(m.get());
}

X11WindowSystem::~X11WindowSystem()
{
    if (!m->c || !m->root)
        return;
    if (!m->settled) {
        for (const auto& cookie : m->atomCookies)
            xcb_discard_reply(m->c, cookie.sequence);
        xcb_discard_reply(m->c, m->rootCookie.sequence);
    }
    if (qApp)
        qApp->removeNativeEventFilter(m.get());
}

std::uint64_t X11WindowSystem::refreshCount() const
{
    return m->refreshes;
}

WindowSystem::Handle X11WindowSystem::foregroundWindow()
{
    State& s = *m;
    if (!s.c || !s.root)
        return 0;
    s.settle();
    if (!s.stale)
        return s.window;
    // Cleared before the questions: a change while they travel marks the answers stale.
    s.stale = false;
    ++s.refreshes;
    s.window = 0;
    s.visible = false;
    s.rect.reset();
    // Both questions travel together: one wait for the answers.
    auto checkCookie = s.ask(s.root, s.check, XCB_ATOM_WINDOW, 1);
    auto activeCookie = s.ask(s.root, s.active, XCB_ATOM_WINDOW, 1);
    const auto manager = s.window32(checkCookie);
    const auto active = s.window32(activeCookie);
    // A manager that exits destroys its check window, which is how we learn of it.
    s.watch(s.watchedManager, manager.value_or(0), XCB_EVENT_MASK_STRUCTURE_NOTIFY);
    if (!manager || !active || *active == 0 || s.ours(*active)) {
        s.watch(s.watched, 0, 0);
        return 0;
    }
    const auto self = s.window32(s.ask(*manager, s.check, XCB_ATOM_WINDOW, 1));
    if (!self || *self != *manager) {
        s.watch(s.watched, 0, 0);
        return 0;
    }

    const xcb_window_t w = *active;
    // Watched before its geometry is read, so that a move in between is not missed. A
    // reparenting manager tells the client of frame moves with a synthetic ConfigureNotify.
    s.watch(s.watched, w, XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE);
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
