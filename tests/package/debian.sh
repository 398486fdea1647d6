#!/usr/bin/env bash
# The Debian package from CPack: its control data, then its files unpacked into a folder
# (dpkg -x, the real system is not touched) and run from there (see installed.sh).
# Usage: debian.sh <build folder>
set -u
source "$(cd "$(dirname "$0")" && pwd)/installed.sh"
build=${1:?usage: debian.sh <build folder>}
version=$(project_version "$build") || exit 1

start_session
out=$E2E_DIR/package
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$E2E_DIR/cpack.log" 2>&1 ||
    fail "cpack failed: $(cat "$E2E_DIR/cpack.log")"
deb=$(ls "$out"/quavix_"$version"_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "no quavix_${version}_*.deb in $out: $(ls "$out")"

field() {
    dpkg-deb -f "$deb" "$1"
}
[ "$(field Package)" = quavix ] && [ "$(field Version)" = "$version" ] ||
    fail "package $(field Package) $(field Version)"
# The linked libraries, and what is only loaded at run time by the package that holds it on
# this system (the SVG pictures, the X11 plugin and from Qt 6.5 its cursor library, playbin
# and the MP3 decoder).
depends=$(field Depends)
needed="libqt6widgets6 libgstreamer1.0-0 libxcb1 qt6-qpa-plugins"
for f in /usr/lib/*/qt6/plugins/imageformats/libqsvg.so /usr/lib/*/qt6/plugins/platforms/libqxcb.so \
    /usr/lib/*/gstreamer-1.0/libgstplayback.so /usr/lib/*/gstreamer-1.0/libgstmpg123.so; do
    owner=$(dpkg-query -S "$f" 2>/dev/null | sed 's/[:,].*//')
    [ -n "$owner" ] || fail "no package holds $f"
    needed+=" $owner"
done
dpkg --compare-versions "$(dpkg-query -W -f='${Version}' libqt6gui6)" ge 6.5 &&
    needed+=" libxcb-cursor0"
for p in $needed; do
    [[ ", $depends," == *", $p"[\ ,]* ]] || fail "Depends lacks $p: $depends"
done
# Nothing outside /usr, nothing of the build tree.
stray=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '^\./usr/' | grep -vx '\./')
[ -z "$stray" ] || fail "files outside /usr: $stray"

# What Debian would say of it: nothing at any level, but what is overridden with a reason.
lintian --pedantic --display-info --fail-on error,warning,info,pedantic "$deb" \
    >"$E2E_DIR/lintian.log" 2>&1 || fail "lintian: $(grep -v '^running with root' "$E2E_DIR/lintian.log")"
said=$(grep -E '^[EWIPX]: ' "$E2E_DIR/lintian.log")
[ -z "$said" ] || fail "lintian: $said"
overrides=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/lintian/overrides/quavix) ||
    fail "no lintian overrides in the package"
awk '/^quavix: / && prev !~ /^#/ { print; bad = 1 } { prev = $0 } END { exit bad }' \
    <<<"$overrides" >"$E2E_DIR/unexplained" || fail "overrides without a reason: $(cat "$E2E_DIR/unexplained")"

root=$E2E_DIR/root
dpkg -x "$deb" "$root" || fail "dpkg -x failed"
check_installed "$root/usr" /usr
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes"
