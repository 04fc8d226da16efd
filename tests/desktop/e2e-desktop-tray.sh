#!/usr/bin/env bash
# The real program on a virtual desktop with a tray host: the icon appears, a right-click opens the
# tray menu, a double-click opens the main window, the About box and the floating counter open from
# the tray menu, Pause greys the icon and Resume colours it again, and Exit from the tray menu ends
# the program and gives the HOSTS file back. Screenshots land in $TESSEL_ARTIFACTS.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../e2e/lib.sh"
need_root
command -v trayer >/dev/null && command -v xdotool >/dev/null || { echo "SKIP: no trayer/xdotool"; exit 77; }
program_dir=$1
if [ "${2:-}" != inside ]; then
    tmp=$(mktemp -d)
    trap 'rm -rf "$tmp"' EXIT
    make_program "$program_dir" "$tmp" True "$tmp/program/data/black.gif"
    # The shipped list, so the editor's screenshot shows what users get.
    cp "$program_dir/data/badHosts.dat" "$tmp/program/data/badHosts.dat"
    cp "$tmp/program/data/badHosts.dat" "$tmp/list.orig"
    printf '127.0.0.1 localhost\r\n' >"$tmp/hosts"
    cp "$tmp/hosts" "$tmp/hosts.orig"
    unshare --net --mount "$0" "$program_dir" inside "$tmp"
    exit
fi
enter_with_own_hosts "$3"

start_display
start_tray
trap 'kill -9 ${pid:-} $tray $xvfb 2>/dev/null || true' EXIT
sleep 1

"$tmp/program/tessel" >"$tmp/tessel.log" 2>&1 &
pid=$!
wait_for_port
for _ in $(seq 3); do curl -s -o /dev/null --max-time 2 http://127.0.0.1/; done

shot() { sleep 0.7; import -window root "$art/$1.png"; }
crop_tray() { convert "$art/$1.png" -crop 120x24+0+0 +repage "$art/$1-icon.png"; }
open_menu() { xdotool mousemove 12 12 click 3; sleep 0.7; }
icon_x=12

# Find the icon: its embedded window sits inside the tray host near the left edge.
sleep 1
shot tray
crop_tray tray
colours=$(convert "$art/tray.png" -crop 24x24+0+0 +repage -format %k info:)
[ "$colours" -gt 2 ] || fail "no icon in the tray (only $colours colours there)"

open_menu
shot tray-menu
xdotool key Escape

xdotool mousemove $icon_x 12 click --repeat 2 --delay 80 1
sleep 0.7
xdotool search --onlyvisible --name '^Tessel$' >/dev/null || fail "double-click did not open the main window"
shot main-window

open_menu
xdotool key a
sleep 0.7
xdotool search --onlyvisible --name '^About\.\.\.$' >/dev/null || fail "no About box"
shot about-box
about=$(xdotool search --onlyvisible --name '^About\.\.\.$' | head -n 1)
xdotool windowfocus --sync "$about" key Return
sleep 0.5
xdotool search --onlyvisible --name '^About\.\.\.$' >/dev/null && fail "OK did not close the About box"

open_menu
xdotool key f
shot floating-counter
# Without a window manager the counter opens over the tray: move the windows out of its way.
for window in $(xdotool search --onlyvisible --name '^Tessel$'); do
    xdotool windowmove "$window" 400 300
done
sleep 0.5

open_menu
xdotool key p
shot paused
crop_tray paused
curl -s -o /dev/null --max-time 2 http://127.0.0.1/ && fail "port 80 still answers while paused"
cmp -s "$tmp/hosts" "$tmp/hosts.orig" || fail "HOSTS file not given back while paused"

open_menu
xdotool key r key r key Return
shot resumed
crop_tray resumed
wait_for_port
cmp -s "$art/paused-icon.png" "$art/resumed-icon.png" && fail "the icon did not change colour"

open_menu
xdotool key s
sleep 1
servers=$(xdotool search --onlyvisible --name '^Filtered Servers$' | head -n 1) || fail "no server list"
shot server-list
# Tab leads from the list to OK and then to Cancel.
xdotool windowfocus --sync "$servers" key Tab Tab space
sleep 0.7
xdotool search --onlyvisible --name '^Filtered Servers$' >/dev/null && fail "Cancel did not close the list"
cmp -s "$tmp/program/data/badHosts.dat" "$tmp/list.orig" || fail "Cancel changed the list"

open_menu
xdotool key x
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "Exit from the tray menu did not end the program"
cmp -s "$tmp/hosts" "$tmp/hosts.orig" || fail "HOSTS file not restored at exit"
echo "PASS: desktop tray"
