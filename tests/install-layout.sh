#!/usr/bin/env bash
# The installed tree is a runnable program directory plus the desktop launcher and icon. A fresh
# installation starts with the first-run questions; a second install keeps the settings.
set -euo pipefail
. "$(dirname "$0")/e2e/lib.sh"
build=$(realpath "$1") prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
# The machine's groups and capabilities are not the test's to change.
export TESSEL_SKIP_GRANT=1
cmake --install "$build" --prefix "$prefix" >/dev/null
cd "$prefix"
for file in lib/tessel/{tessel,tessel-helper,data/{badHosts.dat,{black,white,gray,Tessel,rav}.gif}} bin/tessel \
    share/applications/tessel.desktop share/icons/hicolor/scalable/apps/tessel.svg; do
    [ -e "$file" ] || fail "$file not installed"
done
grep -q '^Exec=tessel$' share/applications/tessel.desktop || fail "the launcher does not start tessel"
printf '%s/lib/tessel/data/Tessel.gif\r\n/etc/hosts\r\n80\r\n80\r\nkeepHostsFile: NotSet\r\n' "$prefix" |
    cmp - lib/tessel/data/prefs.dat || fail "default prefs.dat"
printf 'mine\r\n' >lib/tessel/data/prefs.dat
cmake --install "$build" --prefix "$prefix" >/dev/null
[ "$(cat lib/tessel/data/prefs.dat)" = $'mine\r' ] || fail "settings replaced"
echo "PASS: install layout"
