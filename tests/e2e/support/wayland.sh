# Shared by the Wayland tests: each runs in a private mount, network and process namespace
# (its own /tmp, so a compositor's Xwayland display, lock files and sockets never meet the
# host's; and every process started inside ends with the test, whoever started it), with
# its own runtime folder and session bus. Source it first thing:
#
#   enter_namespace "$@"   re-runs the script inside the namespace (root only; others skip)
#   start_wayland_dirs     sets E2E_DIR, the XDG_* folders and a session bus
#   strip_geometry         prints "X Y W H" of the strip on the Xwayland display
#   start_strip NAME CHECK starts $gui as the desktop's user (log gui-NAME.log), waits
#                          until CHECK succeeds; sets pid
#   strip_option KEY VALUE sets one of the strip's options for its next start
#   expected_spot R T W    the placement rule's spot for a strip W wide over a window
#                          whose outer right edge is R and top edge T
#   start_accessibility    switches the accessibility bus on (before the strip starts)
#   strip_menu ITEM...     chooses a command of the strip $pid's menu through it, as a
#                          screen reader does (no input device reaches a native window here)
here_wl=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here_wl/session.sh"

skip() {
    echo "SKIP: $*"
    exit 0
}

enter_namespace() {
    if [ -z "${QUAVIX_IN_NAMESPACE:-}" ]; then
        [ "$(id -u)" = 0 ] || skip "a private mount namespace needs root"
        exec unshare -m -n -p -f --mount-proc env QUAVIX_IN_NAMESPACE=1 bash "$0" "$@"
    fi
    mount --make-rprivate /
    # The tests and the build may live under /tmp themselves (a CI checkout): their top
    # folders come back into the private /tmp.
    local keep=() path top
    for path in "$here_wl" "$@"; do
        path=$(realpath -m "$path")
        [[ $path == /tmp/?* ]] || continue
        top=${path#/tmp/}
        keep+=("${top%%/*}")
    done
    mkdir -p /mnt
    mount --bind /tmp /mnt
    mount -t tmpfs -o mode=1777 none /tmp
    for top in "${keep[@]}"; do
        [ -d "/tmp/$top" ] && continue
        mkdir -p "/tmp/$top"
        mount --bind "/mnt/$top" "/tmp/$top"
    done
    mkdir -p /tmp/.X11-unix /tmp/.ICE-unix
    chmod 1777 /tmp/.X11-unix /tmp/.ICE-unix
    ip link set lo up
}

# Everything a user of the namespace's desktop needs, owned by $1 (a user name).
start_wayland_dirs() {
    local owner=${1:-root}
    E2E_DIR=$(mktemp -d /tmp/quavix-wl.XXXXXX)
    chmod 755 "$E2E_DIR"
    export XDG_CONFIG_HOME=$E2E_DIR/config XDG_DATA_HOME=$E2E_DIR/data
    export XDG_STATE_HOME=$E2E_DIR/state XDG_CACHE_HOME=$E2E_DIR/cache
    export XDG_RUNTIME_DIR=$E2E_DIR/runtime HOME=$E2E_DIR/home
    mkdir -p "$XDG_CONFIG_HOME/quavix" "$XDG_DATA_HOME" "$XDG_STATE_HOME" "$XDG_CACHE_HOME" \
        "$XDG_RUNTIME_DIR" "$HOME"
    printf '[File Locations]\nFileList=%s\n' "$E2E_DIR/list.m3u" >"$XDG_CONFIG_HOME/quavix/options.ini"
    chown -R "$owner" "$E2E_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    trap stop_session EXIT
    export DBUS_SESSION_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/bus
    as_owner dbus-daemon --session --address="$DBUS_SESSION_BUS_ADDRESS" --nofork --nopidfile \
        >"$E2E_DIR/dbus.log" 2>&1 &
    own_pid $!
    wait_for "[ -S '$XDG_RUNTIME_DIR/bus' ]" 10 || fail "no session bus"
    export QUAVIX_AUDIO_SINK="fakesink sync=true"
}

# Runs a command as the namespace desktop's user (set WL_USER to a user name; root when unset).
as_owner() {
    if [ -n "${WL_USER:-}" ] && [ "$WL_USER" != root ]; then
        setpriv --reuid="$WL_USER" --regid="$(id -g "$WL_USER")" --clear-groups "$@"
    else
        "$@"
    fi
}

strip_geometry() {
    local id
    id=$(as_owner xdotool search --name '^Quavix$' 2>/dev/null | while read -r w; do
        as_owner xwininfo -id "$w" 2>/dev/null | grep -q 'Map State: IsViewable' && echo "$w"
    done | head -n 1)
    [ -n "$id" ] || return 1
    as_owner xwininfo -id "$id" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
        /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'
}

# The placement rule on screen pixels at 96 DPI: 57 px left of the outer right edge, 80
# twips (5 px) below the outer top.
expected_spot() { # right top width
    echo "$(($1 - 57 - $3)) $(($2 + 5))"
}

start_strip() {
    local name=$1 check=$2
    # Started directly, not through a function: $! must be the program itself.
    if [ -n "${WL_USER:-}" ] && [ "$WL_USER" != root ]; then
        setpriv --reuid="$WL_USER" --regid="$(id -g "$WL_USER")" --clear-groups "$gui" \
            >"$E2E_DIR/gui-$name.log" 2>&1 &
    else
        "$gui" >"$E2E_DIR/gui-$name.log" 2>&1 &
    fi
    pid=$!
    own_pid $pid
    wait_for "$check" 20 || fail "the strip did not map: $(cat "$E2E_DIR/gui-$name.log")"
}

strip_option() {
    local options=$XDG_CONFIG_HOME/quavix/options.ini
    if grep -q "^$1=" "$options"; then
        sed -i "s/^$1=.*/$1=$2/" "$options"
    elif grep -q '^\[Options\]' "$options"; then
        sed -i "0,/^\[Options\]/s//[Options]\n$1=$2/" "$options"
    else
        printf '[Options]\n%s=%s\n' "$1" "$2" >>"$options"
    fi
}

start_accessibility() {
    as_owner /usr/bin/python3 -c 'import pyatspi; pyatspi.Registry.getDesktop(0).childCount' >/dev/null ||
        fail "no accessibility bus (python3-pyatspi, at-spi2-core: scripts/install-deps)"
    as_owner gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus --method \
        org.freedesktop.DBus.Properties.Set org.a11y.Status IsEnabled '<true>' >/dev/null ||
        fail "cannot switch accessibility on"
}

strip_menu() {
    as_owner /usr/bin/python3 "$here_wl/strip_menu.py" "$pid" "$@"
}
