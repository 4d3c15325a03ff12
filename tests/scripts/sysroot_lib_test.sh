#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs small sysroot recipes on scripts/sysroot-lib.sh in a cache of the test's own: a sysroot
# is built once per recipe and arguments and then reused, a failed build leaves nothing that a
# later run could take for a sysroot, and the link specs take the sysroot's own libgcc and start
# files when it has them (a soft-float sysroot) and the compiler's otherwise.
#   sysroot_lib_test.sh
set -euo pipefail
# shellcheck source=scripts/on-failure.sh
. "$(dirname "$0")/../../scripts/on-failure.sh"
repo=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CACHE_HOME=$work/cache
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# recipe NAME STEP: a sysroot script whose build is STEP, counted in $work/builds.
recipe() {
  cat >"$work/$1" <<EOS
#!/usr/bin/env bash
set -euo pipefail
. "$repo/scripts/sysroot-lib.sh"
sysroot_begin demo "\$@"
echo built >>"$work/builds"
mkdir -p "\$work/usr/lib"
$2
sysroot_musl_specs "\$sysroot" /lib/ld-musl-demo.so.1
sysroot_finish
EOS
}
builds() { touch "$work/builds" && wc -l <"$work/builds"; }

recipe plain ':'
recipe own_libgcc 'touch "$work/usr/lib/libgcc.a"'
recipe broken 'sysroot_run broken.log false'

first=$(bash "$work/plain" a 2>/dev/null)
again=$(bash "$work/plain" a 2>/dev/null)
other=$(bash "$work/plain" b 2>/dev/null)
[ -f "$first/.complete" ] || fail "no complete sysroot at '$first'"
[ "$again" = "$first" ] || fail "the same recipe gave another sysroot: $again, not $first"
[ "$other" != "$first" ] || fail "other arguments reused the sysroot $first"
[ "$(builds)" -eq 2 ] || fail "$(builds) builds for two distinct recipes"

own=$(bash "$work/own_libgcc" a 2>/dev/null)
[ "$own" != "$first" ] || fail "a changed recipe reused the sysroot $first"
specs=$(cat "$own/musl.specs")
for want in "$own/usr/lib/crtbeginS.o" "$own/usr/lib/crtendS.o" "$own/usr/lib/libgcc.a"; do
  [[ $specs == *"$want"* ]] || fail "the specs of a sysroot with its own libgcc lack $want"
done
[[ $specs != *'libgcc.a%s'* && $specs != *'crtbeginS.o%s'* ]] ||
  fail "the specs of a sysroot with its own libgcc take the compiler's: $specs"
[[ $(cat "$first/musl.specs") == *'libgcc.a%s'* ]] ||
  fail "the specs of a sysroot without libgcc do not take the compiler's"
[[ $specs == *'-dynamic-linker /lib/ld-musl-demo.so.1'* ]] || fail "the specs lack the loader"

if message=$(bash "$work/broken" a 2>&1); then
  fail "a failed build step succeeded"
fi
[[ $message == *"failed: false"* ]] || fail "a failed build step is not named: $message"
leftovers=$(find "$XDG_CACHE_HOME/spin_down_watch" -mindepth 1 -maxdepth 1 -name '.demo*')
[ -z "$leftovers" ] || fail "a failed build left $leftovers"
[ "$(find "$XDG_CACHE_HOME/spin_down_watch" -name .complete | wc -l)" -eq 3 ] ||
  fail "a failed build left a sysroot marked complete"

[ "$failures" -eq 0 ] || exit 1
echo "ok: sysroots are reused per recipe, failed builds leave none, specs take the right libgcc"
