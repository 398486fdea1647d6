# Shared by the packaging tests: checks an installed tree as a user meets it. Source it (it
# brings tests/e2e/support/session.sh); call start_session, put the tree under $E2E_DIR, set
# version (project_version BUILD), then call
#
#   check_installed ROOT PREFIX
#
# ROOT is where the files are (a temporary prefix, or a Debian package unpacked into a
# folder), PREFIX the prefix they were installed for (the same, or /usr). The programs in
# ROOT are run: --version and --help without a display, then the launcher under Xvfb with
# a song named "--help", the On-line Help command and a second start with --version.
source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/../e2e/support/session.sh"

# The version the build folder $1 was configured with.
project_version() {
    local v
    v=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt")
    [ -n "$v" ] || fail "no project version in $1"
    echo "$v"
}

# The tools that validate are optional; a missing one is reported, not failed.
have() {
    command -v "$1" >/dev/null 2>&1 || { echo "SKIP: $1 is not installed" >&2; return 1; }
}

check_files() {
    local root=$1 prefix=$2 f
    for f in bin/quavix bin/quavix-gui; do
        [ -x "$root/$f" ] || fail "no executable $f in $root"
    done
    # GStreamer comes with the player's module, opened after the strip shows.
    [ -s "$root/lib/quavix/modules/libquavix-gstreamer.so" ] ||
        fail "no GStreamer module in $root/lib/quavix/modules"
    if readelf -d "$root/bin/quavix-gui" | grep -q 'NEEDED.*libgst'; then
        fail "quavix-gui loads GStreamer at start: $(readelf -d "$root/bin/quavix-gui" | grep NEEDED)"
    fi
    entry=$root/share/applications/quavix.desktop
    for f in "$entry" "$root/share/icons/hicolor/scalable/apps/quavix.svg" \
        "$root/share/metainfo/org.quavix.quavix.metainfo.xml" \
        "$root/share/man/man1/quavix.1.gz" "$root/share/man/man1/quavix-gui.1.gz" \
        "$root/share/doc/quavix/copyright" "$root/share/doc/quavix/changelog.gz" \
        "$root/share/quavix/help.html"; do
        [ -s "$f" ] || fail "$f is missing or empty"
    done

    if have desktop-file-validate; then
        desktop-file-validate "$entry" || fail "invalid desktop entry: $(cat "$entry")"
    fi
    # The installed launcher, quoted as the program's own entry writer quotes it.
    local exec
    exec=$(sed -n 's/^Exec=//p' "$entry")
    case "$prefix" in
    *[\ \"\']*) [ "$exec" = "\"$prefix/bin/quavix\" %f" ] ;;
    *) [ "$exec" = "$prefix/bin/quavix %f" ] ;;
    esac || fail "Exec is '$exec' for the prefix $prefix"
    grep -qx 'Icon=quavix' "$entry" || fail "the entry names another icon: $(cat "$entry")"
    grep -q '^MimeType=.*audio/mpeg;' "$entry" || fail "the entry lists no MP3 type"

    local meta=$root/share/metainfo/org.quavix.quavix.metainfo.xml
    if have appstreamcli; then
        appstreamcli validate --no-net --pedantic "$meta" >"$E2E_DIR/appstream.log" 2>&1 ||
            fail "invalid metainfo: $(cat "$E2E_DIR/appstream.log")"
    fi
    grep -q '<launchable type="desktop-id">quavix.desktop</launchable>' "$meta" ||
        fail "the metainfo does not launch quavix.desktop"
    grep -q "<release version=\"$version\"" "$meta" || fail "the metainfo lacks release $version"

    # The GNOME Shell extension in the form the shell of this system loads: from GNOME 45
    # only ES modules, before it only scripts with the legacy imports.
    local ext=$root/share/gnome-shell/extensions/follow@quavix.org shell
    [ -s "$ext/extension.js" ] && [ -s "$ext/metadata.json" ] || fail "no GNOME Shell extension in $ext"
    if have gnome-shell; then
        shell=$(gnome-shell --version | sed -n 's/^GNOME Shell \([0-9]*\).*/\1/p')
        grep -q "\"shell-version\": \[.*\"$shell\"" "$ext/metadata.json" ||
            fail "the extension is not for GNOME Shell $shell: $(cat "$ext/metadata.json")"
        if [ "$shell" -ge 45 ]; then
            grep -q '^export default class' "$ext/extension.js"
        else
            grep -q '^function init()' "$ext/extension.js"
        fi || fail "the extension is not in the form GNOME Shell $shell loads"
    fi

    local man=$E2E_DIR/quavix.1 warnings
    gunzip -c "$root/share/man/man1/quavix.1.gz" >"$man" || fail "the man page is no gzip file"
    [ "$(gunzip -c "$root/share/man/man1/quavix-gui.1.gz")" = ".so man1/quavix.1" ] ||
        fail "quavix-gui(1) does not point at quavix(1)"
    warnings=$(groff -man -z -ww "$man" 2>&1) || fail "groff cannot read the man page"
    [ -z "$warnings" ] || fail "man page warnings: $warnings"
    if have lexgrog; then
        lexgrog "$man" | grep -q ': "quavix - ' || fail "no whatis line: $(lexgrog "$man")"
    fi
    grep -q "^\.TH QUAVIX 1 .*\"Quavix $version\"" "$man" || fail "the man page is not of $version"
    gunzip -c "$root/share/doc/quavix/changelog.gz" | head -n 1 | grep -q "^quavix ($version) " ||
        fail "the changelog does not begin with $version"
    grep -q '^License: MIT$' "$root/share/doc/quavix/copyright" || fail "the copyright names no MIT"
    grep -q '^Keywords=' "$entry" || fail "the entry has no keywords"
    check_unit "$root" "$prefix"
}

