# SPDX-License-Identifier: MIT
# shellcheck shell=bash
# Sourced by the tests that boot Debian's own amd64 kernel under QEMU (software emulation only):
#   guest_kernel REPO                     fetches the kernel that linux-image-amd64 points at
#                                         today, unpacked, never installed, and sets root (its
#                                         folder), modules and kernel_version;
#   guest_modules DEST NAME...            copies each module NAME into DEST after the modules
#                                         it depends on, as its own .modinfo section names them,
#                                         and sets load_order to the files in loading order;
#   run_guest INITRAMFS CONSOLE [OPTION...]  boots the kernel with that initramfs and the
#                                         console in CONSOLE (170 s at the most), with more of
#                                         QEMU's options; the guest powers off.
guest_kernel() {
  local image
  image=$("$1/scripts/fetch-debian-package" --dependency linux-image-amd64 linux-image-)
  root=$("$1/scripts/fetch-debian-package" "$image")
  modules=$(echo "$root"/lib/modules/*)
  kernel_version=$(basename "$modules")
}

guest_modules() {
  local dest=$1 path name
  shift
  declare -gA module_path=() module_loaded=()
  load_order=()
  while read -r path; do
    name=$(basename "$path" .ko)
    module_path[${name//-/_}]=$path
  done < <(find "$modules/kernel" -name '*.ko')
  for name in "$@"; do
    add_module "$name" "$dest"
  done
}
add_module() {  # NAME DEST
  local name=${1//-/_} dependency
  [ -n "${module_loaded[$name]:-}" ] && return
  module_loaded[$name]=1
  for dependency in $(tr '\0' '\n' <"${module_path[$name]}" | sed -n 's/^depends=//p' | tr , ' '); do
    add_module "$dependency" "$2"
  done
  cp "${module_path[$name]}" "$2/"
  load_order+=("$(basename "${module_path[$name]}")")
}

run_guest() {
  local initramfs=$1 console=$2
  shift 2
  timeout 170 qemu-system-x86_64 -accel tcg -m 256M -nodefaults -no-user-config -nographic \
    -no-reboot -serial "file:$console" -monitor none \
    -kernel "$root/boot/vmlinuz-$kernel_version" -initrd "$initramfs" \
    -append "console=ttyS0 panic=-1 loglevel=4" "$@"
}
