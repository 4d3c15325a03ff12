#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Two rules for every bash script in the tree, checked over the tracked files:
# - a script under `set -e` sources scripts/on-failure.sh, so the command that ends it is named;
# - no pipeline ends in a reader that stops early (head, grep -q or -m, awk's exit outside END,
#   sed's q): under pipefail the writer then dies of SIGPIPE, or not, as the timing falls.
#   shell_scripts_test.sh REPOSITORY
set -euo pipefail
# shellcheck source=scripts/on-failure.sh
. "$(dirname "$0")/../../scripts/on-failure.sh"
repo=$1
cd "$repo"
if ! files=$(git ls-files scripts tests .ci packaging 2>/dev/null); then
  echo "SKIP: not a git checkout"
  exit 77
fi
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

early_reader='[^|]\|[[:space:]]*(head\b|grep[[:space:]]+(-[[:alnum:]]*[qm]|.*[[:space:]]-m)|sed[[:space:]][^|]*[;{/[:digit:][:space:]]q([[:space:];}'"'"']|$)|awk[[:space:]]+[^|]*\bexit\b)'
while IFS= read -r file; do
  first=$(head -n 1 "$file" | tr -d '\0')
  [[ $first == '#!'*bash* || ( $file == *.sh && $first != '#!'* ) ]] || continue
  content=$(<"$file")
  if [[ $content =~ (^|$'\n')set\ -e && $content != *scripts/on-failure.sh* ]]; then
    fail "$file runs under set -e without scripts/on-failure.sh"
  fi
  # Continued lines are joined, so a pipeline is one line; END blocks read to the end.
  pipelines=$(awk '{ line = line $0 } /(\||\\)[[:space:]]*$/ { next } { print line; line = "" }' \
    <<<"$content" | sed 's/END *{[^}]*exit[^}]*}//')
  while IFS= read -r pipeline; do
    [[ $pipeline =~ ^[[:space:]]*# ]] || fail "$file: a pipeline ends early: $pipeline"
  done < <(grep -E "$early_reader" <<<"$pipelines" || true)
done <<<"$files"

[ "$failures" -eq 0 ] || exit 1
echo "PASS"
