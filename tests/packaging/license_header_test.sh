#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Every tracked source, script and packaging file names its license near its top (after a
# shebang or Buildroot's banner): an SPDX-License-Identifier line for MIT, the LICENSE file's.
#   license_header_test.sh REPOSITORY
set -euo pipefail
# shellcheck source=scripts/on-failure.sh
. "$(dirname "$0")/../../scripts/on-failure.sh"
repo=${1:?usage: license_header_test.sh REPOSITORY}
grep -qx 'MIT License' "$repo/LICENSE" || { echo "FAIL: LICENSE is not the MIT license"; exit 1; }
missing=()
while IFS= read -r file; do
  case $file in
    *.md | LICENSE | .gitignore | tests/fuzz/corpus/*) continue ;;
    # Formats that allow no comment: the copyright file names the license instead.
    packaging/debian/changelog | packaging/debian/source/format) continue ;;
  esac
  [[ $(head -n 8 "$repo/$file") == *'SPDX-License-Identifier: MIT'* ]] || missing+=("$file")
done < <(git -C "$repo" ls-files)
if [ ${#missing[@]} -gt 0 ]; then
  echo "FAIL: no SPDX-License-Identifier: MIT line at the top of:"
  printf '  %s\n' "${missing[@]}"
  exit 1
fi
echo "ok: every source, script and packaging file carries its license line"
