#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# System tests of spin_down_watch as it is installed, one scenario a run:
#   spin_down_watch_test.sh SCENARIO
# Each runs the daemon in a namespace of its own (see sandbox.sh) and ends with it.
set -euo pipefail
# shellcheck source=scripts/on-failure.sh
. "$(dirname "$0")/../../scripts/on-failure.sh"
source "$(dirname "$0")/sandbox.sh"
sandbox_enter "$@"

readonly TOOL=/usr/sbin/sg_ioctl_disk
readonly BOTH_DISKS='[/dev/sda][0]
[/dev/sdb][0]'

# Start-up: the caller gets status 1 at once; the daemon lives on in a session of its own, in
# "/", with mask 0 and nothing open but 0, 1 and 2 on the null device, and every signal at its
# default even where its starter ignored some.
scenario_start_up() {
  set_request 0
  trap '' TERM HUP
  start_daemon
  trap - TERM HUP
  expect_eq "$START_STATUS" 1 "exit status of the start"
  # At once: well inside one cycle on a loaded machine. An emulator's own start-up is not the
  # program's.
  local took_ms=$(( (START_ENDED - START_STARTED) / 1000000 ))
  [ -n "${EMULATOR:-}" ] || [ "$took_ms" -lt 1000 ] || fail "the start took ${took_ms} ms"
  local proc=/mnt/realproc/$DAEMON_PID
  read -r -a stat <"$proc/stat"
  expect_eq "${stat[3]}" 1 "parent of the daemon (it is detached)"
  expect_eq "${stat[5]}" "$DAEMON_PID" "session of the daemon"
  expect_eq "$(readlink "$proc/cwd")" / "working directory"
  expect_eq "$(sed -n 's/^Umask:\t*//p' "$proc/status")" 0000 "file-creation mask"
  # Under an emulator these are the emulator's own.
  if [ -z "${EMULATOR:-}" ]; then
    expect_eq "$(sed -n 's/^SigIgn:\t*//p' "$proc/status")" 0000000000000000 "signals ignored"
  fi
  wait_cycles 2
  local fds
  fds=$(find "$proc/fd" -mindepth 1 -printf '%f\n' | sort -n | tr '\n' ' ')
  expect_eq "$fds" "0 1 2 " "descriptors open in the daemon"
  local fd null
  null=$(stat -c %d:%i /mnt/null)
  for fd in 0 1 2; do
    expect_eq "$(stat -L -c %d:%i "$proc/fd/$fd")" "$null" "descriptor $fd"
  done
  daemon_alive || fail "the daemon died"
}

# A rise stops every whole disk once, one after the other, in the table's order, each run with
# exactly its device and 0, the null device as its streams, and no other descriptor; then the
# flag is an empty file for all.
scenario_rise() {
  two_disk_table
  echo 0.3 >/usr/sbin/stop_tool.delay
  set_request 0
  start_daemon
  wait_cycles 1
  set_request 1
  wait_until 20 flag_present || fail "no flag after the rise"
  expect_eq "$(run_arguments)" "$BOTH_DISKS" "stop tool runs"
  expect_eq "$(grep -c ' fds=0,1,2 null=yes cwd=/ umask=0000 ' "$SANDBOX_LOG")" 2 \
    "streams, descriptors, directory and mask of each run"
  awk '{ split($0, f, /start=| end=/); if (NR > 1 && f[2] < end) bad = 1; end = f[3] }
       END { exit bad }' "$SANDBOX_LOG" || fail "two runs overlapped"
  expect_eq "$(stat -c '%F %s %a' /tmp/sleep)" "regular empty file 0 666" "the flag"
  expect_eq "$(trace_count "cmd=$TOOL /dev/sda 0")" 1 "trace of the sda stop"
  expect_eq "$(trace_count "cmd=$TOOL /dev/sdb 0")" 1 "trace of the sdb stop"
  grep -qx 'buf=1' /mnt/null || fail "no trace of the request read"
  # Every cycle is traced once: a child never writes out its parent's buffered lines again.
  expect_eq "$(trace_count 'while loop begin')" "$(grep -c '^result=' /mnt/null)" \
    "cycle traces against result traces"
}

# A standing request is served once; a fall clears the flag; the next rise stops again.
scenario_stand_fall_rise() {
  two_disk_table
  set_request 1
  start_daemon
  wait_until 20 flag_present || fail "no flag after the rise"
  wait_cycles 8
  expect_eq "$(runs)" 2 "runs while the request stood"
  set_request 0
  wait_until 20 flag_absent || fail "the flag outlived the fall"
  [ "$(trace_count 'sleep flag exist')" -ge 6 ] || fail "standing cycles were not traced"
  wait_cycles 2
  expect_eq "$(runs)" 2 "runs after the fall"
  set_request 1
  wait_until 20 flag_present || fail "no flag after the second rise"
  expect_eq "$(run_arguments)" "$BOTH_DISKS
$BOTH_DISKS" "runs after the second rise"
}

