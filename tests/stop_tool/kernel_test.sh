#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Boots Debian's own amd64 kernel under QEMU (software emulation only) with three disks, a SCSI
# disk on virtio-scsi, a SATA disk on AHCI and a virtio-blk disk, and runs the tool inside the
# guest: it must stop and start the first two and call the third no SG_IO device. QEMU's trace of
# the commands the emulated disks executed shows the stop really reached them, in its order:
# the state query, the cache flush, then the stop. Each disk is then stopped once more under the
# service unit's limits, set up by the guest itself: a device control group that lets only SCSI
# disk and SCSI generic nodes be opened (read-only), a private mount namespace where all but /tmp
# is read-only, and only the unit's two capabilities (CAP_SYS_RAWIO and CAP_FOWNER) with no new
# privileges, through util-linux's setpriv. There the SCSI and SATA disks must still stop, while
# the virtio-blk disk may not even be opened and a write outside /tmp fails.
# Then the kernel's own scsi_debug disk, which takes no power conditions and remembers a stop, on a
# host that leaves restart-on-access off: the tool's state query, stop, second stop and start are
# checked against what it reports, and a read after the stop must return what was written before,
# the kernel starting the disk itself; every command it gets is seen in the kernel's SCSI command
# log. Under the unit's limits, where the tool cannot turn restart-on-access on, it must leave
# the disk spinning; once the packaging's udev rule has done so, the disk stops and comes back.
# Usage: kernel_test.sh TOOL
set -euo pipefail
# shellcheck source=scripts/on-failure.sh
. "$(dirname "$0")/../../scripts/on-failure.sh"
failure_stage=set-up
tool=$1
repo=$(cd "$(dirname "$0")/../.." && pwd)
# The value that the packaging's udev rule gives each SCSI disk's allow_restart (every disk of
# this guest is of type 0, which the rule matches).
rule_value=$(sed -n 's/.*ATTR{allow_restart}="\([0-9]*\)".*/\1/p' \
  "$repo/packaging/udev/60-spin_down_watch.rules")
[ -n "$rule_value" ] || { echo "set-up failed: the udev rule sets no allow_restart" >&2; exit 1; }
"$repo/scripts/install-deps" qemu-system-x86 cpio util-linux

# shellcheck source=tests/debian_kernel.sh
. "$repo/tests/debian_kernel.sh"
guest_kernel "$repo"

work=$(mktemp -d "${TMPDIR:-/tmp}/stop-tool-kernel.XXXXXX")
trap 'rm -rf "$work"' EXIT
initramfs=$work/initramfs
mkdir -p "$initramfs"/{bin,sbin,dev,proc,sys,modules,tmp,sandbox}

# The guest runs the very program that gets installed, with the host's C library beside it.
cp "$tool" "$initramfs/sbin/sg_ioctl_disk"
setpriv=$(command -v setpriv)
cp "$setpriv" "$initramfs/sbin/setpriv"
for library in $( (ldd "$tool"; ldd "$setpriv") | grep -o '/[^ ]*'); do
  mkdir -p "$initramfs$(dirname "$library")"
  cp -L "$library" "$initramfs$library"
done
# Debian's static BusyBox, unpacked, never installed over the host's busybox.
cp "$("$repo/scripts/fetch-debian-package" busybox-static)/bin/busybox" "$initramfs/bin/busybox"
for applet in sh mount insmod cat seq sleep poweroff mkdir unshare chroot touch dd dmesg awk cmp; do
  ln -s busybox "$initramfs/bin/$applet"
done

guest_modules "$initramfs/modules" virtio_pci virtio_scsi virtio_blk sd_mod sg ahci scsi_debug

cat >"$initramfs/init" <<INIT
#!/bin/sh
mount -t devtmpfs dev /dev
mount -t proc proc /proc
mount -t sysfs sys /sys
# scsi_debug comes once the emulated disks have their names, so that they keep sda and sdb.
for module in ${load_order[*]}; do
  [ "\$module" = scsi_debug.ko ] && continue
  insmod /modules/\$module || echo "guest: insmod \$module failed"
