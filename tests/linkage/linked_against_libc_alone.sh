#!/usr/bin/env bash
# Checks that a shipped program needs the C library alone at run time:
#   linked_against_libc_alone.sh READELF PROGRAM dynamic|static
# dynamic: libc.so.6 is its only NEEDED entry (the loader comes in as the interpreter);
# static: it has neither an interpreter nor a dynamic section.
set -euo pipefail
readelf=$1 program=$2 linkage=$3

needed=$("$readelf" -dW "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p' | tr '\n' ' ')
interpreter=$("$readelf" -lW "$program" |
  sed -n 's/.*Requesting program interpreter: \(.*\)\]$/\1/p')
case $linkage in
  dynamic)
    [ "$needed" = "libc.so.6 " ] || { echo "FAIL: $program needs: $needed"; exit 1; }
    [ -n "$interpreter" ] || { echo "FAIL: $program has no interpreter"; exit 1; }
    ;;
  static)
    [ -z "$needed$interpreter" ] ||
      { echo "FAIL: $program is not static: needs '$needed', interpreter '$interpreter'"; exit 1; }
    if "$readelf" -dW "$program" | grep -q '(NULL)'; then
      echo "FAIL: $program has a dynamic section"
      exit 1
    fi
    ;;
  *) echo "usage: $0 READELF PROGRAM dynamic|static" >&2; exit 2 ;;
esac
echo "ok: $program: ${needed:-static}"
