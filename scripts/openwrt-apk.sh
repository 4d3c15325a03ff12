# SPDX-License-Identifier: MIT
# shellcheck shell=bash
# What an OpenWrt tree that makes .apk packages (CONFIG_USE_APK=y) needs beyond an .ipk build,
# without fetching anything at build time: sourced by scripts/check-openwrt, whose in_tree
# (run in the tree as its builder), step (a logged step of the tree's), die and force (make's
# FORCE=1 for a root-owned tree that refuses root, or nothing) it uses.
#   apk_sources TREE APK_TOOLS_GIT  the sources of the host apk and of Lua into TREE/dl, as
#                                   OpenWrt's download step names and packs them, hashes checked
#   apk_host_tool TREE              TREE/staging_dir/host/bin/apk, built by OpenWrt, with
#                                   Debian's host tools in place of OpenWrt's tools/
#   unpack_apk APK FOLDER           FOLDER/CONTROL, FOLDER/root and FOLDER/FILES of a package,
#                                   as check-openwrt's unpack gives them for an .ipk
# apk_sources and apk_host_tool run after `make defconfig` (which builds the tree's mkhash).

openwrt_apk_scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# TREE PACKAGE_DIR VARIABLE...: the values OpenWrt gives the variables in a package's Makefile,
# one a line.
openwrt_apk_value() {
  local tree=$1 dir=$2
  shift 2
  in_tree make -s -C "$dir" TOPDIR="$tree" "${@/#/val.}"
}

# TREE: a zstd of the version OpenWrt's tools/zstd builds, as TREE/staging_dir/host/bin/zstd,
# where OpenWrt's own would be. Its packed sources are compared byte for byte with the hashes
# of its recipes, and zstd's output at a level differs from one release to another (1.5.4's is
# not 1.5.7's). The host's zstd serves if it is that version; otherwise the CLI is built from
# Debian's source of it (suite OPENWRT_ZSTD_SUITE, trixie unless set), once, in the cache.
openwrt_apk_zstd() {
  local tree=$1 wanted host folder orig build cli
  wanted=$(sed -n 's/^PKG_VERSION:=//p' "$tree/tools/zstd/Makefile")
  [ -n "$wanted" ] || die "no PKG_VERSION in $tree/tools/zstd/Makefile"
  host=$(zstd --version 2>/dev/null || true)
  if [[ $host == *" v$wanted,"* ]]; then
    cli=$(command -v zstd)
  else
    cli=${XDG_CACHE_HOME:-$HOME/.cache}/spin_down_watch/zstd-$wanted/zstd
    if [ ! -x "$cli" ]; then
      folder=$("$openwrt_apk_scripts/fetch-debian-package" --source libzstd \
        "${OPENWRT_ZSTD_SUITE:-trixie}") || die "no Debian source of zstd"
      orig=("$folder"/libzstd_"$wanted"[+.]*orig.tar.*)
      [ -f "${orig[0]}" ] ||
        die "Debian's zstd in $folder is not $wanted, the version of the tree's tools/zstd"
      echo "openwrt-apk: building zstd $wanted from Debian's source (about 30 s)"
      build=$(mktemp -d)
      tar -xf "${orig[0]}" -C "$build" --strip-components=1
      # As OpenWrt's tools/zstd builds it: threads, no other compressors.
      nice make -s -C "$build/programs" -j2 zstd BACKTRACE=0 HAVE_THREAD=1 HAVE_ZLIB=0 \
        HAVE_LZMA=0 HAVE_LZ4=0 >"$build/make.log" 2>&1 ||
        die "building zstd failed (its output: $build/make.log)"
      mkdir -p "${cli%/*}"
      cp "$build/programs/zstd" "$cli.new"
      mv "$cli.new" "$cli"
      rm -rf "$build"
    fi
    [[ $("$cli" --version) == *" v$wanted,"* ]] || die "$cli is not zstd $wanted"
  fi
  # A copy, so the tree's builder needs no way into this user's cache; never written through a
  # link an earlier run left (it could be the host's zstd).
  in_tree mkdir -p staging_dir/host/bin
  in_tree rm -f staging_dir/host/bin/zstd
  in_tree sh -c 'cat >"$1" && chmod 0755 "$1"' sh staging_dir/host/bin/zstd <"$cli"
}

