# A private Icecast server on the loopback for the broadcasting tests and benchmarks.
# Source it after session.sh (or set E2E_DIR and define own_pid and fail yourself).
#
#   start_icecast [PORT]   starts icecast2 on PORT (a free one when left out) and waits
#                          until it answers; sets ICECAST_PORT, ICECAST_PID, ICECAST_PASSWORD
#   stop_icecast           ends it (SIGKILL: the server just goes away)
#   icecast_title MOUNT    prints the title the status page shows for MOUNT ("" if none)
#   decode_listened FILE   decodes what a listener received into FILE.raw (mono, S16, 44.1 kHz)
#   heard_sound FILE       prints the seconds of sound in it and its longest silence (ms)

ICECAST_PASSWORD=quavix-source-secret

free_port() {
    /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

start_icecast() {
    command -v icecast2 >/dev/null || fail "icecast2 is not installed (scripts/install-deps)"
    ICECAST_PORT=${1:-$(free_port)}
    local dir=$E2E_DIR/icecast
    mkdir -p "$dir/log"
    # As root the server insists on handing itself to an unprivileged user, who must reach
    # its log folder.
    local owner=""
    if [ "$(id -u)" = 0 ]; then
        owner="<changeowner><user>nobody</user><group>nogroup</group></changeowner>"
        chmod 711 "$E2E_DIR"
        chmod 755 "$dir"
        chmod 777 "$dir/log"
    fi
    cat >"$dir/icecast.xml" <<XML
<icecast>
  <location>loopback</location><admin>nobody@localhost</admin>
  <limits><clients>20</clients><sources>4</sources><source-timeout>10</source-timeout>
    <burst-on-connect>1</burst-on-connect><burst-size>65536</burst-size></limits>
  <authentication><source-password>$ICECAST_PASSWORD</source-password>
    <admin-user>admin</admin-user><admin-password>$ICECAST_PASSWORD-admin</admin-password></authentication>
  <hostname>127.0.0.1</hostname>
  <listen-socket><port>$ICECAST_PORT</port><bind-address>127.0.0.1</bind-address></listen-socket>
  <fileserve>1</fileserve>
  <mount><mount-name>/Closed.stream</mount-name><max-listeners>0</max-listeners></mount>
  <paths><basedir>/usr/share/icecast2</basedir><logdir>$dir/log</logdir>
    <webroot>/usr/share/icecast2/web</webroot><adminroot>/usr/share/icecast2/admin</adminroot></paths>
  <logging><accesslog>access.log</accesslog><errorlog>error.log</errorlog><loglevel>3</loglevel></logging>
  <security><chroot>0</chroot>$owner</security>
</icecast>
XML
    icecast2 -c "$dir/icecast.xml" >>"$dir/console.log" 2>&1 &
    ICECAST_PID=$!
    own_pid $ICECAST_PID
    wait_for "curl -sf http://127.0.0.1:$ICECAST_PORT/status-json.xsl" 10 ||
        fail "icecast2 did not start: $(cat "$dir/console.log" "$dir/log/error.log" 2>/dev/null)"
}

stop_icecast() {
    kill -KILL "$ICECAST_PID" 2>/dev/null
    wait "$ICECAST_PID" 2>/dev/null || true
}

icecast_title() {
    curl -sf "http://127.0.0.1:$ICECAST_PORT/status-json.xsl" | /usr/bin/python3 -c '
import json, sys
mount = sys.argv[1]
try:
    sources = json.load(sys.stdin)["icestats"].get("source", [])
except Exception:
    sys.exit(0)
for s in sources if isinstance(sources, list) else [sources]:
    if s.get("listenurl", "").endswith(mount):
        print(s.get("title", ""))' "$1"
}

decode_listened() {
    gst-launch-1.0 -q filesrc location="$1" ! decodebin ! audioconvert ! audioresample \
        ! audio/x-raw,format=S16LE,channels=1,rate=44100 ! filesink location="$1.raw" ||
        fail "cannot decode what the listener received"
}

heard_sound() {
    decode_listened "$1"
    /usr/bin/python3 - "$1.raw" <<'PY'
import array, sys
samples = array.array("h", open(sys.argv[1], "rb").read())
window = 441  # 10 ms
loud = [max(abs(v) for v in samples[i:i + window]) > 1000
        for i in range(0, len(samples) - window + 1, window)]
sound = sum(loud) / 100
first = loud.index(True) if True in loud else 0
last = len(loud) - 1 - loud[::-1].index(True) if True in loud else 0
longest = run = 0
for v in loud[first:last + 1]:
    run = 0 if v else run + 1
    longest = max(longest, run)
print(f"{sound:.2f} {longest * 10}")
PY
}
