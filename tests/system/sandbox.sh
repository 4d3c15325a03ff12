# SPDX-License-Identifier: MIT
# shellcheck shell=bash
# A made-up device for the installed daemon, in a private mount and pid namespace: /proc is a
# tmpfs holding the request entry and the tables of disks the caller writes, beside links to the
# rest of the namespace's real /proc (its first pids among them, so that a script walking /proc
# sees every process); /tmp is empty; /usr/sbin holds the daemon and a stand-in stop tool that
# logs its runs; /dev/null is a file that captures the daemon's trace. The sandbox's own files are
# in /mnt, which the namespace covers with a tmpfs; the real /proc of the namespace is
# /mnt/realproc. Used by the system tests, the init-script tests, the demo and the bench.
#
# Source it, then call sandbox_enter "$@" first: it re-runs the script inside the namespace, sets
# the device up there and returns. Environment: SPIN_DOWN_WATCH (the daemon), SANDBOX_FILES
# (optional: more files the caller brings, copied into /mnt by name before /tmp is covered, as
# the tree may live there), FAST_SLEEP (optional: the sleep-shortening preload, in the sandbox as
# /mnt/fast_sleep.so; without it cycles last their real two seconds), EMULATOR (optional: a
# command that runs the daemon, such as qemu-mipsel).

readonly SANDBOX_PAUSE_US=100000
readonly SANDBOX_LOG=/usr/sbin/stop_tool.log
readonly SANDBOX_LINKED_PIDS=2000

sandbox_enter() {
  if [ -n "${SANDBOX_INSIDE:-}" ]; then
    sandbox_set_up
    return
  fi
  export SANDBOX_INSIDE=1
  # --kill-child: whatever kills unshare (a test's time-out) ends the whole namespace.
  if [ "$(id -u)" -eq 0 ]; then
    local why
    if ! why=$(unshare --mount --pid --fork true 2>&1); then
      echo "FAIL: cannot make a private mount and pid namespace: ${why:-unshare failed}"
      echo "The kernel may lack mount or pid namespaces, or a container's seccomp policy forbids"
      echo "unshare. Inside a chroot whose root is not a mount point, make it one first"
      echo "(mount --bind ROOT ROOT before entering it)."
      exit 1
    fi
    exec unshare --mount --pid --fork --kill-child -- bash "$0" "$@"
  elif unshare --user --map-root-user --mount --pid --fork true 2>/dev/null; then
    exec unshare --user --map-root-user --mount --pid --fork --kill-child -- bash "$0" "$@"
  fi
  echo "SKIP: needs root, or unprivileged user and mount namespaces"
  exit 77
}

sandbox_set_up() {
  # Only the first process of a new pid namespace: what follows covers /proc, /tmp and /dev/null.
  [ $$ -eq 1 ] || { echo "FAIL: the sandbox is set up only in a namespace of its own"; exit 1; }
  # The real null device, for the harness's own noise once /dev/null captures the trace.
  exec 9>/dev/null
  mount --make-rprivate /
  mount -t tmpfs sandbox /mnt
  mkdir /mnt/realproc /mnt/sbin /mnt/tmp
  mount -t proc proc /mnt/realproc
  chmod 1777 /mnt/tmp
  : >/mnt/null
  chmod 0666 /mnt/null
  install -m 0755 "$SPIN_DOWN_WATCH" /mnt/sbin/spin_down_watch
  if [ -n "${FAST_SLEEP:-}" ]; then cp "$FAST_SLEEP" /mnt/fast_sleep.so; fi
  local file
  for file in ${SANDBOX_FILES:-}; do cp "$file" /mnt/; done
  sandbox_write_stand_in /mnt/sbin/sg_ioctl_disk
  mount -t tmpfs -o mode=0755 sandbox-proc /proc
  ln -s /mnt/realproc/[!0-9]* /proc/
  rm -f /proc/partitions /proc/diskstats
  # shellcheck disable=SC2046 # one link a pid; pids in the namespace count up from 1
  ln -s $(seq -f '/mnt/realproc/%.0f' "$SANDBOX_LINKED_PIDS") /proc/
  mount --bind /mnt/tmp /tmp
  mount --bind /mnt/null /dev/null
  mount --bind /mnt/sbin /usr/sbin
}

