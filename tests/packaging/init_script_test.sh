#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs an init script for real against the built daemon, on the made-up device of
# tests/system/sandbox.sh with a request entry of 1 and a one-disk partition table:
#   init_script_test.sh TOOLS STYLE SCRIPT [RC_COMMON]
# TOOLS: "busybox" runs the script with BusyBox's sh and nothing but BusyBox's applets;
# "debian" runs it with dash and Debian's tools, "bash" with bash and Debian's tools.
# STYLE: "sysvinit" (the script keeps /var/run/spin_down_watch.pid and reads
# /etc/default/spin_down_watch) or "openwrt" (neither). RC_COMMON: the rc.common the script is
# run through (OpenWrt's way): the stand-in, or OpenWrt's own from a tree, whose library of shell
# functions (lib/functions.sh, lib/functions/service.sh) must then lie beside it in the tree, as
# package/base-files/files holds them. Environment: SPIN_DOWN_WATCH, the daemon.
set -euo pipefail
# shellcheck source=scripts/on-failure.sh
. "$(dirname "$0")/../../scripts/on-failure.sh"
# shellcheck source=tests/system/sandbox.sh
source "$(dirname "$0")/../system/sandbox.sh"

if [ -z "${SANDBOX_INSIDE:-}" ]; then
  export SANDBOX_FILES="$3 ${4:-}"
  # OpenWrt's rc.common sources its functions from $IPKG_INSTROOT/lib.
  if [ -n "${4:-}" ] && grep -q 'IPKG_INSTROOT/lib/functions.sh' "$4"; then
    openwrt_files=$(cd "$(dirname "$4")/../lib" && pwd)
    SANDBOX_FILES+=" $openwrt_files/functions.sh $openwrt_files/functions/service.sh"
  fi
  if [ "$1" = busybox ]; then
    # Debian's static BusyBox, unpacked rather than installed over the host's busybox.
    if ! folder=$("$(dirname "$0")/../../scripts/fetch-debian-package" busybox-static); then
      echo "SKIP: busybox-static cannot be fetched"
      exit 77
    fi
    SANDBOX_FILES+=" $folder/bin/busybox"
  fi
fi
sandbox_enter "$@"

readonly tools=$1 style=$2 script=/mnt/${3##*/}
if [ "$style" = sysvinit ]; then pid_file=/var/run/spin_down_watch.pid; else pid_file=none; fi
command=("$script")
[ -z "${4:-}" ] || command=("/mnt/${4##*/}" "${command[@]}")
case "$tools" in
  busybox)
    mkdir /mnt/bin
    for applet in $(/mnt/busybox --list); do ln -s /mnt/busybox "/mnt/bin/$applet"; done
    shell=(/mnt/busybox sh)
    script_path=/usr/sbin:/mnt/bin
    ;;
  debian | bash)
    if [ "$tools" = bash ]; then shell=(bash); else shell=(dash); fi
    script_path=/usr/sbin:/usr/bin
    ;;
esac
command=("${shell[@]}" "${command[@]}")
# An empty IPKG_INSTROOT is the device's own root; here it is a root with OpenWrt's functions.
instroot=()
if [ -f /mnt/functions.sh ]; then
  mkdir -p /mnt/openwrt/lib/functions
  mv /mnt/functions.sh /mnt/openwrt/lib/
  mv /mnt/service.sh /mnt/openwrt/lib/functions/
  instroot=(IPKG_INSTROOT=/mnt/openwrt)
fi
set_table <<<'   8        0  976762584 sda
   8        1     524288 sda1'
set_request 1
mount -t tmpfs run "$(readlink -f /var/run)"
mount -t tmpfs etc-default /etc/default
# Short, so that a stop that gives up is seen to have read it (it waits 10 seconds without).
[ "$style" != sysvinit ] || echo SPIN_DOWN_WATCH_STOP_TIMEOUT=1 >/etc/default/spin_down_watch

fail() {
  echo "FAIL: $*"
  echo "--- last output of the script: ${OUTPUT:-}"
  exit 1
}

# Runs the script with ACTION as init does, with a bare environment; sets OUTPUT and STATUS.
init() {
  STATUS=0
  OUTPUT=$(env -i PATH="$script_path" "${instroot[@]}" "${command[@]}" "$1" 2>&1) || STATUS=$?
}

expect_init() {  # ACTION EXPECTED_STATUS
  init "$1"
  expect_eq "$STATUS" "$2" "exit status of '$1' (output: $OUTPUT)"
}

expect_one_daemon() {  # WHAT; sets DAEMON_PID
  DAEMON_PID=$(daemon_pids)
  expect_eq "$(wc -w <<<"$DAEMON_PID")" 1 "daemons running $1"
  if [ "$pid_file" != none ]; then
    expect_eq "$(cat "$pid_file" 2>&1)" "$DAEMON_PID" "pid file $1"
  fi
}

expect_no_daemon() {  # WHAT
  expect_eq "$(daemon_pids)" "" "daemons running $1"
  if [ "$pid_file" != none ] && [ -e "$pid_file" ]; then fail "pid file left $1"; fi
}

no_daemon_left() { [ -z "$(daemon_pids)" ]; }
flag_state() { stat -c '%i %Y %s' /tmp/sleep 2>&1; }

