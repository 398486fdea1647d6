#!/usr/bin/env bash
# The strip as a screen reader sees it, through the real accessibility bus (AT-SPI): the
# nine transport buttons by name, the position slider with its value, the status text
# changing when a file plays; then a keyboard-only path: the strip given the keyboard,
# Shift+F10, Play List Editor from the menu, Escape closes it.
# Usage: screen_reader.sh <folder of quavix-gui>
set -u
# Its own session bus, on which the accessibility bus is started on demand.
if [ -z "${QUAVIX_E2E_OWN_BUS:-}" ]; then
    QUAVIX_E2E_OWN_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
source "$(dirname "$0")/support/session.sh"
gui="$1/quavix-gui"
[ -x "$gui" ] || fail "no $gui"
py=/usr/bin/python3 # the system's, which has the accessibility bindings
"$py" -c 'import pyatspi' 2>/dev/null || fail "pyatspi is missing; run scripts/install-deps"
start_session
export QUAVIX_INSTANCE_NAME="quavix-e2e-reader-$$"

song="$E2E_DIR/Reader - Test - 2026 - Tone - 0_21.mp3"
gst-launch-1.0 -q audiotestsrc wave=sine freq=440 volume=0.2 num-buffers=900 ! \
    audio/x-raw,rate=44100,channels=2 ! audioconvert ! lamemp3enc ! xingmux ! \
    filesink location="$song" || fail "cannot generate the song"
mkdir -p "$XDG_CONFIG_HOME/quavix"
: >"$E2E_DIR/list.m3u"
printf '[File Locations]\nFileList=%s\n[Options]\nStatusAreaVisible=True\nControlsVisible=True\nSliderVisible=True\n' \
    "$E2E_DIR/list.m3u" >"$XDG_CONFIG_HOME/quavix/options.ini"

# The accessibility bus and its registry up first, as a desktop session has them.
"$py" -c 'import pyatspi; pyatspi.Registry.getDesktop(0).childCount' ||
    fail "the accessibility bus does not start"
# Accessibility on as a screen reader turns it on: the bus's status, not a toolkit variable.
gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
    --method org.freedesktop.DBus.Properties.Set org.a11y.Status IsEnabled '<true>' >/dev/null ||
    fail "cannot switch accessibility on"
QUAVIX_AUDIO_SINK="fakesink sync=true" \
    "$gui" "$song" >"$E2E_DIR/gui.log" 2>&1 &
pid=$!
own_pid $pid
wid=$(wait_for_window '^Quavix$' 20) || fail "no strip window: $(cat "$E2E_DIR/gui.log")"

"$py" - "$pid" <<'PY' || fail "the accessibility tree is not what a reader needs"
import sys, time
import pyatspi

pid = int(sys.argv[1])

def find_app():
    deadline = time.time() + 20
    while time.time() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except Exception:
                pass
        time.sleep(0.2)
    sys.exit("the program is not on the accessibility bus")

# Roles by their number: the names changed ("push button" in AT-SPI 2.46, "button" in 2.56).
def walk(node, depth=0, out=None):
    out = [] if out is None else out
    try:
        out.append((depth, node.getRole(), node.name, node))
        for child in node:
            if child is not None:
                walk(child, depth + 1, out)
    except Exception:
        pass
    return out

app = find_app()
nodes = walk(app)
for depth, role, name, _ in nodes:
    print("  " * depth + f"{role}: {name!r}")
names = [name for _, role, name, _ in nodes if role == pyatspi.ROLE_PUSH_BUTTON]
wanted = ["Previous", "Next", "Play", "Pause", "Back", "Step", "Stop", "Record", "Eject",
          "Quavix menu"]
missing = [w for w in wanted if w not in names]
if missing:
    sys.exit(f"buttons missing: {missing}")
sliders = [n for _, role, name, n in nodes if role == pyatspi.ROLE_SLIDER and name == "Position"]
if not sliders:
    sys.exit("no slider named Position")
sliders[0].queryValue().currentValue  # a value a reader can speak

labels = [n for _, role, name, n in nodes
          if role == pyatspi.ROLE_LABEL and name.split(",")[0] in ("Playing", "Paused", "Stopped", "Opening")]
if not labels:
    sys.exit("no status text")
# The text the reader hears follows what plays: the song's name while it plays.
deadline = time.time() + 15
seen = set()
while time.time() < deadline and not any(t.startswith("Playing, Reader") for t in seen):
    seen.add(labels[0].name)
    time.sleep(0.1)
print("status texts seen:", sorted(seen))
if not any(t.startswith("Playing, Reader") for t in seen):
    sys.exit("the status text never said what plays")

# Pause and Stop as a reader presses them, by their accessible actions, while it plays.
buttons = {name: n for _, role, name, n in nodes if role == pyatspi.ROLE_PUSH_BUTTON}
for button, said in (("Pause", "Paused"), ("Stop", "Stopped")):
    buttons[button].queryAction().doAction(0)
    deadline = time.time() + 10
    while time.time() < deadline and not labels[0].name.startswith(said):
        time.sleep(0.05)
    if not labels[0].name.startswith(said):
        sys.exit(f"{button} pressed, but the status says {labels[0].name!r}")
    print(f"{button}: {labels[0].name!r}")
PY

# The keyboard alone: the window switcher gives the strip the keyboard, Shift+F10 opens the
# menu, E chooses Play List Editor, Escape closes the editor as Cancel does.
xdotool windowactivate --sync "$wid" 2>/dev/null || xdotool windowfocus --sync "$wid"
menu_open() { [ "$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l)" -ge 2 ]; }
for try in 1 2 3; do
    xdotool key --window "$wid" shift+F10
    wait_for menu_open 3 && break
done
menu_open || fail "Shift+F10 opened no menu"
xdotool key e
editor=$(wait_for_window '^Play List$' 10) || fail "Play List Editor did not open"
xdotool windowactivate --sync "$editor" 2>/dev/null || true
xdotool key --window "$editor" Escape
wait_for "! xdotool search --onlyvisible --name '^Play List\$' >/dev/null" 10 ||
    fail "Escape did not close the editor"
echo "screen_reader: ok"
