#!/usr/bin/env bash
# Boots Debian's own amd64 kernel under QEMU (software emulation only) with three disks, a SCSI
# disk on virtio-scsi, a SATA disk on AHCI and a virtio-blk disk, and runs the tool inside the
# guest: it must stop and start the first two and call the third no SG_IO device. QEMU's trace of
# the commands the emulated disks executed shows the stop really reached them. Each disk is
# stopped once more with only the capabilities the service unit keeps (CAP_SYS_RAWIO and
# CAP_FOWNER) and no new privileges, through util-linux's setpriv.
# Usage: kernel_test.sh TOOL
set -euo pipefail
tool=$1
repo=$(cd "$(dirname "$0")/../.." && pwd)
"$repo/scripts/install-deps" qemu-system-x86 cpio util-linux

# The kernel is whatever linux-image-amd64 points at today; unpacked, never installed.
image=$("$repo/scripts/fetch-debian-package" --dependency linux-image-amd64 linux-image-)
root=$("$repo/scripts/fetch-debian-package" "$image")
modules=$(echo "$root"/lib/modules/*)
kernel_version=$(basename "$modules")

work=$(mktemp -d "${TMPDIR:-/tmp}/stop-tool-kernel.XXXXXX")
trap 'rm -rf "$work"' EXIT
initramfs=$work/initramfs
mkdir -p "$initramfs"/{bin,sbin,dev,proc,sys,modules}

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
for applet in sh mount insmod cat seq sleep poweroff; do
  ln -s busybox "$initramfs/bin/$applet"
done

# Each module follows the modules it depends on, as named in its own .modinfo section.
declare -A module_path loaded
while read -r path; do
  name=$(basename "$path" .ko)
  module_path[${name//-/_}]=$path
done < <(find "$modules/kernel" -name '*.ko')
load_order=()
add_module() {
  local name=${1//-/_} dependency
  [ -n "${loaded[$name]:-}" ] && return
  loaded[$name]=1
  for dependency in $(tr '\0' '\n' <"${module_path[$name]}" | sed -n 's/^depends=//p' | tr , ' '); do
    add_module "$dependency"
  done
  cp "${module_path[$name]}" "$initramfs/modules/"
  load_order+=("$(basename "${module_path[$name]}")")
}
for wanted in virtio_pci virtio_scsi virtio_blk sd_mod sg ahci; do add_module "$wanted"; done

cat >"$initramfs/init" <<INIT
#!/bin/sh
mount -t devtmpfs dev /dev
mount -t proc proc /proc
mount -t sysfs sys /sys
for module in ${load_order[*]}; do insmod /modules/\$module || echo "guest: insmod \$module failed"; done
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
# As the service unit runs it: a bounding set of two, nothing inheritable, no new privileges.
for disk in sda sdb; do
  /sbin/setpriv --bounding-set=-all,+sys_rawio,+fowner --inh-caps=-all --no-new-privs \
    /sbin/sg_ioctl_disk /dev/\$disk 0
  echo "guest: restricted mode 0 exit \$? (\$disk)"
done
echo "guest: done"
poweroff -f
INIT
chmod +x "$initramfs/init"
(cd "$initramfs" && find . | cpio -o -H newc --quiet) | gzip -1 >"$work/initramfs.gz"

for disk in scsi sata virtio; do truncate -s 64M "$work/$disk.img"; done
started=$(date +%s)
status=0
timeout 170 qemu-system-x86_64 -accel tcg -m 256M -nodefaults -no-user-config -nographic \
  -no-reboot -serial "file:$work/console.log" -monitor none \
  -kernel "$root/boot/vmlinuz-$kernel_version" -initrd "$work/initramfs.gz" \
  -append "console=ttyS0 panic=-1 loglevel=4" \
  -device virtio-scsi-pci,id=scsi -device scsi-hd,bus=scsi.0,drive=scsi \
  -drive "if=none,id=scsi,format=raw,file=$work/scsi.img" \
  -device ahci,id=ahci -device ide-hd,bus=ahci.0,drive=sata \
  -drive "if=none,id=sata,format=raw,file=$work/sata.img" \
  -device virtio-blk-pci,drive=virtio -drive "if=none,id=virtio,format=raw,file=$work/virtio.img" \
  -trace scsi_req_parsed -trace ide_exec_cmd -D "$work/trace.log" || status=$?
echo "kernel $kernel_version: guest ran $(($(date +%s) - started)) s, qemu exit $status"
observed=$(grep -ao 'guest: [^[:cntrl:]]*' "$work/console.log" || true)
grep -ao 'sg_ioctl_disk: [^[:cntrl:]]*' "$work/console.log" || true
echo "$observed"

# The devices are left out of the comparison, since the probe order picks them.
expected='guest: scsi mode 0 exit 0
guest: scsi mode 1 exit 0
guest: sata mode 0 exit 0
guest: sata mode 1 exit 0
guest: sata-generic mode 0 exit 0
guest: virtio-blk mode 0 exit 3
guest: restricted mode 0 exit 0
guest: restricted mode 0 exit 0
guest: done'
if [ "$status" -ne 0 ] || [ "$(echo "$observed" | sed 's/ (.*)$//' | sort)" != "$(echo "$expected" | sort)" ]; then
  echo "FAIL: the guest did not report the expected results; its console ends:" >&2
  tail -n 30 "$work/console.log" >&2
  exit 1
fi

# The emulated disks executed what the tool sent: START STOP UNIT (1Bh) for the SCSI stop and
# start, and on SATA the kernel's translations, STANDBY IMMEDIATE (E0h) for a stop and READ
# VERIFY (40h) for a start, in the order sent: stop, start, stop, the restricted stop. (At
# power-off the kernel adds a FLUSH CACHE and a STANDBY IMMEDIATE of its own.)
scsi_commands=$(grep -c 'scsi_req_parsed .* command 27 ' "$work/trace.log" || true)
ata_commands=$(sed -n 's/^ide_exec_cmd .* cmd \(0x[0-9a-f]*\)$/\1/p' "$work/trace.log" | tr '\n' ' ')
echo "emulated SCSI disk: START STOP UNIT x$scsi_commands; emulated SATA disk: ATA $ata_commands"
if [ "$scsi_commands" -ne 3 ] || [[ $ata_commands != *"0xe0 0x40 0xe0 0xe0 "* ]]; then
  echo "FAIL: the commands did not reach the emulated disks" >&2
  exit 1
fi