# The stand-in logs one line a run: its arguments, the descriptors it inherited open (those not
# close-on-exec), whether 0, 1 and 2 are the null device, its working directory, file-creation
# mask, and when it began and ended. A file stop_tool.delay makes it take that many seconds,
# and stop_tool.status gives its exit status. Its PATH is its own: a BusyBox device's applets
# differ.
sandbox_write_stand_in() {
  cat >"$1" <<'TOOL'
#!/bin/sh
PATH=/usr/bin:/bin
started=$(date +%s.%N)
# Sets fds. Runs in this shell, not in a subshell, whose pipe would show among them.
list_inherited() {
  fds=
  for entry in /mnt/realproc/$$/fd/*; do
    fd=${entry##*/}
    # The listing's own descriptor is closed by now.
    [ -e "/mnt/realproc/$$/fdinfo/$fd" ] || continue
    close_on_exec=0
    while read -r key value; do
      if [ "$key" = flags: ]; then close_on_exec=$(( 0$value & 02000000 )); fi
    done <"/mnt/realproc/$$/fdinfo/$fd"
    [ "$close_on_exec" -eq 0 ] && fds="$fds${fds:+,}$fd"
  done
}
null=yes
for fd in 0 1 2; do
  [ "$(stat -L -c %d:%i /mnt/realproc/$$/fd/$fd)" = "$(stat -c %d:%i /mnt/null)" ] || null=no
done
list_inherited
if [ -f /usr/sbin/stop_tool.delay ]; then sleep "$(cat /usr/sbin/stop_tool.delay)"; fi
printf 'run args=%s fds=%s null=%s cwd=%s umask=%s start=%s end=%s\n' \
  "$(printf '[%s]' "$@")" "$fds" "$null" "$(pwd -P)" "$(umask)" "$started" "$(date +%s.%N)" \
  >>/usr/sbin/stop_tool.log
if [ -f /usr/sbin/stop_tool.status ]; then exit "$(cat /usr/sbin/stop_tool.status)"; fi
TOOL
  chmod 0755 "$1"
}

fail() {
  echo "FAIL: $*"
  echo "--- stop tool runs:"; cat "$SANDBOX_LOG" 2>&9 || true
  echo "--- flag:"; ls -l /tmp/sleep 2>&1 || true
  echo "--- trace:"; cat /mnt/null
  exit 1
}

expect_eq() {  # ACTUAL EXPECTED WHAT
  [ "$1" = "$2" ] || fail "$3: expected '$2', got '$1'"
}

set_request() {  # VALUE, or "absent"
  if [ "$1" = absent ]; then rm -f /proc/oxa_disk_spin_down; else echo "$1" >/proc/oxa_disk_spin_down; fi
}

set_table() {  # the partition table, from standard input
  cat >/proc/partitions
}

two_disk_table() {
  set_table <<'TABLE'
major minor  #blocks  name

   8        0  976762584 sda
   8        1     524288 sda1
   8        2  976237568 sda2
   8       16  976762584 sdb
   8       17  976761560 sdb1
TABLE
}