apk_sources() {  # TREE APK_TOOLS_GIT
  local tree=$1 git=$2 values lua_file lua_hash folder orig apk_file apk_hash apk_version
  [ -f "$tree/package/system/apk/Makefile" ] || die "no package/system/apk in $tree"
  git --git-dir="$git" rev-parse --verify -q HEAD >/dev/null ||
    die "$git is not a git repository"
  in_tree mkdir -p dl

  # Lua 5.1.5 for lua/host: Debian's upstream tarball, which is lua.org's, checked against
  # the recipe's hash before it goes where OpenWrt's download would put it.
  values=$(openwrt_apk_value "$tree" package/utils/lua PKG_SOURCE PKG_HASH)
  { read -r lua_file; read -r lua_hash; } <<<"$values"
  folder=$("$openwrt_apk_scripts/fetch-debian-package" --source lua5.1) ||
    die "no Debian source of lua5.1"
  orig=("$folder"/lua5.1_"${lua_file#lua-}")
  orig=("${orig[0]%.tar.*}".orig.tar.*)
  [ -f "${orig[0]}" ] || die "Debian's lua5.1 in $folder has no upstream tarball for $lua_file"
  [ "$(sha256sum <"${orig[0]}")" = "$lua_hash  -" ] ||
    die "${orig[0]} is not $lua_file: its sha256 is not the recipe's $lua_hash"
  in_tree sh -c 'cat >"$1.new" && mv "$1.new" "$1"' sh "dl/$lua_file" <"${orig[0]}"
  echo "openwrt-apk: dl/$lua_file from Debian's lua5.1, sha256 as the recipe's"

  # apk-tools: OpenWrt's own git download, from the local repository, packs and checks it.
  # Any network fetch fails at once (the download tool is false) and the step falls back to
  # the clone. Under root tar keeps the modes of git archive's files (0664) where OpenWrt's
  # builders, not root, get 0644, so the extraction takes the umask, 022.
  openwrt_apk_zstd "$tree"
  values=$(openwrt_apk_value "$tree" package/system/apk PKG_SOURCE PKG_MIRROR_HASH \
    PKG_SOURCE_VERSION)
  { read -r apk_file; read -r apk_hash; read -r apk_version; } <<<"$values"
  git --git-dir="$git" cat-file -e "$apk_version^{commit}" 2>/dev/null ||
    die "$git has no commit $apk_version, the one package/system/apk builds"
  echo "openwrt-apk: packing dl/$apk_file from $git with OpenWrt's download step (some seconds)"
  # shellcheck disable=SC2154 # force is check-openwrt's
  step apk-download sh -c 'umask 022 && exec make "$@"' make ${force[@]+"${force[@]}"} \
    package/system/apk/download \
    PKG_SOURCE_URL="$git" TAR="tar --no-same-permissions" CONFIG_DOWNLOAD_TOOL_CUSTOM=false V=s
  [ "$(sha256sum <"$tree/dl/$apk_file")" = "$apk_hash  -" ] ||
    die "dl/$apk_file does not have the recipe's sha256 $apk_hash"
  echo "openwrt-apk: dl/$apk_file has the recipe's sha256 (PKG_MIRROR_HASH)"
}

apk_host_tool() {  # TREE
  local tree=$1 tool path interpreter started=$SECONDS
  "$openwrt_apk_scripts/install-deps" meson pkgconf libssl-dev zlib1g-dev cmake python3 \
    libdeflate-tools ||
    die "the host apk's build dependencies are missing"
  # What OpenWrt's tools/ would leave in staging_dir/host for a meson build: meson as a
  # program that python runs, its native and cross files, pkg-config behind OpenWrt's wrapper
  # (which points the packages' prefixes into the staging folders), sed and cmake, and
  # libdeflate's gzip, which unpacks the .tar.gz sources (Lua's).
  in_tree mkdir -p staging_dir/host/bin staging_dir/host/lib/meson
  # Debian's meson runs under Debian's python, whose modules it is, whichever python3 the tree
  # linked from PATH runs meson.py.
  interpreter=$(sed -n '1s/^#! *//p' /usr/bin/meson)
  [ -x "$interpreter" ] || die "/usr/bin/meson names no interpreter that runs"
  # Written anew, never through a link an earlier run left (it could be the host's meson).
  in_tree rm -f staging_dir/host/bin/meson.py staging_dir/host/bin/pkg-config
  printf 'import os, sys\nos.execv("%s", ["%s", "/usr/bin/meson"] + sys.argv[1:])\n' \
    "$interpreter" "$interpreter" | in_tree tee staging_dir/host/bin/meson.py >/dev/null
  in_tree cp tools/meson/files/openwrt-cross.txt.in tools/meson/files/openwrt-native.txt.in \
    staging_dir/host/lib/meson/
  in_tree ln -sf "$(command -v pkgconf)" staging_dir/host/bin/pkg-config.real
  in_tree install -m 0755 tools/pkgconf/files/pkg-config staging_dir/host/bin/pkg-config
  for tool in sed cmake libdeflate-gzip; do
    path=$(command -v "$tool") || die "$tool is missing"
    in_tree ln -sf "$path" "staging_dir/host/bin/$tool"
  done
  # Lua first, as HOST_BUILD_DEPENDS asks (NO_DEPS keeps tools/ out), from dl/.
  echo "openwrt-apk: building Lua and apk for the host (about a minute)"
  # shellcheck disable=SC2154 # force is check-openwrt's
  step lua-host nice make ${force[@]+"${force[@]}"} package/utils/lua/host/compile NO_DEPS=1 -j2 V=s
  step apk-host nice make ${force[@]+"${force[@]}"} package/system/apk/host/compile NO_DEPS=1 -j2 V=s
  in_tree staging_dir/host/bin/apk --version || die "the host apk does not run"
  echo "openwrt-apk: the host apk built in $((SECONDS - started)) s"
}

