#include "StripX11.h"

#include <QGuiApplication>
#include <QWidget>
#include <qguiapplication_platform.h>

// Xlib defines Status, None, Bool, Success: it comes after every Qt header, in this file only.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <vector>

namespace quavix {

void keepOffTaskbar(QWidget* window)
{
    if (!window || QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    Display* display = x11 ? x11->display() : nullptr;
    const WId id = window->internalWinId();
    if (!display || !id)
        return;

    const Window w = static_cast<Window>(id);
    const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
    const Atom wanted[] = {XInternAtom(display, "_NET_WM_STATE_SKIP_TASKBAR", False),
                           XInternAtom(display, "_NET_WM_STATE_SKIP_PAGER", False)};

    // Keep whatever states the window has already (Qt adds "above" on its own).
    std::vector<Atom> atoms;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, w, state, 0, 64, False, XA_ATOM, &type, &format, &count, &after,
                           &data) == Success &&
        data) {
        if (type == XA_ATOM && format == 32) {
            const auto* existing = reinterpret_cast<const Atom*>(data);
            atoms.assign(existing, existing + count);
        }
        XFree(data);
    }
    for (Atom a : wanted)
        if (std::find(atoms.begin(), atoms.end(), a) == atoms.end())
            atoms.push_back(a);
    XChangeProperty(display, w, state, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(atoms.data()),
                    static_cast<int>(atoms.size()));
    XFlush(display);
}

} // namespace quavix
