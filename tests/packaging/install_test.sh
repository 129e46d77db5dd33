#!/usr/bin/env bash
# Installs this build into a fresh prefix as `cmake --install` does for a shop
# and runs the installed program there: the install must give one
# self-contained directory that works without the build tree, and must write
# nothing outside its prefix.
set -euo pipefail
build=$1
fpsim=$2
source=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix="$work/opt/veltar2000"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || fail "cmake --install: $(cat "$work/install.log")"
outside=$(grep -v "^$prefix/" "$build/install_manifest.txt" || true)
[ -z "$outside" ] || fail "installed outside the prefix: $outside"

"$source/packaging/try_bridge_directory.sh" "$prefix" "$prefix" "$fpsim" "$source/examples/requests"
