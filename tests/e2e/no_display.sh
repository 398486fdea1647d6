#!/usr/bin/env bash
# Started where there is no display (a console, ssh without forwarding, a display that has
# gone): both programs say so in one line and end with status 1; --help and --version
# answer all the same; nothing is written.
# Usage: no_display.sh <folder of quavix-gui>
set -u
source "$(dirname "$0")/support/session.sh"
bin=$1
[ -x "$bin/quavix-gui" ] || fail "no $bin/quavix-gui"
E2E_DIR=$(mktemp -d /tmp/quavix-e2e.XXXXXX)
trap stop_session EXIT
export XDG_CONFIG_HOME=$E2E_DIR/config XDG_DATA_HOME=$E2E_DIR/data XDG_STATE_HOME=$E2E_DIR/state
export XDG_RUNTIME_DIR=$E2E_DIR/runtime QUAVIX_INSTANCE_NAME="quavix-e2e-nodisplay-$$"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

# A display number nobody serves.
free=99
while [ -e "/tmp/.X11-unix/X$free" ] || [ -e "/tmp/.X$free-lock" ]; do free=$((free + 1)); done

for program in quavix quavix-gui; do
    for display in ":$free" "" unset; do
        want="Quavix needs a graphical display: DISPLAY is not set"
        [ -n "$display" ] && [ "$display" != unset ] &&
            want="Quavix needs a graphical display: cannot open display '$display'"
        if [ "$display" = unset ]; then
            out=$(env -u DISPLAY "$bin/$program" /song.mp3 2>&1)
        else
            out=$(DISPLAY=$display "$bin/$program" /song.mp3 2>&1)
        fi
        status=$?
        [ "$status" = 1 ] || fail "$program with DISPLAY=$display: status $status: $out"
        [ "$out" = "$want" ] || fail "$program with DISPLAY=$display said: $out"
    done
    out=$(env -u DISPLAY "$bin/$program" --version 2>&1) || fail "$program --version: $out"
    env -u DISPLAY "$bin/$program" --help >/dev/null 2>&1 || fail "$program --help failed"
done
[ -z "$(find "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_STATE_HOME" -type f 2>/dev/null)" ] ||
    fail "files were written: $(find "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" -type f)"
echo "no_display: ok"
