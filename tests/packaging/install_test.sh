#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the build into a staging root, as a firmware build does, and checks what lands:
#   install_test.sh BUILD_DIR DAEMON TOOL   (the built programs)
# Both programs in PREFIX/sbin with mode 0755, both manual pages in PREFIX/share/man/man8,
# and nothing else.
set -euo pipefail
# shellcheck source=scripts/on-failure.sh
. "$(dirname "$0")/../../scripts/on-failure.sh"
readonly build=$1 daemon=$2 tool=$3
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

DESTDIR=$stage cmake --install "$build" --prefix /opt/device >/dev/null
expected="/opt/device/sbin/sg_ioctl_disk 755 f
/opt/device/sbin/spin_down_watch 755 f
/opt/device/share/man/man8/sg_ioctl_disk.8 644 f
/opt/device/share/man/man8/spin_down_watch.8 644 f"
actual=$(cd "$stage" && find . ! -type d -printf '/%P %m %y\n' | sort)
if [ "$actual" != "$expected" ]; then
  printf 'FAIL: installed files (path, mode, type)\n--- expected:\n%s\n--- got:\n%s\n' \
    "$expected" "$actual"
  exit 1
fi
cmp "$stage/opt/device/sbin/spin_down_watch" "$daemon"
cmp "$stage/opt/device/sbin/sg_ioctl_disk" "$tool"
echo "PASS"
