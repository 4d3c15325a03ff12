#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks the service unit with systemd-analyze verify, which needs the program it starts to
# exist: a copy of the unit points at the built daemon. Then its sandbox: systemd-analyze
# security must rate it below 5 ("OK"), while it still restarts a daemon that died, keeps the
# capability and the devices the stop tool needs, and shares the system's real /tmp.
#   systemd_unit_test.sh UNIT DAEMON MAN_DIR
# Its manual pages are looked up in MAN_DIR, so that a Documentation= that names a page which
# is not there fails too. systemd-analyze counts a misspelt key as a warning only, so any line
# about the unit fails the test.
set -euo pipefail
# shellcheck source=scripts/on-failure.sh
. "$(dirname "$0")/../../scripts/on-failure.sh"
readonly unit=$1 daemon=$2 man_dir=$3
if ! command -v systemd-analyze >/dev/null || ! command -v man >/dev/null; then
  echo "SKIP: systemd-analyze or man is missing (scripts/install-deps systemd man-db)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/man8"
cp "$man_dir"/*.8 "$work/man8/"
grep -qx 'ExecStart=/usr/sbin/spin_down_watch' "$unit" ||
  { echo "FAIL: the unit does not start /usr/sbin/spin_down_watch"; exit 1; }
sed "s|^ExecStart=/usr/sbin/spin_down_watch\$|ExecStart=$daemon|" "$unit" \
  >"$work/spin_down_watch.service"
status=0
output=$(MANPATH=$work systemd-analyze verify "$work/spin_down_watch.service" 2>&1) || status=$?
about_unit=$(grep -F spin_down_watch <<<"$output" || true)
if [ "$status" -ne 0 ] || [ -n "$about_unit" ]; then
  printf 'FAIL: systemd-analyze verify (status %s):\n%s\n' "$status" "$output"
  exit 1
fi

# The exposure score, 0.0 (safe) to 10.0, of the unit as it stands.
score=$(cd "$work" && systemd-analyze security --offline=true spin_down_watch.service 2>&1 |
  sed -n 's/^.* exposure level for spin_down_watch.service: \([0-9.]*\) .*$/\1/p')
echo "exposure score: ${score:-none}"
if [ -z "$score" ] || ! awk -v s="$score" 'BEGIN { exit !(s < 5) }'; then
  echo "FAIL: systemd-analyze security scores the unit ${score:-not at all}, not below 5"
  exit 1
fi
setting() { sed -n "s/^$1=//p" "$unit" | tr '\n' ' '; }
[ "$(setting Restart)" = "on-failure " ] || { echo "FAIL: Restart is not on-failure"; exit 1; }
[[ " $(setting CapabilityBoundingSet)" == *" CAP_SYS_RAWIO "* ]] ||
  { echo "FAIL: CAP_SYS_RAWIO is not kept"; exit 1; }
[[ "$(setting DeviceAllow)" == *"block-sd r "*"char-sg r "* ]] ||
  { echo "FAIL: the disks' device nodes are not allowed"; exit 1; }
[[ "$(setting ReadWritePaths)" == *"/tmp "* && "$(setting PrivateTmp)" != *yes* ]] ||
  { echo "FAIL: the system's real /tmp is not writable"; exit 1; }
echo "PASS"
