# Chooses a command of a running strip's menu as a screen reader does: the icon's ShowMenu
# action, then the menu's items by name (submenus walked, the last item pressed). The menu
# never joins the accessible tree (Qt leaves pop-ups out); the focus it gives its first item
# is how a reader, and this, finds it.
# Usage: strip_menu.py PID ITEM... (e.g. Options "Show Slider"); exits non-zero on failure.
import sys
import time

import pyatspi
from gi.repository import GLib

pid, path = int(sys.argv[1]), sys.argv[2:]


def actions(node):
    try:
        act = node.queryAction()
    except NotImplementedError:
        return []
    return [act.getName(i) for i in range(act.nActions)]


def find(node, test):
    if test(node):
        return node
    for child in node:
        found = child is not None and find(child, test)
        if found:
            return found
    return None


def application():
    deadline = time.time() + 20
    while time.time() < deadline:
        for app in pyatspi.Registry.getDesktop(0):
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except Exception:
                pass
        time.sleep(0.2)
    sys.exit("the strip is not on the accessibility bus")


icon = find(application(), lambda n: "ShowMenu" in actions(n))
if icon is None:
    sys.exit("no accessible with a ShowMenu action")
focused = []


def on_focus(event):
    try:
        if event.detail1 and event.source.get_process_id() == pid and \
                event.source.parent is not None and event.source.parent.childCount > 1:
            focused.append(event.source)
            pyatspi.Registry.stop()
    except Exception:
        pass


def open_menu():
    icon.queryAction().doAction(actions(icon).index("ShowMenu"))
    return False


pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")
GLib.timeout_add(100, open_menu)
GLib.timeout_add(10000, lambda: pyatspi.Registry.stop())
pyatspi.Registry.start()
if not focused:
    sys.exit("the menu did not open")
node = focused[0].parent
for step in path:
    items = [c for c in node if c is not None and c.name.replace("&", "") == step]
    if not items:
        sys.exit(f"no {step!r} among {[c.name for c in node]}")
    if step == path[-1]:
        if not items[0].queryAction().doAction(0):
            sys.exit(f"{step!r} did not run")
    else:
        node = items[0][0]  # the submenu
