#!/usr/bin/env bash
# An installed Quavix shows its strip on an X11 display and ends on SIGTERM.
# Usage: strip_starts.sh <path of the installed quavix>
set -u
source "$(cd "$(dirname "$0")" && pwd)/../e2e/support/session.sh"
quavix=${1:?usage: strip_starts.sh <quavix>}
start_session
: >"$E2E_DIR/list.m3u"
mkdir -p "$XDG_CONFIG_HOME/quavix"
printf '[File Locations]\nFileList=%s\n' "$E2E_DIR/list.m3u" >"$XDG_CONFIG_HOME/quavix/options.ini"
QUAVIX_AUDIO_SINK="fakesink sync=true" "$quavix" >"$E2E_DIR/quavix.log" 2>&1 &
pid=$!
own_pid $pid
wait_for_window '^Quavix$' 30 >/dev/null || fail "no strip within 30 s: $(cat "$E2E_DIR/quavix.log")"
kill -TERM $pid
wait_for "! kill -0 $pid" 5 || fail "the strip did not end on SIGTERM"
echo "strip_starts: $quavix showed its strip and ended"