# Run with no action by a shell that treats unset parameters as errors: the usage, status 1.
if [ "$style" = sysvinit ]; then
  STATUS=0
  OUTPUT=$(env -i PATH="$script_path" "${shell[@]}" -u "$script" 2>&1) || STATUS=$?
  expect_eq "$STATUS" 1 "exit status with no action under sh -u (output: $OUTPUT)"
  [[ "$OUTPUT" == Usage:* ]] || fail "no usage with no action under sh -u: $OUTPUT"
fi

# Not running yet: status says so, and stop has nothing to do.
expect_init status 3
expect_init stop 0
expect_no_daemon "before the start"

# Start: the starting process's status 1 is a success, and exactly one daemon runs, which
# serves the standing request.
expect_init start 0
expect_one_daemon "after the start"
first=$DAEMON_PID
wait_until 20 flag_present || fail "no flag after the start"
expect_eq "$(run_arguments)" "[/dev/sda][0]" "stop tool runs"
expect_init start 0
expect_one_daemon "after a second start"
expect_eq "$DAEMON_PID" "$first" "daemon after a second start"
expect_init status 0
[[ "$OUTPUT" == *"$first"* ]] || fail "status does not name the daemon: $OUTPUT"

# Stop and restart leave the sleep flag as it is, and the daemon that follows honours it.
flag_before=$(flag_state)
expect_init restart 0
expect_one_daemon "after the restart"
[ "$DAEMON_PID" != "$first" ] || fail "restart left the old daemon running"
expect_init stop 0
expect_no_daemon "after the stop"
expect_eq "$(flag_state)" "$flag_before" "sleep flag after a restart and a stop"
expect_eq "$(run_arguments)" "[/dev/sda][0]" "stop tool runs with the flag standing"
expect_init status 3
expect_init stop 0
expect_init restart 0
expect_one_daemon "after a restart from stopped"
# force-reload restarts (there is no configuration to reload), from running and from stopped.
if [ "$style" = sysvinit ]; then
  before=$DAEMON_PID
  expect_init force-reload 0
  expect_one_daemon "after a force-reload"
  [ "$DAEMON_PID" != "$before" ] || fail "force-reload left the old daemon running"
  expect_init stop 0
  expect_init force-reload 0
  expect_one_daemon "after a force-reload from stopped"
  expect_eq "$(flag_state)" "$flag_before" "sleep flag after force-reloads"
fi

# A daemon that does not end: stop gives up and says so, and does not take it for gone. A
# stopped process keeps the signal pending until it is continued; then it dies of it, and
# status tells the death.
kill -STOP "$DAEMON_PID"
wait_until 20 grep -q '^State:[[:space:]]*T' "/mnt/realproc/$DAEMON_PID/status" ||
  fail "the daemon did not freeze"
stop_began=$SECONDS
expect_init stop 1
[ "$style" != sysvinit ] || [ $((SECONDS - stop_began)) -lt 5 ] ||
  fail "stop did not take its time-out from /etc/default/spin_down_watch"
expect_one_daemon "after a stop that gave up"
kill -CONT "$DAEMON_PID"
wait_until 20 no_daemon_left || fail "the daemon did not end"
if [ "$pid_file" != none ]; then expect_init status 1; else expect_init status 3; fi
expect_init start 0
expect_one_daemon "after a start that follows a death"

# A child of the daemon held between its fork and its exec of the stop tool, as strace holds it
# here, has the daemon's executable, name and command line: status, stop and start name the
# daemon alone, and the pid file holds the daemon's pid alone.
strace -f -o /mnt/strace.trace -e trace=execve -e inject=execve:delay_enter=100000000 \
  -p "$DAEMON_PID" 2>/mnt/strace.log &
tracer=$!
wait_until 20 grep -q attached /mnt/strace.log || fail "strace did not attach"
rm /tmp/sleep  # the next cycle stops the disk again
has_held_child() { [ -n "$(program_pids children)" ]; }
wait_until 20 has_held_child || fail "no child was held"
held=$(program_pids children)
expect_init status 0
[[ "$OUTPUT" == *"pid: $DAEMON_PID" ]] || fail "status names more than the daemon: $OUTPUT"
expect_init stop 0
expect_no_daemon "after a stop beside a held child"
expect_init start 0
expect_one_daemon "after a start beside a held child"
kill -KILL "$held" "$tracer"
wait "$tracer" || true
expect_init stop 0
expect_no_daemon "at the end"

# A daemon slow to lead its own session, as strace holds its setsid for 2 s: start waits for it
# instead of taking it for missing. The start's status is written down as it ends, while strace
# still follows the daemon.
tracer_command=("$(command -v strace)" -f -qq -o /dev/null -e trace=setsid
  -e inject=setsid:delay_enter=2000000)
"${tracer_command[@]}" env -i PATH="$script_path" "${instroot[@]}" /bin/sh -c \
  '"$@"; echo "exit $?" >/mnt/slow_start' sh "${command[@]}" start >/dev/null 2>&1 &
tracer=$!
slow_start_ended() { [ -s /mnt/slow_start ]; }
wait_until 30 slow_start_ended || fail "the start of a daemon slow to detach did not end"
expect_eq "$(cat /mnt/slow_start)" "exit 0" "the start of a daemon slow to detach"
expect_one_daemon "after a start that waited for the daemon"
expect_init stop 0
wait "$tracer" || true

highest_pid=$(sleep 0 & echo $!)
[ "$highest_pid" -le "$SANDBOX_LINKED_PIDS" ] ||
  fail "pids passed the $SANDBOX_LINKED_PIDS linked in /proc"
echo "PASS (pids used: $highest_pid)"
