#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the install steps of the Buildroot (with and without udev) and OpenWrt recipes with GNU
# make, under stand-ins for the little of each build system that they use, and checks what
# lands in the image and what the recipes declare (version, license, license file); and that
# what the Debian package and the Yocto recipe take from the tree is there:
#   recipes_test.sh BUILD_DIR VERSION
# The stand-ins give the variables and the calling convention (Buildroot's $(@D) is the copy
# of the site, made with Buildroot's own rsync command line; OpenWrt's $(1) the package's
# root); the programs come from a real `cmake --install` of BUILD_DIR. The cmake-package and
# cmake.mk steps themselves need the build systems and are not run here.
set -euo pipefail
# shellcheck source=scripts/on-failure.sh
. "$(dirname "$0")/../../scripts/on-failure.sh"
readonly build=$1 version=$2
repo=$(cd "$(dirname "$0")/../.." && pwd)
readonly repo
if ! git -C "$repo" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  echo "SKIP: OpenWrt's recipe copies the tracked files of a git checkout; this is none"
  exit 77
fi
if ! command -v rsync >/dev/null; then
  echo "SKIP: rsync is missing (scripts/install-deps rsync)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*"
  exit 1
}

# Lists the files under a root: path, mode.
contents() { (cd "$1" && find . ! -type d -printf '/%P %m\n' | sort); }

expect_contents() {  # ROOT EXPECTED WHAT
  local actual
  actual=$(contents "$1")
  [ "$actual" = "$2" ] || fail "$3: expected
$2
got
$actual"
}

DESTDIR=$work/installed cmake --install "$build" --prefix /usr >/dev/null

# The recipes install the init scripts with mode 0755 themselves; in the tree no packaging file
# is executable (Buildroot's check-package asks for that).
executable=$(git -C "$repo" ls-files -s packaging | awk '$1 != "100644" {print $4}')
[ -z "$executable" ] || fail "packaging files not of mode 100644 in the tree: $executable"
grep -qx 'MIT License' "$repo/LICENSE" || fail "LICENSE is not the MIT license"

# The site as a developer has it: the tracked files, build folders, a VCS folder, and a source
# folder named like a build folder deeper down.
tracked=$(git -C "$repo" ls-files | sort)
site=$work/site
mkdir "$site"
git -C "$repo" ls-files -z | tar -C "$repo" --null -T - -cf - | tar -C "$site" -xf -
mkdir -p "$site/build/host" "$site/build-mipsel" "$site/.git" "$site/common/build"
touch "$site/build/host/CMakeCache.txt" "$site/build-mipsel/CMakeCache.txt" "$site/.git/HEAD" \
  "$site/common/build/kept"

# Buildroot: the site is the checkout, the init hooks install the script and the unit, and the
# post-install hooks the udev rule where the image has udev.
cat >"$work/buildroot.mk" <<EOF
BR2_EXTERNAL_SPIN_DOWN_WATCH_PATH := $repo/packaging/buildroot
INSTALL := install
TARGET_DIR := $work/buildroot-target
# Buildroot's separator of the hooks' commands (package/pkg-utils.mk).
define sep


endef
include \$(BR2_EXTERNAL_SPIN_DOWN_WATCH_PATH)/external.mk
.PHONY: site fields rsynced \$(SPIN_DOWN_WATCH_SITE)/install
site:
	@echo \$(SPIN_DOWN_WATCH_SITE) \$(SPIN_DOWN_WATCH_SITE_METHOD)
fields:
	@echo "\$(SPIN_DOWN_WATCH_VERSION) \$(SPIN_DOWN_WATCH_LICENSE) \$(SPIN_DOWN_WATCH_LICENSE_FILES)"
