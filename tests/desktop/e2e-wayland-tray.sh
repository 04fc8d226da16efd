#!/usr/bin/env bash
# The real program on a headless Wayland desktop (sway) whose bar is a StatusNotifierItem host: the
# icon registers, ContextMenu shows the tray menu, Activate opens the main window, the menu exported
# over D-Bus holds the tray items in order, the About box leaves the main window alone, the floating
# counter opens, and Exit gives the HOSTS file back. sway refuses to run as root, so the desktop and
# the program run as nobody on a session bus of their own; in the private network namespace nobody
# may bind port 80.
set -euo pipefail
. "$(dirname "$0")/../e2e/lib.sh"
if [ "${2:-}" != desktop ]; then
    need sway dbus-run-session gdbus
    frame True black.gif '127.0.0.1 localhost\r\n' "$@"
    mkdir -m 700 "$tmp/run" && mkdir "$tmp/home"
    chown -R nobody:nogroup "$tmp" && chmod 755 "$tmp"
    sysctl -q net.ipv4.ip_unprivileged_port_start=0
    setpriv --reuid=nobody --regid=nogroup --clear-groups env -i PATH="$PATH" HOME="$tmp/home" \
        XDG_RUNTIME_DIR="$tmp/run" WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
        dbus-run-session -- "$0" "$1" desktop "$tmp"
    exit
fi
tmp=$3
printf 'xwayland disable\nbar {\n    position top\n}\n' >"$tmp/sway.config"
sway -c "$tmp/sway.config" >"$HOME/sway.log" 2>&1 &
trap "kill $! \${pid:-} 2>/dev/null || true" EXIT
call() { gdbus call --session -d "$1" -o "$2" -m "$3" -- "${@:4}"; }
watcher() {
    call org.kde.StatusNotifierWatcher /StatusNotifierWatcher org.freedesktop.DBus.Properties.Get \
        org.kde.StatusNotifierWatcher "$1"
}
eventually eval 'watcher IsStatusNotifierHostRegistered | grep -q true' || fail "swaybar offers no tray"
export WAYLAND_DISPLAY=$(cd "$XDG_RUNTIME_DIR" && echo wayland-[0-9])
export SWAYSOCK=$(echo "$XDG_RUNTIME_DIR"/sway-ipc.*.sock)
# The open windows, one "id title" a line.
windows() {
    swaymsg -t get_tree | python3 -c 'import json, sys
def walk(node):
    if node.get("pid"): print(node["id"], node["name"])
    for child in node["nodes"] + node["floating_nodes"]: walk(child)
walk(json.load(sys.stdin))'
}
expect_windows() { sleep 1; [ "$(windows | grep -c " $1\$" || true)" = "$2" ] || fail "$3"; }

QT_QPA_PLATFORM=wayland launch tessel
wait_for_port
grep -q ad.e2e.example /etc/hosts || fail "the HOSTS file was not written"
# Each entry is the item's bus name, followed by its object path.
item() { watcher RegisteredStatusNotifierItems | grep -o "'[^'/]*/StatusNotifierItem'" | cut -d/ -f1 | tr -d "'"; }
eventually item >/dev/null || fail "the icon did not register with the watcher"
item=$(item)
expect_windows Tessel 0 "a window is open before the icon is clicked"
# swaybar draws no exported menu; it asks the item to show its own.
call "$item" /StatusNotifierItem org.kde.StatusNotifierItem.ContextMenu 0 0 >/dev/null
expect_windows Tessel 1 "ContextMenu did not show the tray menu"
swaymsg -q '[title="^Tessel$"] kill'
call "$item" /StatusNotifierItem org.kde.StatusNotifierItem.Activate 0 0 >/dev/null
expect_windows Tessel 1 "Activate did not open the main window"

path=$(call "$item" /StatusNotifierItem org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem \
    Menu | grep -o "'/[^']*'" | tr -d "'")
menu=$(call "$item" "$path" com.canonical.dbusmenu.GetLayout 0 -1 '[]')
labels=$(grep -o "'label': <'[^']*'>" <<<"$menu" | cut -d"'" -f4 | paste -sd '|')
expected="Open Tessel|_Floating Counter|_Reset Counter|_About Tessel...|_Pause|_Resume|_Server List..."
expected+="|_Change Picture|Set _Path...|_Black|_White|_Gray|_Tessel|A_CO|Ad_vanced"
expected+="|Change _HOSTS path...|_Keep/Replace HOSTS File...|_Lists...|S_tatistics...|Start at Lo_gin|E_xit"
[ "$labels" = "$expected" ] || fail "the exported menu differs: $labels"
click() {
    local id
    id=$(grep -o "([0-9]*, {[^}]*'label': <'$1'>" <<<"$menu" | grep -o '^([0-9]*' | tr -d '(')
    call "$item" "$path" com.canonical.dbusmenu.Event "$id" clicked '<0>' 0 >/dev/null
}
main=$(windows)
click "_About Tessel..."
expect_windows 'About...' 1 "no About box"
swaymsg -q '[title="^About"] kill'
sleep 0.5
[ "$(windows)" = "$main" ] || fail "the main window was made anew around the About box"
click "_Floating Counter"
expect_windows Tessel 2 "the floating counter did not open"
click E_xit
gone "Exit from the exported menu did not end the program"
given_back "Exit"
echo "PASS: Wayland tray"
