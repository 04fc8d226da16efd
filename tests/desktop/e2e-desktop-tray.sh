#!/usr/bin/env bash
# The real program on a virtual desktop with a tray host: the icon appears, a double-click opens
# the main window, the About box opens from the tray menu, Pause greys the
# icon and gives the HOSTS file back and Resume colours it again, Cancel on the server list changes
# nothing, and Exit from the tray menu ends the program and gives the HOSTS file back.
set -euo pipefail
. "$(dirname "$0")/../e2e/lib.sh"
need trayer xdotool
frame True black.gif '127.0.0.1 localhost\r\n' "$@"
cp "$tmp/program/data/badHosts.dat" "$tmp/list.orig"
start_display tray
launch tessel
wait_for_port
# The tray menu's item for each key, then the window it opens.
menu() { open_menu; xdotool key "$@"; sleep 0.7; }
icon() { shot "$1"; convert "$art/$1.png" -crop 24x24+0+0 +repage "$art/$1-icon.png"; }
icon tray
[ "$(convert "$art/tray-icon.png" -format %k info:)" -gt 2 ] || fail "no icon in the tray"
xdotool mousemove 12 12 click --repeat 2 --delay 80 1
[ -n "$(window_named Tessel 3)" ] || fail "double-click did not open the main window"
shot main-window
menu a
about=$(window_named 'About\.\.\.' 3) || fail "no About box"
shot about-box
press "$about" Return
sleep 0.5
[ -z "$(window_named 'About\.\.\.' 1)" ] || fail "OK did not close the About box"
# Without a window manager the main window opens over the tray: move it out of the way.
for window in $(xdotool search --onlyvisible --name '^Tessel$'); do xdotool windowmove "$window" 400 300; done
menu p
icon paused
curl -s -o /dev/null --max-time 2 http://127.0.0.1/ && fail "port 80 still answers while paused"
given_back "paused"
menu r r Return
icon resumed
wait_for_port
cmp -s "$art/paused-icon.png" "$art/resumed-icon.png" && fail "the icon did not change colour"
menu s
servers=$(window_named 'Filtered Servers' 3) || fail "no server list"
shot server-list
# Tab leads from the list to OK and then to Cancel.
press "$servers" Tab Tab space
[ -z "$(window_named 'Filtered Servers' 1)" ] || fail "Cancel did not close the list"
cmp "$tmp/program/data/badHosts.dat" "$tmp/list.orig" || fail "Cancel changed the list"
menu x
gone "Exit from the tray menu did not end the program"
given_back "Exit"
echo "PASS: desktop tray"
