#!/usr/bin/env bash
# Checks the service unit with systemd-analyze verify, which needs the program it starts to
# exist: a copy of the unit points at the built daemon.
#   systemd_unit_test.sh UNIT DAEMON MAN_DIR
# Its manual pages are looked up in MAN_DIR, so that a Documentation= that names a page which
# is not there fails too. systemd-analyze counts a misspelt key as a warning only, so any line
# about the unit fails the test.
set -euo pipefail
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
echo "PASS"
