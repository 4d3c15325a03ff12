#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the tool on bad arguments and on paths that are no SCSI disk, and checks each exit status
# and that the one line it prints is the expected one.
# Usage: cli_test.sh [EMULATOR...] TOOL (a cross build runs the tool under its emulator)
set -euo pipefail
# shellcheck source=scripts/on-failure.sh
. "$(dirname "$0")/../../scripts/on-failure.sh"
tool=("$@")
work=$(mktemp -d "${TMPDIR:-/tmp}/stop-tool-cli.XXXXXX")
trap 'rm -rf "$work"' EXIT
touch "$work/regular"
failures=0

# expect STATUS STREAM LINE ARGS...: the tool exits with STATUS and prints one line on STREAM
# (stdout or stderr) that matches the pattern LINE; the other stream stays empty.
expect() {
  local want_status=$1 stream=$2 want_line=$3 status=0
  shift 3
  "${tool[@]}" "$@" >"$work/stdout" 2>"$work/stderr" || status=$?
  local other=stderr
  [ "$stream" = stderr ] && other=stdout
  # shellcheck disable=SC2053 # LINE is a pattern
  if [ "$status" -ne "$want_status" ] || [ "$(wc -l <"$work/$stream")" -ne 1 ] ||
     [[ $(cat "$work/$stream") != $want_line ]] || [ -s "$work/$other" ]; then
    echo "FAIL: sg_ioctl_disk $*: status $status (want $want_status)" >&2
    sed 's/^/  stdout: /' "$work/stdout" >&2
    sed 's/^/  stderr: /' "$work/stderr" >&2
    failures=$((failures + 1))
  fi
}

usage='usage: sg_ioctl_disk DEVICE 0|1|state | --help | --version'
expect 1 stderr "$usage"
expect 1 stderr "$usage" /dev/null
expect 1 stderr "$usage" /dev/null 2
expect 1 stderr "$usage" /dev/null 00
expect 1 stderr "$usage" /dev/null ""
expect 1 stderr "$usage" /dev/null 0 extra
expect 1 stderr "$usage" /dev/null State
expect 1 stderr "$usage" /dev/null state extra
expect 1 stderr "$usage" --version extra
expect 0 stdout 'sg_ioctl_disk [0-9]*.[0-9]*.[0-9]*' --version

expect 2 stderr "sg_ioctl_disk: $work/missing: cannot open: No such file or directory" \
  "$work/missing" 0
# The system's error text follows; an emulator may give another errno than the kernel.
not_sg_io='not a SCSI generic (SG_IO) device: ?*'
expect 3 stderr "sg_ioctl_disk: $work/regular: $not_sg_io" "$work/regular" 0
expect 3 stderr "sg_ioctl_disk: /dev/null: $not_sg_io" /dev/null 0
expect 3 stderr "sg_ioctl_disk: /dev/null: $not_sg_io" /dev/null 1
expect 3 stderr "sg_ioctl_disk: /dev/null: $not_sg_io" /dev/null state
expect 3 stderr "sg_ioctl_disk: $work: $not_sg_io" "$work" 0

# --help documents every exit status and every state word on standard output.
status=0
"${tool[@]}" --help >"$work/stdout" 2>"$work/stderr" || status=$?
if [ "$status" -ne 0 ] || [ -s "$work/stderr" ]; then
  echo "FAIL: --help: status $status" >&2
  failures=$((failures + 1))
fi
for code in 0 1 2 3 4 5 6; do
  if ! grep -q "^  $code  " "$work/stdout"; then
    echo "FAIL: --help lacks exit status $code" >&2
    failures=$((failures + 1))
  fi
done
for word in active idle standby stopped unknown; do
  if ! grep -q "^  $word  *[a-z]" "$work/stdout"; then
    echo "FAIL: --help does not say what $word means" >&2
    failures=$((failures + 1))
  fi
done

[ "$failures" -eq 0 ]
