#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The udev rule as udev reads it, on a real kernel's SCSI disks: boots Debian's own amd64 kernel
# under QEMU (software emulation) with Debian's systemd-udevd (unpacked, never installed) and the
# kernel's scsi_debug, and checks that every disk ends with restart-on-access (allow_restart 1):
#   - a disk already there when the package is installed: the rule goes in, then the Debian
#     package's postinst replays the add events;
#   - disks plugged in later, and a zoned disk: udevd applies the rule as each appears;
#   - an optical memory device of the SCSI disk driver, for which the kernel refuses the flag:
#     the rule leaves it alone, so udevd never writes it (and logs no failed write).
#   udev_rule_test.sh RULE POSTINST
# Whether udevd wrote the flag is read from its debug log, so a value that the kernel set by
# itself does not pass for the rule's.
set -euo pipefail
# shellcheck source=scripts/on-failure.sh
. "$(dirname "$0")/../../scripts/on-failure.sh"
failure_stage=set-up
readonly rule=$1 postinst=$2
repo=$(cd "$(dirname "$0")/../.." && pwd)
"$repo/scripts/install-deps" qemu-system-x86 cpio

# shellcheck source=tests/debian_kernel.sh
. "$repo/tests/debian_kernel.sh"
guest_kernel "$repo"
udev=$("$repo/scripts/fetch-debian-package" udev)

work=$(mktemp -d "${TMPDIR:-/tmp}/udev-rule.XXXXXX")
trap 'rm -rf "$work"' EXIT
initramfs=$work/initramfs
mkdir -p "$initramfs"/{bin,lib/systemd,lib/udev/rules.d,dev,proc,sys,run,modules}
cp "$udev/bin/udevadm" "$initramfs/bin/udevadm"
ln -s /bin/udevadm "$initramfs/lib/systemd/systemd-udevd"
for library in $(ldd "$udev/bin/udevadm" | grep -o '/[^ ]*'); do
  mkdir -p "$initramfs$(dirname "$library")"
  cp -L "$library" "$initramfs$library"
done
cp "$("$repo/scripts/fetch-debian-package" busybox-static)/bin/busybox" "$initramfs/bin/busybox"
for applet in sh mount insmod rmmod cat cp grep sort seq mkfifo tee rm poweroff; do
  ln -s busybox "$initramfs/bin/$applet"
done
cp "$rule" "$initramfs/rule"
cp "$postinst" "$initramfs/postinst"

guest_modules "$initramfs/modules" sd_mod scsi_debug

cat >"$initramfs/init" <<INIT
#!/bin/sh
export PATH=/bin
mount -t devtmpfs dev /dev
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t tmpfs run /run
for module in ${load_order[*]}; do
  [ "\$module" = scsi_debug.ko ] || insmod /modules/\$module || echo "guest: insmod \$module failed"
done
/bin/sh /steps.sh || echo "guest: the steps could not run"
echo "guest: done"
poweroff -f
INIT
chmod +x "$initramfs/init"

cat >"$initramfs/steps.sh" <<'STEPS'
#!/bin/sh
set -e
driver=/sys/bus/pseudo/drivers/scsi_debug
# Reads its input until a line matches PATTERN (a shell pattern): a fifo's lines, as they come.
until_line() {
  while IFS= read -r line; do
    case $line in $1) return 0 ;; esac
  done
  echo "guest: no line like '$1' came"
  return 1
}
# Listens to the scsi_disk events that udevd sends once it is done with each, on descriptor 3,
# from the moment the monitor names what it listens to.
watch_events() {
  rm -f /events
  mkfifo /events
  udevadm monitor --udev --subsystem-match=scsi_disk >/events &
  monitor=$!
  exec 3</events
  until_line 'UDEV - *' <&3
}
# Waits until udevd has handled the add events of N disks, then stops listening. (udevadm wait
# cannot tell: it looks for a device's entry in udev's data base, which a device without
# properties never gets.)
handled() {
  for disk in $(seq "$1"); do
    until_line '*] add *(scsi_disk)' <&3
  done
  exec 3<&-
  # Reaped here: its end would otherwise interrupt the next monitor's open of the fifo.
  kill "$monitor"
  wait "$monitor" || true
}
# One line a disk: its type, its flag, and whether udevd wrote it.
report() {
  for disk in /sys/class/scsi_disk/*; do
    written=no
    grep -q "scsi_disk/${disk##*/}/allow_restart' writing" /udevd.log && written=yes
    echo "guest: $1: type $(cat "$disk/device/type") allow_restart $(cat "$disk/allow_restart") written $written"
  done | sort
}

# udevd, its log kept for the report; it reads the kernel's events once it has built its link
# configuration, and answers a ping from its event loop.
mkfifo /udevd.out
/lib/systemd/systemd-udevd --debug 2>&1 | tee /udevd.log >/udevd.out &
exec 4</udevd.out
until_line 'Created link configuration context.' <&4
cat <&4 >/dev/null &
udevadm control --ping
# A disk there before the package, handled by udevd without the rule, then again as at boot.
watch_events
insmod /modules/scsi_debug.ko
handled 1
udevadm trigger --action=add --settle
report before
# The package's files, then its postinst, whose replay of the events waits for them.
cp /rule /lib/udev/rules.d/60-spin_down_watch.rules
sh /postinst configure
report installed
# Plugged in later: a disk, then an optical memory device.
watch_events
echo 1 >"$driver/add_host"
handled 1
watch_events
echo 7 >"$driver/ptype"
echo 1 >"$driver/add_host"
handled 1
report plugged
# A host-managed zoned disk, alone.
rmmod scsi_debug
watch_events
insmod /modules/scsi_debug.ko zbc=managed
handled 1
report zoned
echo "guest: failed writes: $(grep -c 'Failed to write ATTR' /udevd.log || true)"
STEPS
(cd "$initramfs" && find . | cpio -o -H newc --quiet) | gzip -1 >"$work/initramfs.gz"

failure_stage=
started=$(date +%s)
status=0
run_guest "$work/initramfs.gz" "$work/console.log" || status=$?
echo "kernel $kernel_version, udev $(basename "$udev"): guest ran $(($(date +%s) - started)) s," \
  "qemu exit $status"
observed=$(grep -ao 'guest: [^[:cntrl:]]*' "$work/console.log" || true)
echo "$observed"
# scsi_debug's own disks start with the flag clear (the kernel's default for its host).
expected='guest: before: type 0 allow_restart 0 written no
guest: installed: type 0 allow_restart 1 written yes
guest: plugged: type 0 allow_restart 1 written yes
guest: plugged: type 0 allow_restart 1 written yes
guest: plugged: type 7 allow_restart 0 written no
guest: zoned: type 20 allow_restart 1 written yes
guest: failed writes: 0
guest: done'
if [ "$status" -ne 0 ] || [ "$observed" != "$expected" ]; then
  echo "FAIL: the guest did not report the expected results; its console ends:" >&2
  tail -n 40 "$work/console.log" >&2
  exit 1
fi
echo "PASS"
