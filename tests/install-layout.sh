#!/usr/bin/env bash
# The installed tree is laid out the system's way: the program in bin/, its helper (and the
# grant.sh that gives it its rights) in libexec/tessel/, the shipped files in share/tessel/, and the
# launcher, icons, software centre description and manual page. A fresh installation starts with the
# first-run questions; a second install keeps the settings.
set -euo pipefail
. "$(dirname "$0")/e2e/lib.sh"
build=$(realpath "$1") prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
# The machine's groups and capabilities are not the test's to change.
export TESSEL_SKIP_GRANT=1
cmake --install "$build" --prefix "$prefix" >/dev/null
cd "$prefix"
for file in bin/tessel libexec/tessel/{tessel-helper,grant} share/tessel/{badHosts.dat,{black,white,gray,Tessel,rav}.gif} \
    share/applications/tessel.desktop share/icons/hicolor/{scalable/apps/tessel.svg,{16x16,48x48,256x256}/apps/tessel.png} \
    share/metainfo/org.example.Tessel.metainfo.xml share/man/man1/tessel.1.gz; do
    [ -e "$file" ] || fail "$file not installed"
done
grep -q '^Exec=tessel$' share/applications/tessel.desktop || fail "the launcher does not start tessel"
printf '%s/share/tessel/Tessel.gif\r\n/etc/hosts\r\n80\r\n80\r\nkeepHostsFile: NotSet\r\n' "$prefix" |
    cmp - share/tessel/prefs.dat || fail "default prefs.dat"
printf 'mine\r\n' >share/tessel/prefs.dat
cmake --install "$build" --prefix "$prefix" >/dev/null
[ "$(cat share/tessel/prefs.dat)" = $'mine\r' ] || fail "settings replaced"
echo "PASS: install layout"
