#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks that the version the build is given (the project's, from CMakeLists.txt) is the one
# that the stop tool prints, that both manual pages' headers name, and that the changelog's
# latest release has:
#   version_test.sh VERSION TOOL MAN_PAGE... CHANGELOG
# The Debian changelog's latest entry and the Yocto recipe's file name carry it too.
set -euo pipefail
# shellcheck source=scripts/on-failure.sh
. "$(dirname "$0")/../../scripts/on-failure.sh"
readonly version=$1 tool=$2
repo=$(cd "$(dirname "$0")/../.." && pwd)
shift 2
pages=("${@:1:$#-1}")
changelog=${*: -1}
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "the project's version '$version' is not X.Y.Z"

status=0
out=$("$tool" --version 2>&1) || status=$?
if [ "$status" -ne 0 ] || [ "$out" != "sg_ioctl_disk $version" ]; then
  fail "sg_ioctl_disk --version: status $status, output '$out'"
fi
[[ $("$tool" --help) == *--version* ]] || fail "sg_ioctl_disk --help does not name --version"

# .TH TITLE SECTION DATE SOURCE MANUAL: the source is "spin_down_watch VERSION".
for page in "${pages[@]}"; do
  source=$(sed -n 's/^\.TH [^ ]* 8 [0-9-]* "\([^"]*\)" .*/\1/p' "$page")
  [ "$source" = "spin_down_watch $version" ] ||
    fail "$page: the header's source is '$source', not 'spin_down_watch $version'"
done

# The first release heading below Unreleased: "## [X.Y.Z] - YYYY-MM-DD".
latest=$(grep -m1 -E '^## \[[0-9]' "$changelog" || true)
[[ $latest =~ ^"## [$version] - "[0-9]{4}-[0-9]{2}-[0-9]{2}$ ]] ||
  fail "$changelog: the latest release is '$latest', not $version"
grep -qx '## \[Unreleased\]' "$changelog" || fail "$changelog has no Unreleased section"

# "spin-down-watch (VERSION) DISTRIBUTION; urgency=..." heads the Debian changelog; its first
# line is read alone, so that an older entry cannot stand in for it.
debian_changelog=$repo/packaging/debian/changelog
IFS= read -r debian_latest <"$debian_changelog" || true
[[ $debian_latest =~ ^"spin-down-watch ($version) "[a-z-]+"; urgency="[a-z]+$ ]] ||
  fail "$debian_changelog: the latest entry is '$debian_latest', not $version"

# The Yocto recipe's version is its file name's.
recipes=$(cd "$repo/packaging/yocto" && echo meta-spin-down-watch/recipes-*/*/spin-down-watch_*.bb)
[ "$recipes" = "meta-spin-down-watch/recipes-support/spin-down-watch/spin-down-watch_$version.bb" ] ||
  fail "the Yocto recipe is $recipes, not spin-down-watch_$version.bb"

[ "$failures" -eq 0 ] || exit 1
echo "PASS"