# Buildroot's copy of a local site, as its pkg-generic.mk makes it.
RSYNC_VCS_EXCLUSIONS := --exclude .svn --exclude .git --exclude .hg --exclude .bzr --exclude CVS
rsynced:
	rsync -au --chmod=u=rwX,go=rX \$(RSYNC_VCS_EXCLUSIONS) \
		\$(SPIN_DOWN_WATCH_OVERRIDE_SRCDIR_RSYNC_EXCLUSIONS) $site/ $work/buildroot-build
# Buildroot runs the hooks in the package's build folder, the copy of its site.
\$(SPIN_DOWN_WATCH_SITE)/install:
	\$(SPIN_DOWN_WATCH_INSTALL_INIT_SYSV)
	\$(SPIN_DOWN_WATCH_INSTALL_INIT_SYSTEMD)
	\$(foreach hook,\$(SPIN_DOWN_WATCH_POST_INSTALL_TARGET_HOOKS),\$(call \$(hook))\$(sep))
EOF
[ "$(make -s -f "$work/buildroot.mk" site)" = "$repo local" ] ||
  fail "Buildroot site: $(make -s -f "$work/buildroot.mk" site)"
fields=$(make -s -f "$work/buildroot.mk" fields)
[ "$fields" = "$version MIT LICENSE" ] ||
  fail "Buildroot's version, license, license files: $fields (want $version MIT LICENSE)"
make -s -f "$work/buildroot.mk" rsynced
copied=$(cd "$work/buildroot-build" && find . ! -type d -printf '%P\n' | sort)
[ "$copied" = "$(printf '%s\ncommon/build/kept\n' "$tracked" | sort)" ] ||
  fail "Buildroot's copy of the site is not its source files:
$(diff <(echo "$copied") <(printf '%s\ncommon/build/kept\n' "$tracked" | sort))"
rule=$repo/packaging/udev/60-spin_down_watch.rules
init_files="/etc/init.d/S50spin_down_watch 755
/usr/lib/systemd/system/spin_down_watch.service 644"
for has_udev in '' y; do
  target=$work/buildroot-target${has_udev:+-udev}
  make -s -f "$work/buildroot.mk" TARGET_DIR="$target" BR2_PACKAGE_HAS_UDEV=$has_udev \
    "$repo/install" >/dev/null
  expected=$init_files
  [ -z "$has_udev" ] || expected=$(printf '%s\n/lib/udev/rules.d/%s 644' "$expected" "${rule##*/}" | sort)
  expect_contents "$target" "$expected" "Buildroot's files, BR2_PACKAGE_HAS_UDEV='$has_udev'"
  cmp "$target/etc/init.d/S50spin_down_watch" "$repo/packaging/sysvinit/S50spin_down_watch"
done
cmp "$work/buildroot-target-udev/lib/udev/rules.d/${rule##*/}" "$rule"

# OpenWrt: the prepared source is the checkout's tracked files, and each package gets its files.
mkdir "$work/openwrt" "$work/openwrt/include"
cat >"$work/openwrt/rules.mk" <<EOF
INCLUDE_DIR := $work/openwrt/include
INSTALL_DIR := install -d -m0755
INSTALL_BIN := install -m0755
PKG_BUILD_DIR := $work/openwrt-build
PKG_INSTALL_DIR := $work/installed
EOF
: >"$work/openwrt/include/cmake.mk"
cat >"$work/openwrt/include/package.mk" <<EOF
define BuildPackage
install-\$(1):
	\$\$(call Package/\$(1)/install,$work/openwrt-root/\$(1))
endef
prepare:
	\$(Build/Prepare)
fields:
	@echo "\$(PKG_VERSION) \$(PKG_RELEASE) \$(PKG_LICENSE) \$(PKG_LICENSE_FILES)"
maintainer:
	@echo "\$(PKG_MAINTAINER)"
EOF
package_dir=$repo/packaging/openwrt/spin_down_watch
fields=$(make -s -C "$package_dir" TOPDIR="$work/openwrt" fields)
[[ $fields =~ ^"$version "[1-9][0-9]*" MIT LICENSE"$ ]] ||
  fail "OpenWrt's version, release, license, license files: $fields (want $version N MIT LICENSE)"