done
# Disks appear as their drivers probe them.
for tick in \$(seq 100); do
  [ -b /dev/sda ] && [ -b /dev/sdb ] && [ -b /dev/vda ] && [ -c /dev/sg1 ] && break
  sleep 0.2
done
run() {
  /sbin/sg_ioctl_disk "\$2" "\$3"
  echo "guest: \$1 mode \$3 exit \$? (\$2)"
}
# Which of sda and sdb is the SATA disk depends on the order the drivers probed them.
for disk in sda sdb; do
  case "\$(cat /sys/block/\$disk/device/vendor)" in
    ATA*) run sata /dev/\$disk 0; run sata /dev/\$disk 1 ;;
    *) run scsi /dev/\$disk 0; run scsi /dev/\$disk 1 ;;
  esac
done
for sg in /sys/class/scsi_generic/*; do
  case "\$(cat \$sg/device/vendor)" in
    ATA*) run sata-generic /dev/\${sg##*/} 0 ;;
  esac
done
run virtio-blk /dev/vda 0
/bin/sh /debug.sh || echo "guest: the scsi_debug steps could not run"
/bin/sh /unit.sh devices || echo "guest: the unit's limits could not be set up"
# The packaging's udev rule, applied as udev applies it to each SCSI disk as it is added.
for flag in /sys/class/scsi_disk/*/allow_restart; do echo $rule_value >\$flag; done
/bin/sh /unit.sh devices rule || echo "guest: the unit's limits could not be set up again"
[ -e /tmp/restricted ] && echo "guest: the restricted write reached the system /tmp"
echo "guest: done"
poweroff -f
INIT
chmod +x "$initramfs/init"

# The kernel's scsi_debug disk, step by step; after each step the opcodes that the kernel's SCSI
# command log (mid-level queue, level 2: every command as it is sent, the error handler's too)
# shows for the disk. It takes no power conditions and, on its host, the kernel's allow_restart
# is 0: a plain stop would fail every later read, so the tool must see to the kernel's restart.
cat >"$initramfs/debug.sh" <<'DEBUG'
#!/bin/sh
insmod /modules/scsi_debug.ko || exit 1
disk=
for tick in $(seq 100); do
  for vendor in /sys/block/sd*/device/vendor; do
    case "$(cat "$vendor")" in Linux*) disk=${vendor#/sys/block/} ;; esac
  done
  [ -n "$disk" ] && [ -b "/dev/${disk%%/*}" ] && break
  sleep 0.2
done
disk=${disk%%/*}
[ -n "$disk" ] || exit 1
echo "$disk" >/debug_disk
restart_flag=$(echo /sys/block/$disk/device/scsi_disk/*/allow_restart)
# What a user wrote before the stop must come back after it.
dd if=/dev/urandom of=/written bs=4096 count=1 2>/dev/null
dd if=/written of="/dev/$disk" bs=4096 count=1 oflag=direct conv=fsync 2>/dev/null || exit 1
read_disk() {
  dd if="/dev/$disk" of=/tmp/read bs=4096 count=1 iflag=direct 2>/dev/null && cmp -s /written /tmp/read
}
echo 1024 >/proc/sys/dev/scsi/logging_level
dmesg -c >/dev/null
step() {  # NAME COMMAND...
  name=$1
  shift
  output=$("$@" 2>/tmp/errors)
  status=$?
  output=${output#"/dev/$disk: "}
  echo "guest: debug $name exit $status${output:+: $output}"
  [ -s /tmp/errors ] && echo "guest: debug $name said on standard error: $(cat /tmp/errors)"
  # The opcode is the first of the hex bytes that end a "CDB:" line of this disk.
  # A read's commands are shown, not compared: how often the kernel retries one is its own.
  # Whether the kernel sent a START STOP UNIT in it is: nobody else does while it reads.
  case $name in *read) prefix=debug-log ;; *) prefix=guest ;; esac
  dmesg -c | awk -v disk="[$disk]" -v line="$prefix: debug $name commands:" -v name="$name" '
    index($0, disk) && /CDB:/ {
      for (i = NF; i > 0 && $i ~ /^[0-9a-f][0-9a-f]$/; i--) first = $i
      line = line " " first
      if (first == "1b") started = 1
    }
    END {
      print line
      if (name ~ /read$/) print "guest: debug " name " started by the kernel: " (started ? "yes" : "no")
    }'
}
echo "guest: debug allow_restart before the stop: $(cat $restart_flag)"
step state /sbin/sg_ioctl_disk "/dev/$disk" state
step stop /sbin/sg_ioctl_disk "/dev/$disk" 0
echo "guest: debug allow_restart after the stop: $(cat $restart_flag)"
step stopped-state /sbin/sg_ioctl_disk "/dev/$disk" state
step second-stop /sbin/sg_ioctl_disk "/dev/$disk" 0
step stopped-read read_disk
step read-state /sbin/sg_ioctl_disk "/dev/$disk" state
step stop-again /sbin/sg_ioctl_disk "/dev/$disk" 0
step start /sbin/sg_ioctl_disk "/dev/$disk" 1
step started-state /sbin/sg_ioctl_disk "/dev/$disk" state
step started-read read_disk
echo 0 >/proc/sys/dev/scsi/logging_level
# Back to the kernel's own setting, for the stops under the unit's limits.
echo 0 >$restart_flag
DEBUG

