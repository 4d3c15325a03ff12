#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks that a shipped program needs the C library alone at run time:
#   linked_against_libc_alone.sh READELF PROGRAM dynamic|musl[=LOADER]|static [PAGE_SIZE]
# dynamic: libc.so.6 is its only NEEDED entry, but for one case: where the stack protector's
# guard lives in the loader (glibc on MIPS), the program also names its own interpreter, and then
# the guard must be all it takes from there. libstdc++, libgcc_s, libm or anything else fail.
# musl: libc.so is its only NEEDED entry, and its interpreter musl's loader, /lib/ld-musl-*
# (with =LOADER, that one: the loader of a given ABI, /lib/ld-musl-mipsel-sf.so.1).
# static: it has neither an interpreter nor a dynamic section.
# PAGE_SIZE: every loadable segment must be aligned to exactly that many bytes.
set -euo pipefail
# shellcheck source=scripts/on-failure.sh
. "$(dirname "$0")/../../scripts/on-failure.sh"
usage="usage: $0 READELF PROGRAM dynamic|musl[=LOADER]|static [PAGE_SIZE]"
[ $# -ge 3 ] || { echo "$usage" >&2; exit 2; }
readelf=$1 program=$2 linkage=$3 page_size=${4:-}
musl_loader='/lib/ld-musl-*.so.1'
if [[ $linkage == musl=* ]]; then
  musl_loader=${linkage#musl=}
  linkage=musl
fi

needed=$("$readelf" -dW "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p' | sort | tr '\n' ' ')
interpreter=$("$readelf" -lW "$program" |
  sed -n 's/.*Requesting program interpreter: \(.*\)\]$/\1/p')

# The dynamic symbols whose version the program needs from FILE, one per line.
symbols_from() {  # FILE
  local versions
  versions=$("$readelf" -VW "$program" | awk -v file="$1" '
    /File:/ { ours = $0 ~ ("File: " file " ") }
    ours && /Name:/ { print $NF }' | tr '\n' ' ')
  [ -n "$versions" ] || return 0
  "$readelf" --dyn-syms -W "$program" | awk -v versions=" $versions " '
    $8 ~ /@/ && $NF ~ /^\([0-9]+\)$/ {
      index_text = $NF
      gsub(/[()]/, "", index_text)
      if (index(versions, " " index_text " ")) { name = $8; sub(/@.*/, "", name); print name }
    }' | sort -u
}

case $linkage in
  dynamic)
    [ -n "$interpreter" ] || { echo "FAIL: $program has no interpreter"; exit 1; }
    loader=${interpreter##*/}
    if [ "$needed" = "$(printf '%s\n' libc.so.6 "$loader" | sort | tr '\n' ' ')" ] &&
       [ "$loader" != libc.so.6 ]; then
      from_loader=$(symbols_from "$loader" | tr '\n' ' ')
      [ "$from_loader" = "__stack_chk_guard " ] ||
        { echo "FAIL: $program takes from $loader: '$from_loader', not the guard alone"; exit 1; }
    elif [ "$needed" != "libc.so.6 " ]; then
      echo "FAIL: $program needs: $needed"
      exit 1
    fi
    ;;
  musl)
    # shellcheck disable=SC2053 # the loader is a pattern unless one was named
    [[ $interpreter == $musl_loader ]] ||
      { echo "FAIL: $program's interpreter is '$interpreter', not $musl_loader"; exit 1; }
    [ "$needed" = "libc.so " ] || { echo "FAIL: $program needs: $needed"; exit 1; }
    ;;
  static)
    [ -z "$needed$interpreter" ] ||
      { echo "FAIL: $program is not static: needs '$needed', interpreter '$interpreter'"; exit 1; }
    if [[ $("$readelf" -dW "$program") == *'(NULL)'* ]]; then
      echo "FAIL: $program has a dynamic section"
      exit 1
    fi
    ;;
  *) echo "$usage" >&2; exit 2 ;;
esac

if [ -n "$page_size" ]; then
  alignments=$("$readelf" -lW "$program" | awk '$1 == "LOAD" {print $NF}' | sort -u |
    tr '\n' ' ')
  [ "$alignments" = "$(printf '0x%x ' "$page_size")" ] ||
    { echo "FAIL: $program: loadable segments aligned to $alignments, not $page_size"; exit 1; }
fi
echo "ok: $program: ${needed:-static}${page_size:+; pages of $page_size B}"
