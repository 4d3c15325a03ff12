#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# unpack_apk of scripts/openwrt-apk.sh on a package that the tree's host apk makes here: the
# fields as an .ipk's control file names them, and each file's mode, owner and path as tar
# shows an .ipk's (setuid, a link, a mode with no x, a name YAML quotes, another owner).
#   openwrt_apk_test.sh OPENWRT_TREE   (skipped without the tree's staging_dir/host/bin/apk)
set -euo pipefail
# shellcheck source=scripts/on-failure.sh
. "$(dirname "$0")/../../scripts/on-failure.sh"
repo=$(cd "$(dirname "$0")/../.." && pwd)
tree=${1:-}
if [ -z "$tree" ] || [ ! -x "$tree/staging_dir/host/bin/apk" ]; then
  echo "SKIP: no host apk in an OpenWrt tree (scripts/check-openwrt builds one)"
  exit 77
fi
command -v fakeroot >/dev/null || { echo "SKIP: no fakeroot"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
die() { echo "FAIL: $*"; exit 1; }
# shellcheck source=scripts/openwrt-apk.sh
. "$repo/scripts/openwrt-apk.sh"

failure_stage=set-up
files=$work/files
mkdir -p "$files/usr/sbin" "$files/etc/x" "$files/var/lib/x"
printf '#!/bin/sh\n' >"$files/usr/sbin/tool"
echo secret >"$files/etc/x/key: old"
echo state >"$files/var/lib/x/state"
ln -s tool "$files/usr/sbin/alias"
# As OpenWrt makes its packages: under fakeroot, so the owners are root's but where chown says.
fakeroot sh -c '
  chmod 4755 "$1/usr/sbin/tool"; chmod 0600 "$1/etc/x/key: old"; chmod 0640 "$1/var/lib/x/state"
  chown daemon:daemon "$1/var/lib/x/state"
  "$2" mkpkg --info name:demo --info version:1.0-r2 --info arch:mipsel_24kc \
    --info "license:GPL-2.0-only OR MIT" --info "maintainer:A. Person <a@example.org>" \
    --info "depends:libc so:libfoo.so.1 bar>=2" --files "$1" --output "$3"' \
  sh "$files" "$tree/staging_dir/host/bin/apk" "$work/demo.apk"
failure_stage=

unpack_apk "$work/demo.apk" "$work/out"
failures=0
check() {  # WHAT ACTUAL EXPECTED
  [ "$2" = "$3" ] || { printf 'FAIL: %s:\n%s\nexpected:\n%s\n' "$1" "$2" "$3"; failures=$((failures + 1)); }
}
check CONTROL "$(cat "$work/out/CONTROL")" "Package: demo
Version: 1.0-r2
Depends: bar>=2, libc, so:libfoo.so.1
License: GPL-2.0-only OR MIT
Maintainer: A. Person <a@example.org>
Architecture: mipsel_24kc"
check FILES "$(cat "$work/out/FILES")" "-rw------- root/root /etc/x/key: old
lrwxrwxrwx root/root /usr/sbin/alias
-rwsr-xr-x root/root /usr/sbin/tool
-rw-r----- daemon/daemon /var/lib/x/state"
check "the files" "$(cat "$work/out/root/etc/x/key: old" "$work/out/root/var/lib/x/state")" \
  "secret
state"
check "the link" "$(readlink "$work/out/root/usr/sbin/alias")" tool

[ "$failures" -eq 0 ] || exit 1
echo "PASS"