# The service unit's limits, each set up as systemd sets it up before it starts the daemon, in
# stages: each stage applies one and runs the next inside it.
cat >"$initramfs/unit.sh" <<'UNIT'
#!/bin/sh
set -e
phase=${2:-}
case $1 in
devices)
  # DevicePolicy=closed with DeviceAllow=block-sd r and char-sg r: the tool opens the disks
  # read-only, either by their SCSI disk nodes (block major 8) or their SCSI generic nodes (char
  # major 21); besides those only the pseudo devices that the closed policy always keeps.
  # Nothing else mounts control groups in this guest, so the version 1 devices controller is
  # free (systemd uses it too on a system with version 1 groups; under version 2 it applies the
  # same rules through a BPF program).
  group=/sys/fs/cgroup/spin_down_watch
  if [ ! -d "$group" ]; then
    mount -t cgroup -o devices devices /sys/fs/cgroup
    mkdir "$group"
    echo a >"$group/devices.deny"
    for rule in 'c 1:3 rwm' 'c 1:5 rwm' 'c 1:7 rwm' 'c 1:8 rwm' 'c 1:9 rwm' 'c 5:0 rwm' \
      'c 5:2 rwm' 'c 136:* rw' 'b 8:* r' 'c 21:* r'; do
      echo "$rule" >"$group/devices.allow"
    done
  fi
  echo $$ >"$group/cgroup.procs"
  exec unshare --mount --propagation private /bin/sh "$0" mounts "$phase"
  ;;
mounts)
  # PrivateMounts=yes, ProtectSystem=strict and ReadWritePaths=/tmp: in a mount namespace of its
  # own the whole tree is read-only but the kernel's file systems below it, and /tmp stays the
  # system's own, writable (the daemon's flag there is shared with the rest of the system).
  mount --rbind / /sandbox
  mount -o remount,bind,ro /sandbox
  mount --bind /tmp /sandbox/tmp
  # CapabilityBoundingSet=CAP_SYS_RAWIO CAP_FOWNER and NoNewPrivileges=yes: as the service runs
  # it, a bounding set of two, nothing inheritable, no new privileges.
  exec chroot /sandbox /sbin/setpriv --bounding-set=-all,+sys_rawio,+fowner --inh-caps=-all \
    --no-new-privs /bin/sh "$0" run "$phase"
  ;;
