#!/usr/bin/env bash
# Gives PROGRAM_DIR/tessel-helper the rights Tessel needs, so that `tessel` itself runs as the
# desktop user: grant.sh PROGRAM_DIR, run as root. Creates the group `tessel` when it is missing;
# only its members may run the helper (mode 0750, group tessel). File capabilities, no setuid bit:
# the helper never runs as root, and holds only
#   cap_net_bind_service  binding 127.0.0.1:80 and :443;
#   cap_dac_override      creating the new file's temporary in /etc and renaming it over
#                         /etc/hosts (both need write access to /etc, which is root's), and
#                         rewriting /etc/hosts in place where it is a bind mount;
#   cap_chown             giving the new file root's owner and group again (the helper creates
#                         it as the user), and making its kept copy root's own;
#   cap_fowner            setting the mode of that file once it is root's.
set -euo pipefail
if [ $# -ne 1 ]; then
    echo "usage: $0 PROGRAM_DIR" >&2
    exit 2
fi
helper=$1/tessel-helper
[ -f "$helper" ] || { echo "grant.sh: no $helper" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "grant.sh: run it as root (sudo $0 $1)" >&2; exit 1; }
command -v setcap >/dev/null || { echo "grant.sh: setcap is missing (apt-get install libcap2-bin)" >&2; exit 1; }
getent group tessel >/dev/null || groupadd --system tessel
chown root:tessel "$helper"
chmod 0750 "$helper"
setcap cap_net_bind_service,cap_dac_override,cap_chown,cap_fowner=ep "$helper"
echo "tessel-helper may now be run by the group tessel. Add a user, who may filter from their next"
echo "login, with: usermod -aG tessel USER"
