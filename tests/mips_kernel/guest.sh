# SPDX-License-Identifier: MIT
# shellcheck shell=bash
# Builds and boots a guest on an emulated Malta board: Debian's own 4kc-malta kernel under
# qemu-system-mipsel with a BusyBox initramfs. Sourced by tests/mips_kernel/run and scripts/bench.
#   guest_prepare WORK INIT APPLET...  fresh tree $guest_root: BusyBox, those applets, INIT as /init
#   guest_add_module NAME              a kernel module and what it depends on
#   guest_boot SECONDS KERNEL_ARGS [QEMU ARGUMENT...]  packs the tree and boots it, the console in
#                                      $guest_work/console.log; the status is qemu's (124: timed out)
guest_scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../scripts" && pwd)

guest_prepare() {
  local applet
  guest_work=$1
  "$guest_scripts/install-deps" qemu-system-mips kmod cpio gzip
  # The kernel metapackage names the versioned package that holds the kernel.
  guest_kernel_package=$("$guest_scripts/fetch-debian-package" --dependency \
    linux-image-4kc-malta:mipsel linux-image-6)
  guest_kernel_root=$("$guest_scripts/fetch-debian-package" "$guest_kernel_package")
  local busybox_root
  busybox_root=$("$guest_scripts/fetch-debian-package" busybox-static:mipsel)
  guest_release=$(basename "$guest_kernel_root"/lib/modules/*)
  guest_modules=$guest_kernel_root/lib/modules/$guest_release

  rm -rf "$guest_work"
  mkdir -p "$guest_work"
  guest_root=$guest_work/root
  mkdir -p "$guest_root"/{bin,dev,proc,sys,tmp,usr/sbin,lib/modules/"$guest_release"}
  cp "$busybox_root/bin/busybox" "$guest_root/bin/"
  for applet in "${@:3}"; do ln -s busybox "$guest_root/bin/$applet"; done
  cp "$2" "$guest_root/init"
  chmod 755 "$guest_root/init"
}

guest_add_module() {  # NAME
  local path dependency target
  path=$(find "$guest_modules/kernel" -name "$1.ko" -print -quit)
  [ -n "$path" ] || { echo "guest: module $1 is not in $guest_kernel_package" >&2; return 1; }
  target=$guest_root/lib/modules/$guest_release/${path#"$guest_modules/"}
  [ -e "$target" ] && return
  mkdir -p "$(dirname "$target")"
  cp "$path" "$target"
  for dependency in $(modinfo -F depends "$path" | tr , ' '); do
    guest_add_module "$dependency"
  done
}

# No KVM: TCG emulates the board. -nodefaults drops the default CD-ROM, network card and VGA.
# Should /init die, panic=1 reboots, which -no-reboot turns into an exit.
guest_boot() {  # SECONDS KERNEL_ARGS [QEMU ARGUMENT...]
  local seconds=$1 arguments=$2 status=0
  shift 2
  if [ -n "$(find "$guest_root/lib/modules/$guest_release" -name '*.ko' -print -quit)" ]; then
    cp "$guest_modules"/modules.builtin* "$guest_modules/modules.order" \
      "$guest_root/lib/modules/$guest_release/"
    depmod -b "$guest_root" "$guest_release"
  fi
  (cd "$guest_root" && find . | cpio -o -H newc -R 0:0 --quiet | gzip -1) \
    >"$guest_work/initramfs.gz"
  timeout "$seconds" qemu-system-mipsel -M malta -m 128 -nodefaults -nographic -no-reboot \
    -serial mon:stdio -kernel "$guest_kernel_root/boot/vmlinuz-$guest_release" \
    -initrd "$guest_work/initramfs.gz" -append "console=ttyS0 quiet panic=1 $arguments" "$@" \
    </dev/null >"$guest_work/console.log" 2>&1 || status=$?
  return "$status"
}