run)
  set +e
  debug=$(cat /debug_disk)
  state() { answer=$(/sbin/sg_ioctl_disk "/dev/$debug" state 2>&1); echo "${answer##*: }"; }
  restricted_debug() {  # NAME: the scsi_debug disk stopped, its state, a read of it, its state
    /sbin/sg_ioctl_disk "/dev/$debug" 0
    echo "guest: restricted debug $1: mode 0 exit $?, then $(state)"
    dd if="/dev/$debug" of=/tmp/read bs=4096 count=1 iflag=direct 2>/dev/null &&
      cmp -s /written /tmp/read
    echo "guest: restricted debug $1: read exit $?, then $(state)"
  }
  if [ "$phase" = rule ]; then
    restricted_debug "with the rule"
    exit 0
  fi
  restricted_debug "without the rule"
  for disk in sda sdb vda; do
    /sbin/sg_ioctl_disk /dev/$disk 0
    echo "guest: restricted mode 0 exit $? ($disk)"
  done
  for sg in /sys/class/scsi_generic/*; do
    case "$(cat "$sg/device/vendor")" in
      ATA*)
        /sbin/sg_ioctl_disk "/dev/${sg##*/}" 0
        echo "guest: restricted sata-generic mode 0 exit $? (${sg##*/})"
        ;;
    esac
  done
  touch /restricted
  echo "guest: restricted write to / exit $?"
  touch /tmp/restricted
  echo "guest: restricted write to /tmp exit $?"
  ;;
esac
UNIT
(cd "$initramfs" && find . | cpio -o -H newc --quiet) | gzip -1 >"$work/initramfs.gz"

for disk in scsi sata virtio; do truncate -s 64M "$work/$disk.img"; done
failure_stage=
started=$(date +%s)
status=0
run_guest "$work/initramfs.gz" "$work/console.log" \
  -device virtio-scsi-pci,id=scsi -device scsi-hd,bus=scsi.0,drive=scsi \
  -drive "if=none,id=scsi,format=raw,file=$work/scsi.img" \
  -device ahci,id=ahci -device ide-hd,bus=ahci.0,drive=sata \
  -drive "if=none,id=sata,format=raw,file=$work/sata.img" \
  -device virtio-blk-pci,drive=virtio -drive "if=none,id=virtio,format=raw,file=$work/virtio.img" \
  -trace scsi_req_parsed -trace scsi_disk_new_request -trace ide_exec_cmd -D "$work/trace.log" ||
  status=$?
echo "kernel $kernel_version: guest ran $(($(date +%s) - started)) s, qemu exit $status"
observed=$(grep -ao 'guest: [^[:cntrl:]]*' "$work/console.log" || true)
grep -ao 'sg_ioctl_disk: [^[:cntrl:]]*' "$work/console.log" || true
grep -ao 'debug-log: [^[:cntrl:]]*' "$work/console.log" || true
echo "$observed"

# The devices are left out of the comparison, since the probe order picks them.
expected='guest: scsi mode 0 exit 0
guest: scsi mode 1 exit 0
guest: sata mode 0 exit 0
guest: sata mode 1 exit 0
guest: sata-generic mode 0 exit 0
guest: virtio-blk mode 0 exit 3
guest: debug allow_restart before the stop: 0
guest: debug state exit 0: active
guest: debug state commands: 85 a1 03
guest: debug stop exit 0
guest: debug stop commands: 85 a1 03 35 1b 1b
guest: debug allow_restart after the stop: 1
guest: debug stopped-state exit 0: stopped
guest: debug stopped-state commands: 85 a1 03
guest: debug second-stop exit 0
guest: debug second-stop commands: 85 a1 03
guest: debug stopped-read exit 0
guest: debug stopped-read started by the kernel: yes
guest: debug read-state exit 0: active
guest: debug read-state commands: 85 a1 03
guest: debug stop-again exit 0
guest: debug stop-again commands: 85 a1 03 35 1b 1b
guest: debug start exit 0
guest: debug start commands: 1b
guest: debug started-state exit 0: active
guest: debug started-state commands: 85 a1 03
guest: debug started-read exit 0
guest: debug started-read started by the kernel: no
guest: restricted debug without the rule: mode 0 exit 6, then active
guest: restricted debug without the rule: read exit 0, then active
guest: restricted debug with the rule: mode 0 exit 0, then stopped
guest: restricted debug with the rule: read exit 0, then active
guest: restricted mode 0 exit 0
guest: restricted mode 0 exit 0
guest: restricted mode 0 exit 2
guest: restricted sata-generic mode 0 exit 0
guest: restricted write to / exit 1
guest: restricted write to /tmp exit 0
guest: the restricted write reached the system /tmp
guest: done'
if [ "$status" -ne 0 ] || [ "$(echo "$observed" | sed 's/ (.*)$//' | sort)" != "$(echo "$expected" | sort)" ]; then
  echo "FAIL: the guest did not report the expected results; its console ends:" >&2
  tail -n 40 "$work/console.log" >&2
  exit 1
