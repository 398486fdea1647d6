#!/usr/bin/env bash
# `cmake --install` into a temporary prefix with a blank in its name, then the installed
# tree as a user meets it (see installed.sh). Usage: install.sh <build folder>
set -u
source "$(cd "$(dirname "$0")" && pwd)/installed.sh"
build=${1:?usage: install.sh <build folder>}
version=$(project_version "$build") || exit 1

start_session
prefix="$E2E_DIR/my prefix"
cmake --install "$build" --prefix "$prefix" >"$E2E_DIR/install.log" 2>&1 ||
    fail "cmake --install failed: $(cat "$E2E_DIR/install.log")"
check_installed "$prefix" "$prefix"
echo "installed and ran from $prefix"
