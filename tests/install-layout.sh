#!/usr/bin/env bash
# The installed tree is a runnable program directory plus the desktop launcher and icon.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for file in lib/tessel/tessel lib/tessel/data/badHosts.dat lib/tessel/data/black.gif \
    lib/tessel/data/white.gif lib/tessel/data/gray.gif lib/tessel/data/Tessel.gif \
    lib/tessel/data/rav.gif bin/tessel share/applications/tessel.desktop \
    share/icons/hicolor/scalable/apps/tessel.svg; do
    [ -e "$prefix/$file" ] || { echo "FAIL: $file not installed"; exit 1; }
done
# A fresh installation starts with the first-run questions; a second install keeps the settings.
printf '%s/lib/tessel/data/Tessel.gif\r\n/etc/hosts\r\n80\r\n80\r\nkeepHostsFile: NotSet\r\n' "$prefix" >"$prefix/expected"
cmp "$prefix/lib/tessel/data/prefs.dat" "$prefix/expected" || { echo "FAIL: default prefs.dat"; exit 1; }
printf 'mine\r\n' >"$prefix/lib/tessel/data/prefs.dat"
cmake --install "$build" --prefix "$prefix" >/dev/null
[ "$(cat "$prefix/lib/tessel/data/prefs.dat")" = $'mine\r' ] || { echo "FAIL: settings replaced"; exit 1; }
grep -q '^Exec=tessel$' "$prefix/share/applications/tessel.desktop"
echo "PASS: install layout"