fi
# The refusals are the limits' own: the device group's, not a missing node, and the read-only
# mount's, not a missing permission.
for refusal in 'sg_ioctl_disk: /dev/vda: cannot open: Operation not permitted' \
  'touch: /restricted: Read-only file system' \
  ': not stopped, no restart on access: allow_restart: Permission denied'; do
  if ! grep -aqF "$refusal" "$work/console.log"; then
    echo "FAIL: the guest did not say \"$refusal\"" >&2
    exit 1
  fi
done

# The emulated disks executed what the tool sent, in the order sent: stop, start, the SATA disk's
# stop by its generic node, then the restricted stops by the disk node and the generic node.
# Each stop is the state query, the cache flush, then the stop. The SCSI disk rejects ATA
# PASS-THROUGH (16) and (12) (85h, A1h), answers REQUEST SENSE (03h), and gets SYNCHRONIZE CACHE
# (35h) and START STOP UNIT (1Bh) into the standby power condition (30h in byte 4), which it
# takes; the tool starts it with START STOP UNIT as well (START, 01h). The SATA disk
# answers CHECK POWER MODE (E5h) and gets FLUSH CACHE (E7h) and STANDBY IMMEDIATE (E0h); its
# start is the kernel's translation of START STOP UNIT, READ VERIFY (40h). Of the SCSI disk's
# commands only those the tool sends are kept; the kernel sends its own at boot and power-off
# (where it adds a SYNCHRONIZE CACHE, and a FLUSH CACHE and a STANDBY IMMEDIATE on SATA).
scsi_commands=$(awk '$1 == "scsi_req_parsed" {
    for (i = 2; i < NF; i++) if ($i == "command") code = $(i + 1) + 0
    if (code == 133 || code == 161 || code == 3 || code == 53 || code == 27) printf "%02x ", code
  }' "$work/trace.log")
power_fields=$(awk '$1 == "scsi_disk_new_request" && $6 == "0x1b" { printf "%s ", $10 }' \
  "$work/trace.log")
ata_commands=$(sed -n 's/^ide_exec_cmd .* cmd \(0x[0-9a-f]*\)$/\1/p' "$work/trace.log" | tr '\n' ' ')
echo "emulated SCSI disk: $scsi_commands(START STOP UNIT byte 4: $power_fields);" \
  "emulated SATA disk: ATA $ata_commands"
scsi_stop='85 a1 03 35 1b '
sata_stop='0xe5 0xe7 0xe0 '
if [[ $scsi_commands != *"$scsi_stop"'1b '"$scsi_stop"* ]] || [ "$power_fields" != '0x30 0x01 0x30 ' ] ||
  [[ $ata_commands != *"$sata_stop"'0x40 '"$sata_stop$sata_stop$sata_stop"* ]]; then
  echo "FAIL: the commands did not reach the emulated disks in the tool's order" >&2
  exit 1
fi