maintainer=$(make -s -C "$package_dir" TOPDIR="$work/openwrt" maintainer)
[[ $maintainer =~ ^[^\<\>]+\ \<[^\<\>@\ ]+@[^\<\>@\ ]+\>$ ]] ||
  fail "OpenWrt's PKG_MAINTAINER: '$maintainer' (want: Name <address>)"
make -s -C "$package_dir" TOPDIR="$work/openwrt" prepare install-spin_down_watch \
  install-sg_ioctl_disk >/dev/null
expect_contents "$work/openwrt-root/spin_down_watch" "/etc/init.d/spin_down_watch 755
/usr/sbin/spin_down_watch 755" "OpenWrt package spin_down_watch"
expect_contents "$work/openwrt-root/sg_ioctl_disk" "/usr/sbin/sg_ioctl_disk 755" \
  "OpenWrt package sg_ioctl_disk"
[ "$(cd "$work/openwrt-build" && find . ! -type d -printf '%P\n' | sort)" = "$tracked" ] ||
  fail "OpenWrt's prepared source is not the checkout's tracked files"
# A git that refuses the checkout stops the preparation, rather than leaving it empty.
mkdir "$work/refusing"
printf '#!/bin/sh\necho "fatal: detected dubious ownership" >&2\nexit 128\n' >"$work/refusing/git"
chmod +x "$work/refusing/git"
rm -rf "$work/openwrt-build"
if PATH=$work/refusing:$PATH make -s -C "$package_dir" TOPDIR="$work/openwrt" prepare \
  >"$work/refused.log" 2>&1; then
  fail "OpenWrt's preparation went on past a failing git: $(cat "$work/refused.log")"
fi

# Debian and Yocto are built for real only by scripts/build-deb and scripts/check-yocto; here,
# what they take from the tree must be there. Debian's .install files name what cmake --install
# puts in the staging root, each file once over both packages.
debian=$repo/packaging/debian
listed=$(cat "$debian"/*.install)
listed=$(grep -v '^#' <<<"$listed" | sort)
expect_contents "$work/installed" "$(sed 's|^|/|; s|$| 644|' <<<"$listed" |
  sed -E 's|^(/usr/sbin/[^ ]*) 644$|\1 755|')" "what Debian's .install files take"
# The init script, the unit and the udev rule go in under the unit's name, in Debian's rules
# and Yocto's recipe (debhelper names the rule 60-NAME.rules, the tree's name for it).
unit=$repo/packaging/systemd/spin_down_watch.service
init=$repo/packaging/sysvinit/S50spin_down_watch
rules=$(<"$debian/rules")
for taken in "packaging/sysvinit/${init##*/}" "packaging/systemd/${unit##*/}" \
  "--name=spin_down_watch" "packaging/udev/${rule##*/}" "debian/spin-down-watch.spin_down_watch.udev" \
  "dh_installudev --name=spin_down_watch"; do
  [[ $rules == *"$taken"* ]] || fail "Debian's rules do not name $taken"
done
recipe=$(cat "$repo"/packaging/yocto/meta-spin-down-watch/recipes-*/*/spin-down-watch_*.bb)
for taken in "\${S}/packaging/sysvinit/${init##*/}" "\${S}/packaging/systemd/${unit##*/}" \
  "\${S}/packaging/udev/${rule##*/}" "\${D}\${nonarch_base_libdir}/udev/rules.d/${rule##*/}" \
  'INITSCRIPT_NAME = "spin_down_watch"' 'SYSTEMD_SERVICE:${PN} = "spin_down_watch.service"' \
  'LIC_FILES_CHKSUM = "file://LICENSE;md5='"$(md5sum <"$repo/LICENSE" | cut -d' ' -f1)"'"'; do
  [[ $recipe == *"$taken"* ]] || fail "the Yocto recipe does not have $taken"
done
echo "PASS"