# A flag left from an earlier run is honoured until the request falls and rises again.
scenario_flag_left_over() {
  two_disk_table
  : >/tmp/sleep
  set_request 1
  start_daemon
  wait_cycles 4
  expect_eq "$(runs)" 0 "runs under a standing flag"
  set_request 0
  wait_until 20 flag_absent || fail "the old flag was not cleared"
  set_request 1
  wait_until 20 flag_present || fail "no flag after the rise"
  expect_eq "$(run_arguments)" "$BOTH_DISKS" "runs after the rise"
}

# No entry is no request: a left-over flag is cleared and nothing is ever stopped.
scenario_entry_missing() {
  two_disk_table
  set_request absent
  : >/tmp/sleep
  start_daemon
  wait_until 20 flag_absent || fail "the flag was not cleared"
  wait_cycles 3
  expect_eq "$(runs)" 0 "runs without a request entry"
  grep -qx 'while loop fopen failed' /mnt/null || fail "no message for the missing entry"
  grep -qx 'result=0' /mnt/null || fail "a missing entry did not read as 0"
  daemon_alive || fail "the daemon died"
}

# Only 1 asks for a spin-down.
scenario_other_values() {
  two_disk_table
  start_daemon
  local value
  for value in 2 -1 0 +2 yes 4294967297; do
    : >/tmp/sleep
    set_request "$value"
    wait_until 20 flag_absent || fail "the flag outlived the value $value"
  done
  wait_cycles 2
  expect_eq "$(runs)" 0 "runs for values other than 1"
}

# Names come from a file: they are arguments, never shell code, and a name the buffers would
# cut is skipped, never shortened into another device's.
scenario_hostile_table() {
  local long_name
  long_name=$(printf 'a%.0s' $(seq 128))
  set_table <<TABLE
major minor  #blocks  name
   8 0 1 sd\$(touch /tmp/pwned)x
   8 1 1 a;touch /tmp/pwned2;b
   8 2 1 sd a
   8 3 1 x|y&z>/tmp/pwned_z
   8 4 1 $long_name
   8 5 1 $(printf ' %.0s' $(seq 300))sdz
   8 6 1 mmcblk0
TABLE
  set_request 1
  start_daemon
  wait_until 20 flag_present || fail "no flag after the rise"
  expect_eq "$(run_arguments)" '[/dev/sd$(touch /tmp/pwned)x][0]
[/dev/a;touch /tmp/pwned2;b][0]
[/dev/sd a][0]
[/dev/x|y&z>/tmp/pwned_z][0]' "runs for the hostile names"
  local planted
  for planted in /tmp/pwned /tmp/pwned2 /tmp/pwned_z; do
    [ ! -e "$planted" ] || fail "a name ran as shell code: $planted exists"
  done
}

# A tool that fails, or is missing, changes nothing for the other disks or the flag.
scenario_tool_fails() {
  two_disk_table
  echo 5 >/usr/sbin/stop_tool.status
  set_request 1
  start_daemon
  wait_until 20 flag_present || fail "no flag after failed stops"
  expect_eq "$(run_arguments)" "$BOTH_DISKS" "runs of a failing tool"
  rm "$TOOL"
  set_request 0
  wait_until 20 flag_absent || fail "the flag outlived the fall"
  set_request 1
  wait_until 20 flag_present || fail "no flag with the tool missing"
  wait_cycles 1
  # The children that could not run the tool wrote none of their parent's buffered lines.
  expect_eq "$(trace_count "cmd=$TOOL /dev/sda 0")" 2 "trace of the sda stops"
  expect_eq "$(trace_count 'while loop begin')" "$(grep -c '^result=' /mnt/null)" \
    "cycle traces against result traces"
  daemon_alive || fail "the daemon died"
}

# A link planted at the flag's place is never followed; the flag then counts as not made.
scenario_flag_link() {
  two_disk_table
  ln -s /tmp/victim /tmp/sleep
  set_request 1
  start_daemon
  wait_until 20 eval '[ "$(runs)" -ge 4 ]' || fail "the stop was not repeated"
  [ ! -e /tmp/victim ] || fail "the link at the flag was followed"
  daemon_alive || fail "the daemon died"
}

# With /tmp read-only the flag cannot be made: the stop is repeated once a cycle, each after the
# real two-second pause, never in a tight loop.
scenario_unwritable_tmp() {
  set_table <<<'   8 0 1 sda'
  mount -o remount,bind,ro /tmp
  set_request 1
  FAST_SLEEP='' start_daemon
  wait_until 20 eval '[ "$(runs)" -ge 4 ]' || fail "the stop was not repeated"
  flag_absent || fail "a flag was made on a read-only /tmp"
  # Periods between the starts of successive runs: the pause plus one cycle's work.
  awk '{ split($0, f, /start=| end=/); if (NR > 1) print f[2] - last; last = f[2] }' \
    "$SANDBOX_LOG" >/mnt/periods
  awk '$1 < 1.95 || $1 > 2.8 { bad = 1 } END { exit bad }' /mnt/periods ||
    fail "periods not two seconds: $(tr '\n' ' ' </mnt/periods)"
  echo "periods: $(tr '\n' ' ' </mnt/periods)"
}

"scenario_$1"
echo "PASS: $1"
