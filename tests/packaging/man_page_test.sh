#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fails on any warning of groff's about a manual page, and checks that man -l renders it:
#   man_page_test.sh PAGE...
set -euo pipefail
# shellcheck source=scripts/on-failure.sh
. "$(dirname "$0")/../../scripts/on-failure.sh"
if ! command -v groff >/dev/null || ! command -v man >/dev/null; then
  echo "SKIP: groff or man is missing (scripts/install-deps groff-base man-db)"
  exit 77
fi
for page in "$@"; do
  warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
  [ -z "$warnings" ] || { printf 'FAIL: %s:\n%s\n' "$page" "$warnings"; exit 1; }
  name=$(basename "$page" .8)
  rendered=$(MANWIDTH=80 man -l "$page" 2>&1)
  if ! grep -q "^${name^^}(8) " <<<"$rendered" || grep -qi 'warning' <<<"$rendered"; then
    printf 'FAIL: man -l %s:\n%s\n' "$page" "$rendered"
    exit 1
  fi
done
echo "PASS"
