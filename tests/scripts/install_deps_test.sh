#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs scripts/install-deps against stand-ins for dpkg-query, apt-cache and apt-get, earlier on
# PATH. Their listings hold the line that matters first and megabytes after it, so a reader
# that stops at the first match always kills its writer: the script must still pick the
# installed version, and a command that fails must be named with its status.
#   install_deps_test.sh
set -euo pipefail
# shellcheck source=scripts/on-failure.sh
. "$(dirname "$0")/../../scripts/on-failure.sh"
repo=$(cd "$(dirname "$0")/../.." && pwd)
if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: install-deps installs only as root"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# The host has libfoo1 1.0 installed, from source foo; libfoo-dev, also from foo, is missing.
# Each listing is some megabytes, far more than a pipe holds.
printf 'filler 1 installed\n%.0s' {1..200000} >"$work/filler"
mkdir "$work/bin"
cat >"$work/bin/dpkg-query" <<EOS
#!/bin/bash
if [ \$# -eq 3 ]; then  # -W -f=\${Status} PACKAGE
  [ "\$3" != libfoo-dev ] || exit 1
  printf 'install ok installed'
  exit 0
fi
printf 'foo 1.0 installed\n'
exec cat "$work/filler"
EOS
cat >"$work/bin/apt-cache" <<EOS
#!/bin/bash
case \$1 in
  show) printf 'Package: libfoo-dev\nSource: foo\n'; exec cat "$work/filler" ;;
  madison) printf ' libfoo-dev |        1.0 | http://deb.example bookworm/main amd64 Packages\n' ;;
esac
EOS
cat >"$work/bin/apt-get" <<'EOS'
#!/bin/bash
echo "$*" >>"$APT_GET_LOG"
[[ " $* " != *" install "* ]] || exit "${APT_GET_INSTALL_STATUS:-0}"
EOS
chmod +x "$work/bin/"*

run() {  # APT_GET_INSTALL_STATUS: the status of install-deps, its output in $work/out
  local status=0
  : >"$work/apt-get.log"
  PATH=$work/bin:$PATH APT_GET_LOG=$work/apt-get.log APT_GET_INSTALL_STATUS=$1 \
    "$repo/scripts/install-deps" libfoo1 libfoo-dev >"$work/out" 2>&1 || status=$?
  return "$status"
}

if ! run 0; then
  fail "install-deps failed on long listings: $(cat "$work/out")"
elif ! grep -q ' install .*libfoo-dev=1\.0$' "$work/apt-get.log"; then
  fail "libfoo-dev was not asked for at the installed 1.0: $(cat "$work/apt-get.log")"
fi

status=0
run 100 || status=$?
[ "$status" -eq 100 ] || fail "a failing apt-get install ended install-deps with status $status"
grep -q 'install-deps: failed at line [0-9]* with status 100: .*apt-get' "$work/out" ||
  fail "the failed apt-get install was not named: $(cat "$work/out")"

[ "$failures" -eq 0 ] || exit 1
echo "PASS"
