# SPDX-License-Identifier: MIT
# shellcheck shell=bash
# What the sysroot scripts share, sourced by each: a sysroot is kept outside the source tree,
# keyed by a name and by its recipe (the script, its arguments and this file), so later runs reuse
# it and a changed recipe gets a sysroot of its own; it is filled in a temporary folder beside it,
# next to a scratch folder for sources and builds, and renamed into place only once complete.
# Builds are logged quietly and their log's end is shown when they fail.
sysroot_cache=${XDG_CACHE_HOME:-${HOME:-~}/.cache}/spin_down_watch

sysroot_die() { echo "${0##*/}: $*" >&2; exit 1; }

# sysroot_begin NAME ARGUMENT...: prints the cached sysroot and exits when it is there; otherwise
# sets sysroot (its final path), work (the sysroot being filled) and scratch.
sysroot_begin() {
  local name=$1 recipe
  recipe=$( { cat "$0" "${BASH_SOURCE[0]}"; echo "$@"; } | sha256sum | cut -c1-12)
  sysroot=$sysroot_cache/$name-$recipe
  if [ -f "$sysroot/.complete" ]; then
    echo "$sysroot"
    exit 0
  fi
  mkdir -p "$sysroot_cache"
  work=$(mktemp -d "$sysroot_cache/.$name.XXXXXX")
  scratch=$(mktemp -d "$sysroot_cache/.$name-build.XXXXXX")
  trap 'rm -rf "$work" "$scratch"' EXIT
  sysroot_began=$SECONDS
}

# sysroot_finish: renames the sysroot into place and prints its path. Another run may have
# finished first; its sysroot is as good as this one.
sysroot_finish() {
  touch "$work/.complete"
  if [ ! -f "$sysroot/.complete" ]; then
    rm -rf "$sysroot"
    mv -T "$work" "$sysroot"
  fi
  echo "${0##*/}: made in $((SECONDS - sysroot_began)) s" >&2
  echo "$sysroot"
}

# sysroot_run LOG COMMAND...: runs a build step with its output in scratch/LOG, which goes with
# the scratch folder: a failure shows its end.
sysroot_run() {
  local log=$scratch/$1
  shift
  "$@" >"$log" 2>&1 || { tail -n 40 "$log" >&2; sysroot_die "failed: $* (its output ends above)"; }
}

# sysroot_require FILE|COMMAND...: each must be there.
sysroot_require() {
  local needed
  for needed in "$@"; do
    case $needed in
      */*) [ -e "$needed" ] || sysroot_die "missing $needed" ;;
      *) command -v "$needed" >/dev/null || sysroot_die "missing the command $needed" ;;
    esac
  done
}

# sysroot_kernel_headers TRIPLET: the C library refers to kernel headers; the sysroot carries its
# own copy of the cross compiler's.
sysroot_kernel_headers() {
  local headers=/usr/$1/include
  sysroot_require "$headers/linux/version.h"
  mkdir -p "$work/usr/include"
  cp -r "$headers"/{linux,asm,asm-generic,mtd} "$work/usr/include/"
}

# sysroot_gcc_include COMPILER: the compiler's own headers, which stay when -nostdinc drops the
# rest.
sysroot_gcc_include() {
  echo "$(dirname "$("$1" -print-libgcc-file-name)")/include"
}

# sysroot_gcc_source COMPILER [MEMBER...]: unpacks the sources of the compiler's version from
# Debian's gcc-N-source into scratch (only the members named, if any) and prints their folder.
sysroot_gcc_source() {
  local compiler=$1 version sources
  shift
  version=$("$compiler" -dumpfullversion)
  sources=(/usr/src/gcc-"${version%%.*}"/gcc-"$version"*.tar.xz)
  sysroot_require "${sources[0]}"
  if [ $# -gt 0 ]; then
    tar -xJf "${sources[0]}" -C "$scratch" --wildcards "${@/#/gcc-$version/}"
  else
    tar -xJf "${sources[0]}" -C "$scratch"
  fi
  echo "$scratch/gcc-$version"
}

# sysroot_musl_specs SYSROOT LOADER: the link as musl's own compiler wrapper does it, with the
# sysroot's paths: its start files and C library, crtbegin/crtend and static libgcc (the
# sysroot's own where it has them, else the compiler's), musl's loader as interpreter. The
# position-independent start files serve position-dependent programs as well. Extra libraries
# the C++ library needs follow libgcc when the sysroot has them.
sysroot_musl_specs() {
  local lib=$1/usr/lib loader=$2
  local crt=crtbeginS.o%s crt_end=crtendS.o%s libgcc='libgcc.a%s %:if-exists(libgcc_eh.a%s)'
  if [ -f "$work/usr/lib/libgcc.a" ]; then
    crt=$lib/crtbeginS.o crt_end=$lib/crtendS.o libgcc=$lib/libgcc.a
  fi
  [ ! -f "$work/usr/lib/libfind_object.a" ] || libgcc+=" $lib/libfind_object.a"
  cat >"$work/musl.specs" <<SPECS
*startfile:
%{!shared: $lib/Scrt1.o} $lib/crti.o $crt

*endfile:
$crt_end $lib/crtn.o

*link_libgcc:
-L$lib -L .%s

*libgcc:
$libgcc

*link:
-dynamic-linker $loader -nostdlib %{shared:-shared} %{static:-static} %{rdynamic:-export-dynamic}
SPECS
}