# Starts the daemon as a device's init would; DAEMON_PID is the detached daemon.
# shellcheck disable=SC2034  # START_* are read by the scenarios that source this file
start_daemon() {
  local environment=()
  if [ -n "${FAST_SLEEP:-}" ]; then
    environment=("SPIN_DOWN_TEST_PAUSE_US=$SANDBOX_PAUSE_US")
    # The emulator is a host program: it hands the target's preload to the program it runs
    # rather than taking it itself.
    if [ -n "${EMULATOR:-}" ]; then
      environment+=(QEMU_SET_ENV=LD_PRELOAD=/mnt/fast_sleep.so)
    else
      environment+=(LD_PRELOAD=/mnt/fast_sleep.so)
    fi
  fi
  local status=0
  START_STARTED=$(date +%s%N)
  # shellcheck disable=SC2086  # the emulator is a command and its arguments, or nothing
  env "${environment[@]}" ${EMULATOR:-} /usr/sbin/spin_down_watch || status=$?
  START_ENDED=$(date +%s%N)
  START_STATUS=$status
  DAEMON_PID=$(daemon_pids)
  [ -n "$DAEMON_PID" ] || fail "no daemon is running after the start"
  [ "$(wc -w <<<"$DAEMON_PID")" -eq 1 ] || fail "daemons after the start: $DAEMON_PID"
}

# Live processes running the program (under the emulator too, hence the command line): the
# daemons lead their own session; a child forked to run the stop tool has the daemon's command
# line until its exec, but never leads a session.
program_pids() {  # daemons|children
  local entry line fields pid command
  for entry in /mnt/realproc/[0-9]*; do
    command=$(tr '\0' ' ' 2>&9 <"$entry/cmdline") || continue
    [[ $command == *'/usr/sbin/spin_down_watch ' ]] || continue
    { read -r line <"$entry/stat"; } 2>&9 || continue
    read -r -a fields <<<"${line##*)}"
    [ "${fields[0]}" != Z ] || continue
    pid=${entry##*/}
    if [ "${fields[3]}" = "$pid" ]; then
      [ "$1" != daemons ] || echo "$pid"
    else
      [ "$1" != children ] || echo "$pid"
    fi
  done
  return 0
}

daemon_pids() { program_pids daemons; }

daemon_alive() {
  [ -d "/mnt/realproc/$DAEMON_PID" ] && ! grep -q '^State:.*Z' "/mnt/realproc/$DAEMON_PID/status"
}

wait_until() {  # SECONDS COMMAND...
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -le "$deadline" ] || return 1
    sleep 0.02
  done
}

# Lets N whole cycles run from now on. Every cycle begins by reading the request entry, which
# inotify sees, or by failing to open it, which the daemon reports at once; N + 1 beginnings seen
# bound N whole cycles. No clock: the static build runs its real two-second cycles, under an
# emulator too.
wait_cycles() {  # N
  local failed watch
  inotifywait -m -e close_nowrite --format %f /proc >/mnt/reads 2>/mnt/watch &
  watch=$!
  wait_until 20 grep -q 'Watches established' /mnt/watch || fail "inotifywait: $(cat /mnt/watch)"
  failed=$(trace_count 'while loop fopen failed')
  wait_until $((2 * $1 + 30)) more_cycles_begun "$failed" "$1" || fail "the daemon stopped cycling"
  kill "$watch"
  wait "$watch" || true
}

more_cycles_begun() {  # FAILED_OPENS_BEFORE N: more than N cycles began since the watch did
  local reads failed
  reads=$(grep -cx oxa_disk_spin_down /mnt/reads || true)
  failed=$(trace_count 'while loop fopen failed')
  [ $((reads + failed - $1)) -gt "$2" ]
}

runs() {
  if [ -f "$SANDBOX_LOG" ]; then grep -c '^run ' "$SANDBOX_LOG" || true; else echo 0; fi
}

# The arguments of every run so far, one run a line.
run_arguments() { sed -n 's/^run args=\(.*\) fds=[0-9,]* null=.*/\1/p' "$SANDBOX_LOG" 2>&9 || true; }

trace_count() { grep -cx -- "$1" /mnt/null || true; }

flag_present() { [ -e /tmp/sleep ] || [ -L /tmp/sleep ]; }
flag_absent() { ! flag_present; }
