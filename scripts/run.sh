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

# Port 80 and the HOSTS file belong to root. Through sudo Tessel still needs the user's session: the
# display and its key, and the session manager and its key, so that logging out ends it properly.
# sudo gives root's home, so keys kept in the user's home are named explicitly. Tessel stays on X
# (XWayland under Wayland), where it can still give the HOSTS file back if the display goes away.
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    [ -n "${XAUTHORITY:-}" ] || [ ! -f "$HOME/.Xauthority" ] || export XAUTHORITY="$HOME/.Xauthority"
    [ -n "${ICEAUTHORITY:-}" ] || [ ! -f "$HOME/.ICEauthority" ] || export ICEAUTHORITY="$HOME/.ICEauthority"
    sudo="sudo --preserve-env=DISPLAY,XAUTHORITY,SESSION_MANAGER,ICEAUTHORITY"
fi
exec $sudo "$root/build/program/tessel"
