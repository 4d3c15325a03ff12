#!/usr/bin/env bash
# Runs an init script for real against the built daemon, in a private mount and pid namespace
# made up as a device:
#   init_script_test.sh TOOLS STYLE SCRIPT [RC_COMMON]
# TOOLS: "busybox" runs the script with BusyBox's sh and nothing but BusyBox's applets;
# "debian" runs it with dash and Debian's tools.
# STYLE: "sysvinit" (the script keeps /var/run/spin_down_watch.pid and reads
# /etc/default/spin_down_watch) or "openwrt" (neither). RC_COMMON: the rc.common the script is
# run through (OpenWrt's way). Environment: SPIN_DOWN_WATCH, the daemon.
#
# /proc is a tmpfs holding a request entry of 1 and a one-disk partition table, and links to
# everything else of the namespace's real /proc, every process among them: its pids count up
# from 1, so links to the first few thousand pids, made in advance, show every process the test
# starts to the script as a real /proc would. /usr/sbin holds the daemon and a stand-in stop
# tool that logs its runs.
set -euo pipefail

if [ -z "${INIT_TEST_INSIDE:-}" ]; then
  if [ "$(id -u)" -ne 0 ] || ! command -v unshare >/dev/null; then
    echo "SKIP: needs root and unshare"
    exit 77
  fi
  if [ "$1" = busybox ]; then
    # Debian's static BusyBox, unpacked rather than installed over the host's busybox.
    if ! folder=$("$(dirname "$0")/../../scripts/fetch-debian-package" busybox-static); then
      echo "SKIP: busybox-static cannot be fetched"
      exit 77
    fi
    export BUSYBOX=$folder/bin/busybox
  fi
  export INIT_TEST_INSIDE=1
  exec unshare --mount --pid --fork -- bash "$0" "$@"
fi

readonly tools=$1 style=$2 script=$3 rc_common=${4:-}
if [ "$style" = sysvinit ]; then pid_file=/var/run/spin_down_watch.pid; else pid_file=none; fi

# Everything the test brings is copied before /tmp is covered: the tree may live there.
mount --make-rprivate /
mount -t tmpfs sandbox /mnt
mkdir /mnt/sbin /mnt/bin /mnt/init.d /mnt/realproc
install -m 0755 "$SPIN_DOWN_WATCH" /mnt/sbin/spin_down_watch
printf '#!/bin/sh\necho "$*" >>/mnt/stop_tool.log\n' >/mnt/sbin/sg_ioctl_disk
chmod 0755 /mnt/sbin/sg_ioctl_disk
install -m 0755 "$script" /mnt/init.d/spin_down_watch
command=(/mnt/init.d/spin_down_watch)
if [ -n "$rc_common" ]; then
  install -m 0755 "$rc_common" /mnt/rc.common
  command=(/mnt/rc.common "${command[@]}")
fi
case "$tools" in
  busybox)
    install -m 0755 "$BUSYBOX" /mnt/busybox
    for applet in $(/mnt/busybox --list); do ln -s /mnt/busybox "/mnt/bin/$applet"; done
    shell=(/mnt/busybox sh)
    script_path=/usr/sbin:/mnt/bin
    ;;
  debian)
    shell=(dash)
    script_path=/usr/sbin:/usr/bin
    ;;
esac
command=("${shell[@]}" "${command[@]}")
mount -t proc proc /mnt/realproc
mount -t tmpfs -o mode=0755 device-proc /proc
ln -s /mnt/realproc/[!0-9]* /proc/
rm /proc/partitions
printf '%s\n' 'major minor  #blocks  name' '' '   8        0  976762584 sda' \
  '   8        1     524288 sda1' >/proc/partitions
echo 1 >/proc/oxa_disk_spin_down
readonly linked_pids=2000
# shellcheck disable=SC2046 # one link a pid
ln -s $(seq -f '/mnt/realproc/%.0f' "$linked_pids") /proc/
mount -t tmpfs -o mode=1777 tmp /tmp
mount -t tmpfs run "$(readlink -f /var/run)"
mount -t tmpfs etc-default /etc/default
# Short, so that a stop that gives up is seen to have read it (it waits 10 seconds without).
[ "$style" != sysvinit ] || echo SPIN_DOWN_WATCH_STOP_TIMEOUT=1 >/etc/default/spin_down_watch
mount --bind /mnt/sbin /usr/sbin

fail() {
  echo "FAIL: $*"
  echo "--- last output of the script: $OUTPUT"
  exit 1
}

expect_eq() {  # ACTUAL EXPECTED WHAT
  [ "$1" = "$2" ] || fail "$3: expected '$2', got '$1'"
}