# APK FOLDER: the package's fields in FOLDER/CONTROL as an .ipk's control file names them
# (Package, Version, Depends, License, Maintainer, Architecture), its files in FOLDER/root, and
# "MODE OWNER PATH" of each file (no folders; links and devices too) in FOLDER/FILES, sorted
# by path, as tar shows them for an .ipk. Depends is apk's list (which apk keeps sorted, with
# its own spelling: so:libfoo.so.1, name>=1.0) joined by ", ". The tree's
# host apk reads it ($tree/staging_dir/host/bin/apk, or OPENWRT_APK). The files include what
# OpenWrt adds to every package: /lib/apk/packages/NAME.list.
unpack_apk() {
  local apk=${OPENWRT_APK:-$tree/staging_dir/host/bin/apk} dump
  mkdir -p "$2/root"
  dump=$("$apk" adbdump --format yaml "$1") || die "apk adbdump $1 failed"
  "$apk" extract --allow-untrusted --no-chown --destination "$2/root" "$1" >/dev/null ||
    die "apk extract $1 failed"
  awk -v control="$2/CONTROL" -v files="$2/FILES" '
    function unquote(value) {
      if (value ~ /^".*"$/) { value = substr(value, 2, length(value) - 2); gsub(/\\"/, "\"", value) }
      if (value ~ /^\047.*\047$/) {
        value = substr(value, 2, length(value) - 2); gsub(/\047\047/, "\047", value)
      }
      return value
    }
    # An octal mode as ls and tar show it, with setuid, setgid and sticky over the x bits.
    function modes(octal, type,    value, i, text, bit) {
      value = 0
      for (i = 1; i <= length(octal); i++) value = value * 8 + substr(octal, i, 1)
      text = type
      for (i = 0; i < 9; i++) {
        bit = 2 ^ (8 - i)
        text = text (int(value / bit) % 2 ? substr("rwxrwxrwx", i + 1, 1) : "-")
      }
      if (int(value / 2048) % 2) text = special(text, 4, "s")
      if (int(value / 1024) % 2) text = special(text, 7, "s")
      if (int(value / 512) % 2) text = special(text, 10, "t")
      return text
    }
    function special(text, at, letter) {
      if (substr(text, at, 1) != "x") letter = toupper(letter)
      return substr(text, 1, at - 1) letter substr(text, at + 1)
    }
    function flush_file() {
      if (file != "") {
        print modes(mode, type) " " user "/" group " /" dir (dir == "" ? "" : "/") file >files
      }
      file = ""
    }
    # By indentation: info: (the fields, lists as "- " items), paths: (each folder with an
    # acl: and its files:, each file with its acl: and, for all but regular files, a target:
    # whose second byte is the file type of st_mode).
    /^[a-z]/ { section = $1; sub(/:.*/, "", section); list = ""; next }
    section == "info" && /^  [a-z-]+:/ {
      key = $1; sub(/:$/, "", key); list = ""
      value = $0; sub(/^  [a-z-]+: */, "", value); sub(/ *#.*$/, "", value)
      if (value == "") list = key; else info[key] = unquote(value)
      next
    }
    section == "info" && list != "" && /^    - / {
      value = $0; sub(/^    - /, "", value)
      info[list] = (list in info ? info[list] ", " : "") unquote(value)
      next
    }
    section != "paths" { next }
    /^  - / { flush_file(); dir = ""; infiles = 0 }
    /^  - name: / { dir = unquote(substr($0, 11)); next }
    /^    files:/ { infiles = 1; next }
    infiles && /^      - name: / {
      flush_file(); file = unquote(substr($0, 15)); mode = "0644"; type = "-"
      user = "root"; group = "root"
      next
    }
    file == "" { next }
    /^          mode: / { mode = $2 }
    /^          user: / { user = unquote($2) }
    /^          group: / { group = unquote($2) }
    /^        target: / {
      kind = substr($2, 3, 1)
      type = kind == "a" ? "l" : kind == "2" ? "c" : kind == "6" ? "b" : kind == "1" ? "p" : "-"
    }
    END {
      flush_file()
      print "Package: " info["name"] >control
      print "Version: " info["version"] >control
      print "Depends: " info["depends"] >control
      print "License: " info["license"] >control
      print "Maintainer: " info["maintainer"] >control
      print "Architecture: " info["arch"] >control
    }' <<<"$dump"
  touch "$2/FILES"
  sort -k3 -o "$2/FILES" "$2/FILES"
}
