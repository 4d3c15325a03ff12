#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Loads the Buildroot external tree's Config.in with kconfiglib under a stand-in of the
# toolchain options it depends on, as Buildroot's menu would, and checks that it parses
# without a warning and offers the package exactly when the toolchain can build it.
set -euo pipefail
# shellcheck source=scripts/on-failure.sh
. "$(dirname "$0")/../../scripts/on-failure.sh"
tree=$(cd "$(dirname "$0")/../../packaging/buildroot" && pwd)
readonly tree
if ! /usr/bin/python3 -c 'import kconfiglib' 2>/dev/null; then
  echo "SKIP: kconfiglib is not installed (scripts/install-deps python3-kconfiglib)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/Config.in" <<'EOF_KCONFIG'
mainmenu "Stand-in of Buildroot's menu"
config BR2_USE_MMU
	bool "MMU"
config BR2_INSTALL_LIBSTDCPP
	bool "C++"
config BR2_TOOLCHAIN_GCC_AT_LEAST_7
	bool "gcc >= 7"
menu "External options"
source "$BR2_EXTERNAL_SPIN_DOWN_WATCH_PATH/Config.in"
endmenu
EOF_KCONFIG
BR2_EXTERNAL_SPIN_DOWN_WATCH_PATH=$tree /usr/bin/python3 - "$work/Config.in" <<'EOF_PYTHON'
import sys
import kconfiglib

kconf = kconfiglib.Kconfig(sys.argv[1], warn_to_stderr=False)
problems = list(kconf.warnings)
package = kconf.syms["BR2_PACKAGE_SPIN_DOWN_WATCH"]
comment = next(node for node in kconf.node_iter() if node.item == kconfiglib.COMMENT)
toolchain = ["BR2_USE_MMU", "BR2_INSTALL_LIBSTDCPP", "BR2_TOOLCHAIN_GCC_AT_LEAST_7"]

def offered(settings):
    for name, value in settings.items():
        kconf.syms[name].set_value(value)
    return package.visibility == 2, kconfiglib.expr_value(comment.prompt[1]) == 2

cases = [
    ({"BR2_USE_MMU": "y", "BR2_INSTALL_LIBSTDCPP": "y", "BR2_TOOLCHAIN_GCC_AT_LEAST_7": "y"},
     (True, False)),
    ({"BR2_USE_MMU": "y", "BR2_INSTALL_LIBSTDCPP": "n", "BR2_TOOLCHAIN_GCC_AT_LEAST_7": "y"},
     (False, True)),
    ({"BR2_USE_MMU": "y", "BR2_INSTALL_LIBSTDCPP": "y", "BR2_TOOLCHAIN_GCC_AT_LEAST_7": "n"},
     (False, True)),
    ({"BR2_USE_MMU": "n", "BR2_INSTALL_LIBSTDCPP": "y", "BR2_TOOLCHAIN_GCC_AT_LEAST_7": "y"},
     (False, False)),
]
for settings, expected in cases:
    got = offered(settings)
    if got != expected:
        problems.append(f"{settings}: package and comment offered {got}, expected {expected}")
if problems:
    print("FAIL:\n" + "\n".join(problems))
    sys.exit(1)
print("PASS")
EOF_PYTHON
