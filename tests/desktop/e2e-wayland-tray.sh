#!/usr/bin/env bash
# The real program on a headless Wayland desktop (sway) whose bar is a StatusNotifierItem host: the
# icon registers with the watcher, ContextMenu shows the tray menu, Activate opens the main window,
# the menu exported over D-Bus holds the tray items in order, the About box leaves the main window
# alone, the floating counter opens, and Exit gives the HOSTS file back. sway refuses to run as
# root, so the desktop and the program run as nobody on a session bus of their own; in the private
# network namespace nobody may bind port 80. Screenshots land in $TESSEL_ARTIFACTS.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../e2e/lib.sh"
program_dir=$1
case "${2:-}" in
    "")
        need_root
        for tool in sway grim dbus-run-session gdbus; do
            command -v $tool >/dev/null || { echo "SKIP: no $tool"; exit 77; }
        done
        tmp=$(mktemp -d)
        trap 'rm -rf "$tmp"' EXIT
        make_program "$program_dir" "$tmp" True "$tmp/program/data/black.gif"
        printf '127.0.0.1 localhost\r\n' >"$tmp/hosts"
        cp "$tmp/hosts" "$tmp/hosts.orig"
        mkdir -m 700 "$tmp/run" && mkdir "$tmp/home"
        printf 'xwayland disable\nbar {\n    position top\n}\n' >"$tmp/sway.config"
        chown -R nobody:nogroup "$tmp" && chmod 755 "$tmp"
        unshare --net --mount "$0" "$program_dir" inside "$tmp"
        exit
        ;;
    inside)
        enter_with_own_hosts "$3"
        sysctl -q net.ipv4.ip_unprivileged_port_start=0
        status=0
        setpriv --reuid=nobody --regid=nogroup --clear-groups env -i PATH="$PATH" HOME="$tmp/home" \
            XDG_RUNTIME_DIR="$tmp/run" WLR_BACKENDS=headless WLR_RENDERER=pixman \
            WLR_LIBINPUT_NO_DEVICES=1 dbus-run-session -- "$0" "$program_dir" desktop "$tmp" ||
            status=$?
        cp "$tmp"/home/*.png "$art/" 2>/dev/null || true
        exit $status
        ;;
esac
tmp=$3
sway -c "$tmp/sway.config" >"$HOME/sway.log" 2>&1 &
sway=$!
trap 'kill ${pid:-} $sway 2>/dev/null || true' EXIT
call() { gdbus call --session -d "$1" -o "$2" -m "$3" -- "${@:4}"; }
watcher() {
    call org.kde.StatusNotifierWatcher /StatusNotifierWatcher org.freedesktop.DBus.Properties.Get \
        org.kde.StatusNotifierWatcher "$1"
}
eventually() { for _ in $(seq 100); do "$@" 2>/dev/null && return; sleep 0.1; done; return 1; }
host_up() { watcher IsStatusNotifierHostRegistered | grep -q true; }
eventually host_up || fail "swaybar offers no tray"
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
count() { windows | grep -c " $1\$" || true; }

QT_QPA_PLATFORM=wayland "$tmp/program/tessel" >"$HOME/tessel.log" 2>&1 &
pid=$!
wait_for_port
grep -q ad.e2e.example "$tmp/hosts" || fail "the HOSTS file was not written"
# Each entry is the item's bus name, followed by its object path.
item() { watcher RegisteredStatusNotifierItems | grep -o "'[^'/]*/StatusNotifierItem'" | cut -d/ -f1; }
eventually item >/dev/null || fail "the icon did not register with the watcher"
item=$(item | tr -d "'")
[ "$(count Tessel)" = 0 ] || fail "a window is open before the icon is clicked"
# swaybar draws no exported menu; it asks the item to show its own.
call "$item" /StatusNotifierItem org.kde.StatusNotifierItem.ContextMenu 0 0 >/dev/null
sleep 1
[ "$(count Tessel)" = 1 ] || fail "ContextMenu did not show the tray menu"
grim "$HOME/wayland-menu.png"
swaymsg -q '[title="^Tessel$"] kill'
call "$item" /StatusNotifierItem org.kde.StatusNotifierItem.Activate 0 0 >/dev/null
sleep 1
[ "$(count Tessel)" = 1 ] || fail "Activate did not open the main window"
grim "$HOME/wayland.png"

path=$(call "$item" /StatusNotifierItem org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem \
    Menu | grep -o "'/[^']*'" | tr -d "'")
menu=$(call "$item" "$path" com.canonical.dbusmenu.GetLayout 0 -1 '[]')
labels=$(grep -o "'label': <'[^']*'>" <<<"$menu" | cut -d"'" -f4 | paste -sd '|')
expected="Open Tessel|_Floating Counter|_Reset Counter|_About Tessel...|_Pause|_Resume|_Server List..."
expected+="|_Change Picture|Set _Path...|_Black|_White|_Gray|_Tessel|A_CO|Ad_vanced"
expected+="|Change _HOSTS path...|_Keep/Replace HOSTS File...|E_xit"
[ "$labels" = "$expected" ] || fail "the exported menu differs: $labels"
click() {
    local id
    id=$(grep -o "([0-9]*, {[^}]*'label': <'$1'>" <<<"$menu" | grep -o '^([0-9]*' | tr -d '(')
    call "$item" "$path" com.canonical.dbusmenu.Event "$id" clicked '<0>' 0 >/dev/null
}
main=$(windows)
click "_About Tessel..."
sleep 1
[ "$(count About...)" = 1 ] || fail "no About box"
swaymsg -q '[title="^About"] kill'
sleep 0.5
[ "$(windows)" = "$main" ] || fail "the main window was made anew around the About box"
click _Floating\ Counter
sleep 1
[ "$(count Tessel)" = 2 ] || fail "the floating counter did not open"
click E_xit
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "Exit from the exported menu did not end the program"
cmp -s "$tmp/hosts" "$tmp/hosts.orig" || fail "HOSTS file not restored at exit"
echo "PASS: Wayland tray"
