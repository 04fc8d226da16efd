#!/usr/bin/env bash
# Sets up, builds and starts Tessel on this desktop. Without a display it starts a virtual one
# (Xvfb) with a tray host, so the program can still be seen running.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" program "$root/build"

if [ -z "${DISPLAY:-}" ]; then
    export DISPLAY=:73
    Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    trayer --edge bottom --align right --widthtype request --height 24 >/dev/null 2>&1 &
    echo "No display: Tessel runs on the virtual display $DISPLAY (Xvfb) with a tray host."
fi

# Tessel runs as you. Only tessel-helper holds rights (ports 80 and 443, /etc/hosts), given once by
# grant.sh as root; it runs only for the group tessel, which you join. Root is asked for only then.
program=$root/build/program
if [ "$(id -u)" -ne 0 ] && ! getcap "$program/tessel-helper" 2>/dev/null | grep -q cap_net_bind_service; then
    echo "Asking for root once, to give tessel-helper its rights and add $USER to the group tessel (scripts/grant.sh)."
    sudo "$root/scripts/grant.sh" "$program"
    sudo usermod -aG tessel "$USER"
fi
if [ "$(id -u)" -ne 0 ] && ! id -nG | grep -qw tessel; then
    # A group joined just now counts from the next login; until then sg runs Tessel in it.
    exec sg tessel -c "$(printf '%q' "$program/tessel")"
fi
exec "$program/tessel"