# Runs the script with ACTION as init does, with a bare environment; sets OUTPUT and STATUS.
init() {
  STATUS=0
  OUTPUT=$(env -i PATH="$script_path" "${command[@]}" "$1" 2>&1) || STATUS=$?
}

expect_init() {  # ACTION EXPECTED_STATUS
  init "$1"
  expect_eq "$STATUS" "$2" "exit status of '$1' (output: $OUTPUT)"
}

# Live processes of the program, found in the real /proc by name, state and session rather
# than the way the scripts find them: "leaders" are the daemons (the daemon leads its own
# session), "others" children of a daemon between their fork and their exec.
program_processes() {  # leaders|others
  local stat line pid fields
  for stat in /mnt/realproc/[0-9]*/stat; do
    { read -r line <"$stat"; } 2>/dev/null || continue
    [[ $line == *" (spin_down_watch) "* ]] || continue
    pid=${line%% *}
    read -r -a fields <<<"${line##*)}"
    [ "${fields[0]}" != Z ] || continue
    if [ "${fields[3]}" = "$pid" ]; then
      [ "$1" != leaders ] || echo "$pid"
    else
      [ "$1" != others ] || echo "$pid"
    fi
  done
  return 0
}

daemons() { program_processes leaders; }

expect_one_daemon() {  # WHAT; sets DAEMON_PID
  DAEMON_PID=$(daemons)
  expect_eq "$(wc -w <<<"$DAEMON_PID")" 1 "daemons running $1"
  if [ "$pid_file" != none ]; then
    expect_eq "$(cat "$pid_file" 2>&1)" "$DAEMON_PID" "pid file $1"
  fi
}

expect_no_daemon() {  # WHAT
  expect_eq "$(daemons)" "" "daemons running $1"
  if [ "$pid_file" != none ] && [ -e "$pid_file" ]; then fail "pid file left $1"; fi
}

wait_until() {  # WHAT COMMAND...
  local what=$1 try
  shift
  for try in $(seq 200); do
    [ "$try" -eq 1 ] || sleep 0.05
    if "$@"; then return 0; fi
  done
  fail "$what never happened"
}

no_daemon_left() { [ -z "$(daemons)" ]; }
flag_state() { stat -c '%i %Y %s' /tmp/sleep 2>&1; }

# Run with no action by a shell that treats unset parameters as errors: the usage, status 1.
if [ "$style" = sysvinit ]; then
  STATUS=0
  OUTPUT=$(env -i PATH="$script_path" "${shell[@]}" -u /mnt/init.d/spin_down_watch 2>&1) || STATUS=$?
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
wait_until "the flag after the start" test -e /tmp/sleep
expect_eq "$(cat /mnt/stop_tool.log)" "/dev/sda 0" "stop tool runs"
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
expect_eq "$(cat /mnt/stop_tool.log)" "/dev/sda 0" "stop tool runs with the flag standing"
expect_init status 3
expect_init stop 0
expect_init restart 0
expect_one_daemon "after a restart from stopped"

# A daemon that does not end: stop gives up and says so, and does not take it for gone. A
# stopped process keeps the signal pending until it is continued; then it dies of it, and
# status tells the death.
kill -STOP "$DAEMON_PID"
wait_until "the daemon's freeze" grep -q '^State:[[:space:]]*T' "/mnt/realproc/$DAEMON_PID/status"
stop_began=$SECONDS
expect_init stop 1
[ "$style" != sysvinit ] || [ $((SECONDS - stop_began)) -lt 5 ] ||
  fail "stop did not take its time-out from /etc/default/spin_down_watch"
expect_one_daemon "after a stop that gave up"
kill -CONT "$DAEMON_PID"
wait_until "the end of the daemon" no_daemon_left
if [ "$pid_file" != none ]; then expect_init status 1; else expect_init status 3; fi
expect_init start 0
expect_one_daemon "after a start that follows a death"

# A child of the daemon held between its fork and its exec of the stop tool, as strace holds it
# here, has the daemon's executable, name and command line: status, stop and start name the
# daemon alone, and the pid file holds the daemon's pid alone.
strace -f -o /dev/null -e trace=execve -e inject=execve:delay_enter=100000000 \
  -p "$DAEMON_PID" 2>/mnt/strace.log &
tracer=$!
wait_until "strace's attach" grep -q attached /mnt/strace.log
rm /tmp/sleep  # the next cycle stops the disk again
has_held_child() { [ -n "$(program_processes others)" ]; }
wait_until "a held child" has_held_child
held=$(program_processes others)
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

highest_pid=$(sleep 0 & echo $!)
[ "$highest_pid" -le "$linked_pids" ] || fail "pids passed the $linked_pids linked in /proc"
echo "PASS (pids used: $highest_pid)"