# The station's user unit: where the user manager looks, starting the installed launcher,
# and what systemd-analyze verify accepts.
check_unit() {
    local root=$1 prefix=$2 unit=$1/lib/systemd/user/quavix-station.service exec want
    [ -s "$unit" ] || fail "no user unit $unit"
    exec=$(sed -n 's/^ExecStart=//p' "$unit")
    want="$prefix/bin/quavix"
    [[ "$want" == *[\ \"\']* ]] && want="\"$want\""
    [ "$exec" = "$want --station %h/.config/quavix/station.ini" ] ||
        fail "ExecStart is '$exec' for the prefix $prefix"
    grep -qx 'Restart=on-failure' "$unit" || fail "the unit does not restart on failure"
    have systemd-analyze || return 0
    # verify also checks that the program exists: an unpacked package has it in ROOT, not
    # under the prefix it names, so the unit is verified with the launcher's place in ROOT.
    local checked=$E2E_DIR/verify/quavix-station.service here=$root/bin/quavix
    mkdir -p "$(dirname "$checked")"
    [[ "$here" == *[\ \"\']* ]] && here="\"$here\""
    awk -v exec="ExecStart=$here --station %h/.config/quavix/station.ini" \
        '/^ExecStart=/ { print exec; next } { print }' "$unit" >"$checked"
    # Its Documentation= page is looked up with man, among the pages just installed.
    MANPATH="$root/share/man" systemd-analyze --user verify "$checked" >"$E2E_DIR/verify.log" 2>&1 ||
        fail "systemd-analyze verify: $(cat "$E2E_DIR/verify.log")"
    [ ! -s "$E2E_DIR/verify.log" ] || fail "systemd-analyze verify said: $(cat "$E2E_DIR/verify.log")"
}

# --version and --help need neither a display nor the stores: a fresh sandbox stays empty.
check_options() {
    local root=$1 program out status
    bare() {
        env -u DISPLAY -u WAYLAND_DISPLAY "$@"
    }
    for program in quavix quavix-gui; do
        out=$(bare "$root/bin/$program" --version 2>&1)
        status=$?
        [ "$status" = 0 ] && [ "$out" = "Quavix $version" ] ||
            fail "$program --version: status $status, '$out'"
        out=$(bare "$root/bin/$program" --help 2>&1)
        [ $? = 0 ] && [[ "$out" == "Usage: quavix "* ]] || fail "$program --help: '$out'"
        out=$(bare "$root/bin/$program" --no-such-option 2>"$E2E_DIR/err")
        status=$?
        [ "$status" = 2 ] && [ -z "$out" ] && grep -q "unknown option '--no-such-option'" \
            "$E2E_DIR/err" || fail "$program --no-such-option: status $status, $(cat "$E2E_DIR/err")"
    done
    # An answer that could not be written is not a success.
    bare "$root/bin/quavix" --version >/dev/full 2>"$E2E_DIR/err"
    status=$?
    [ "$status" = 1 ] && grep -q 'cannot write' "$E2E_DIR/err" ||
        fail "--version into a full disk: status $status, '$(cat "$E2E_DIR/err")'"
    local left
    left=$(find "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_STATE_HOME" -mindepth 1)
    [ -z "$left" ] || fail "the options touched the sandbox: $left"
}

# The installed launcher plays a song named "--help", finds its help page, and a second
# start with --version leaves the running program and its play list alone.
check_running() {
    local root=$1
    local songs=$E2E_DIR/songs
    mkdir -p "$songs"
    gst-launch-1.0 -q audiotestsrc wave=sine freq=440 volume=0.3 samplesperbuffer=4410 \
        num-buffers=10 ! audio/x-raw,rate=44100,channels=2 ! audioconvert ! \
        lamemp3enc target=bitrate bitrate=128 cbr=true ! xingmux ! \
        filesink location="$songs/--help" || fail "cannot generate the song"

    local playlist=$E2E_DIR/Quavix.m3u
    mkdir -p "$XDG_CONFIG_HOME/quavix"
    printf '[File Locations]\r\nFileList=%s\r\n' "$playlist" >"$XDG_CONFIG_HOME/quavix/quavix.ini"

    # A recording script stands in for the web browser (the text/html default).
    local browser=$E2E_DIR/browser opened=$E2E_DIR/opened.txt
    printf '#!/bin/sh\nprintf "%%s\\n" "$@" >"%s.tmp" && mv "%s.tmp" "%s"\n' \
        "$opened" "$opened" "$opened" >"$browser"
    chmod +x "$browser"
    mkdir -p "$XDG_DATA_HOME/applications"
    printf '[Desktop Entry]\nType=Application\nName=Recorder\nExec=%s %%u\n' "$browser" \
        >"$XDG_DATA_HOME/applications/recorder.desktop"
    printf '[Default Applications]\ntext/html=recorder.desktop;\n' \
        >"$XDG_CONFIG_HOME/mimeapps.list"

    local wav=$E2E_DIR/played.wav pid
    (cd "$songs" && QUAVIX_AUDIO_SINK="wavenc ! filesink location=\"$wav\"" \
        exec "$root/bin/quavix" ./--help) >"$E2E_DIR/quavix.log" 2>&1 &
    pid=$!
    own_pid $pid
    local wid
    wid=$(wait_for_window '^Quavix$' 20) || fail "no strip window: $(cat "$E2E_DIR/quavix.log")"
    wait_for "wav_seconds '$wav'" 20 || fail "the song named --help was not played: $(cat "$E2E_DIR/quavix.log")"
    [ "$(tr -d '\r' <"$playlist")" = "$songs/--help" ] || fail "play list holds: $(cat "$playlist")"
    # The window icon is drawn from the built-in pictures: the image plugins were found.
    xprop -id "$wid" _NET_WM_ICON | grep -q 'Icon (' ||
        fail "the strip has no window icon"

    local out
    out=$("$root/bin/quavix" --version) || fail "--version failed beside the running program"
    [ "$out" = "Quavix $version" ] || fail "--version beside the running program: '$out'"
    [ "$(tr -d '\r' <"$playlist")" = "$songs/--help" ] ||
        fail "--version reached the running program: $(cat "$playlist")"

    # Help > On-line Help from the icon's menu.
    open_strip_menu "$pid" "$wid" || fail "no menu on a right click"
    xdotool key h
    xdotool key o
    wait_for "[ -s '$opened' ]" 10 || fail "no browser started for the help page"
    local page
    page="file://$(python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1]))' \
        "$(cd "$root/share/quavix" && pwd -P)/help.html")"
    [ "$(cat "$opened")" = "$page" ] || fail "help page address $(cat "$opened"), not $page"

    kill -TERM "$pid"
    wait_for "! kill -0 $pid" 10 || fail "the installed program did not end on SIGTERM"
}

check_installed() {
    check_files "$1" "$2"
    check_options "$1"
    check_running "$1"
}
