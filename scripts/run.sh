#!/usr/bin/env bash
# Sets up, builds and starts Tessel on this desktop. Without a display it starts a virtual one
# (Xvfb) with a tray host, so the program can still be seen running, and stops both again when
# Tessel ends.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" program "$root/build"

# Tessel runs as you. Only tessel-helper holds rights (ports 80 and 443, /etc/hosts), given once by
# grant.sh as root; it runs only for the group tessel. Root needs neither; sudo is used only for
# grant.sh and the joining. Membership is a right over the whole machine's name resolution, so it
# is asked for, never assumed; this comes before any display starts, so a "no" leaves nothing
# running.
program=$root/build/program
user=$(id -un)
if [ "$(id -u)" -ne 0 ]; then
    if ! getcap "$program/tessel-helper" 2>/dev/null | grep -q cap_net_bind_service; then
        # Harmless on its own: mode 0750 and group tessel keep the helper from everyone else.
        echo "Asking for root once, to give tessel-helper its rights (scripts/grant.sh)."
        sudo "$root/scripts/grant.sh" "$program"
    fi
    # The group database, not this process's groups: a group joined since the last login counts.
    if [[ " $(id -nG "$user") " != *" tessel "* ]]; then
        answer=
        if [ -t 0 ]; then
            echo "Only the group tessel may run tessel-helper. A member can point any host name at"
            echo "127.0.0.1 for every user of this machine, answer it on port 80, and undo other"
            echo "members' filtering (README.md, \"Rights: tessel-helper and the group tessel\")."
            read -r -p "Add $user to the group tessel? [y/N] " answer || answer=
        else
            echo "No terminal to ask on, so $user is not added to the group tessel."
        fi
        case "$answer" in
            [yY] | [yY][eE][sS])
                sudo usermod -aG tessel "$user"
                ;;
            *)
                # Tessel itself would only say the same and exit, on a display that may be virtual.
                echo "Tessel cannot filter /etc/hosts for $user until $user joins the group" >&2
                echo "tessel (it counts from the next login): sudo usermod -aG tessel $user" >&2
                exit 1
                ;;
        esac
    fi
fi

# The processes this script started itself, and only those, stopped when it ends in any way.
started=()
# shellcheck disable=SC2317  # run by the EXIT trap
stop_started() {
    if [ ${#started[@]} -gt 0 ]; then
        kill "${started[@]}" 2>/dev/null || true
        # Xvfb removes its lock file as it ends, so a next run can take the same display at once.
        wait "${started[@]}" 2>/dev/null || true
    fi
}
trap stop_started EXIT

if [ -z "${DISPLAY:-}" ]; then
    export DISPLAY=:73
    Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    started+=("$!")
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    trayer --edge bottom --align right --widthtype request --height 24 >/dev/null 2>&1 &
    started+=("$!")
    echo "No display: Tessel runs on the virtual display $DISPLAY (Xvfb) with a tray host."
fi

command=("$program/tessel")
if [ "$(id -u)" -ne 0 ] && [[ " $(id -nG) " != *" tessel "* ]]; then
    # A group joined just now counts from the next login; until then sg runs Tessel in it.
    command=(sg tessel -c "$(printf '%q' "$program/tessel")")
fi
if [ ${#started[@]} -eq 0 ]; then
    exec "${command[@]}"
fi
# Not exec: this shell stays to stop the display and tray host once Tessel has ended. Ctrl+C
# reaches Tessel too, which gives the HOSTS file back and ends; its status is the script's.
status=0
"${command[@]}" || status=$?
exit "$status"
