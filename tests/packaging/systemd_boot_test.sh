#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Boots a minimal Debian with systemd as PID 1 (systemd-nspawn --boot) with the service unit
# and the built programs installed, and checks the unit under a real systemd: it becomes
# active with the daemon (a session leader) as its main process, sandboxed with the two
# capabilities it keeps; a SIGKILL brings a new daemon; stop leaves none.
#   systemd_boot_test.sh UNIT DAEMON TOOL
# The root file system is made once per machine by mmdebstrap (about 50 s) and kept in
# ~/.cache/spin_down_watch, keyed by its recipe.
set -euo pipefail
# shellcheck source=scripts/on-failure.sh
. "$(dirname "$0")/../../scripts/on-failure.sh"
failure_stage=set-up
readonly unit=$1 daemon=$2 tool=$3
repo=$(cd "$(dirname "$0")/../.." && pwd)
if [ "$(id -u)" -ne 0 ]; then echo "SKIP: needs root for systemd-nspawn"; exit 77; fi
"$repo/scripts/install-deps" mmdebstrap systemd-container

recipe="mmdebstrap --variant=apt --include=systemd,systemd-sysv,dbus bookworm"
cache=${XDG_CACHE_HOME:-$HOME/.cache}/spin_down_watch
rootfs=$cache/nspawn-rootfs-$(echo "$recipe" | sha256sum | cut -c1-16)
if [ ! -d "$rootfs" ]; then
  echo "making the systemd root file system once: $recipe"
  mkdir -p "$cache"
  rm -rf "$rootfs.tmp"
  # shellcheck disable=SC2086 # the recipe is words
  if ! $recipe "$rootfs.tmp" >"$cache/mmdebstrap.log" 2>&1; then
    echo "FAIL: set-up: $recipe failed; its log ends:"
    tail -n 20 "$cache/mmdebstrap.log"
    exit 1
  fi
  mv "$rootfs.tmp" "$rootfs"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/systemd-boot.XXXXXX")
trap 'rm -rf "$work"' EXIT
root=$work/root
cp -a "$rootfs" "$root"
install -m 0755 "$daemon" "$root/usr/sbin/spin_down_watch"
install -m 0755 "$tool" "$root/usr/sbin/sg_ioctl_disk"
install -m 0644 "$unit" "$root/etc/systemd/system/spin_down_watch.service"
wants=$root/etc/systemd/system/multi-user.target.wants
ln -s /etc/systemd/system/spin_down_watch.service "$wants/"

# Runs in the guest once it is up, writes what it sees to /report and powers off.
cat >"$root/usr/local/bin/report" <<'EOF'
#!/bin/bash
exec >/report 2>&1
main_pid() { systemctl show -p MainPID --value spin_down_watch; }
# This service is ordered after the unit, so the unit's start at boot has ended. The restart is
# waited for as an event: the unit's next "Started" line in the journal, read from a cursor taken
# before the kill, so that it cannot pass unseen. 30 s are a deadline for a loaded machine, where
# the restart (RestartSec=2s) can take longer than its 2 s.
pid=$(main_pid)
echo "active: $(systemctl is-active spin_down_watch)"
echo "main: $(readlink /proc/"$pid"/exe) session leader: $([ "$(cut -d' ' -f6 /proc/"$pid"/stat)" = "$pid" ] && echo yes)"
echo "capabilities: $(sed -n 's/^CapBnd:\t//p' /proc/"$pid"/status) no new privileges: $(sed -n 's/^NoNewPrivs:\t//p' /proc/"$pid"/status)"
cursor=$(journalctl --lines=1 --show-cursor --quiet --output=cat | sed -n 's/^-- cursor: //p')
kill -9 "$pid"
grep -m 1 -q '^Started ' < <(timeout 30 journalctl --follow --after-cursor="$cursor" --output=cat \
  --unit=spin_down_watch)
new=$(main_pid)
echo "after SIGKILL: $(systemctl is-active spin_down_watch), new daemon: $([ "$new" != 0 ] && [ "$new" != "$pid" ] && echo yes)"
systemctl stop spin_down_watch
left=$(for exe in /proc/[0-9]*/exe; do readlink "$exe"; done 2>/dev/null | grep -c spin_down_watch)
echo "after stop: $(systemctl is-active spin_down_watch), daemons left: $left"
systemctl poweroff
EOF
chmod 0755 "$root/usr/local/bin/report"
cat >"$root/etc/systemd/system/report.service" <<'EOF'
[Unit]
After=multi-user.target spin_down_watch.service
[Service]
Type=oneshot
ExecStart=/usr/local/bin/report
[Install]
WantedBy=multi-user.target
EOF
ln -s /etc/systemd/system/report.service "$wants/"

# nspawn's own bounding set leaves CAP_SYS_RAWIO out; the unit keeps it, so the guest gets it.
failure_stage=
status=0
timeout 120 systemd-nspawn --boot -D "$root" --register=no --keep-unit --private-network -q \
  --capability=CAP_SYS_RAWIO >"$work/console.log" 2>&1 || status=$?
if [ ! -f "$root/report" ] && grep -q 'Failed to\|Operation not permitted' "$work/console.log"; then
  echo "SKIP: systemd-nspawn cannot run here: $(grep -m1 'Failed to\|not permitted' "$work/console.log")"
  exit 77
fi
cat "$root/report" 2>/dev/null || true
# CAP_FOWNER (bit 3) and CAP_SYS_RAWIO (bit 17), nothing else.
expected='active: active
main: /usr/sbin/spin_down_watch session leader: yes
capabilities: 0000000000020008 no new privileges: 1
after SIGKILL: active, new daemon: yes
after stop: inactive, daemons left: 0'
if [ "$status" -ne 0 ] || [ "$(cat "$root/report" 2>/dev/null)" != "$expected" ]; then
  echo "FAIL: nspawn exit $status; the guest's console ends:"
  tail -n 20 "$work/console.log"
  exit 1
fi
echo "PASS"
