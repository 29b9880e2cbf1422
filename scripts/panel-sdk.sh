#!/usr/bin/env bash
# Builds the panel SDK from Debian's source packages and prints its folder on the last line:
#
#   scripts/panel-sdk.sh            ->  /opt/vane-panel-sdk/sdk-<key>
#
# The folder holds
#   bin/arm-linux-uclibcgnueabi-{gcc,g++,ar,...}  the C and C++ compiler for the panel (uClibc-ng)
#   sysroot/        uClibc-ng, libstdc++ and libgcc_s built for it, Qt 5 Core/Network/SerialPort,
#                   GoogleTest and libmodbus, as the panel's / and /usr
#   host/bin/       Qt's code generators (moc, rcc) for this machine
#   env.sh          . it: CC, CXX, PKG_CONFIG_LIBDIR, PKG_CONFIG_SYSROOT_DIR, QEMU_LD_PREFIX
#   toolchain.cmake -DCMAKE_TOOLCHAIN_FILE= for CMake
#
# It is made in four stages (scripts/panel/sdk/*.sh), each kept under /opt/vane-panel-sdk and keyed
# by its own script, the files it reads, the versions of the Debian packages it builds from and the
# key of the stage below, so a second call returns at once and a change rebuilds only from the
# stage it touches:
#   toolchain  uClibc-ng (scripts/panel/build-uclibc.sh) and libgcc_s and libstdc++ from gcc-12-source
#   qt         Qt 5 Core and Network from qtbase-opensource-src; Qt SerialPort (see qt.sh)
#   libs       GoogleTest (googletest) and libmodbus (libmodbus source package)
#   sdk        env.sh, toolchain.cmake and the checks of the whole
# Source packages come through apt-get source: a deb-src entry of this script's own
# (/etc/apt/sources.list.d/vane-panel-sdk-src.sources) repeats the machine's own Debian entries.
#
#   VANE_PANEL_SDK_CACHE  where the stages and the SDK are kept (default /opt/vane-panel-sdk)
#   VANE_UCLIBC_CACHE     uClibc-ng builds (default /opt/vane-uclibc-ng), see build-uclibc.sh
set -euo pipefail

src=$(cd "$(dirname "$0")/.." && pwd)
here=$src/scripts/panel/sdk
cache=${VANE_PANEL_SDK_CACHE:-/opt/vane-panel-sdk}
export DEBIAN_FRONTEND=noninteractive
start=$SECONDS

# ---- Debian packages ---------------------------------------------------------------------------
# Build tools, the armel cross compiler (its gcc 12 is the SDK's compiler), gcc's and uClibc-ng's
# sources, the armel kernel headers, GoogleTest's source, qemu for the checks, and what Qt's and
# gcc's builds need on this machine.
host_packages=(build-essential cmake pkg-config python3 perl file xz-utils dpkg-dev patchelf
  g++-arm-linux-gnueabi gcc-12-arm-linux-gnueabi g++-12-arm-linux-gnueabi linux-libc-dev-armel-cross
  uclibc-source gcc-12-source googletest qemu-user libgmp-dev libmpfr-dev libmpc-dev)
# Source packages (apt-get source), and the armel binary package of Qt SerialPort (see qt.sh).
source_packages=(qtbase-opensource-src libmodbus)
armel_packages=(libqt5serialport5 libqt5serialport5-dev)

srclist=/etc/apt/sources.list.d/vane-panel-sdk-src.sources
# The machine's own deb entries for its Debian release (deb822 .sources files and one-line .list
# files alike), as deb-src.
deb_src_entries() {
  local code f
  code=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -e "$f" ] && [ "$f" != "$srclist" ] || continue
    awk -v code="$code" 'BEGIN { RS = ""; ORS = "\n" }
      { deb = 0; rel = 0; out = ""; n = split($0, line, "\n")
        for (i = 1; i <= n; i++) {
          if (line[i] ~ /^#/) continue
          if (line[i] ~ /^Types:/ && line[i] ~ /[ \t]deb([ \t]|$)/) { deb = 1; line[i] = "Types: deb-src" }
          if (line[i] ~ /^Suites:/ && line[i] ~ ("[ \t]" code "([ \t-]|$)")) rel = 1
          if (line[i] ~ /^Enabled:[ \t]*no/) deb = 0
          out = out line[i] "\n" }
        if (deb && rel) print out }' "$f"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -e "$f" ] || continue
    awk -v code="$code" '$1 == "deb" && $0 ~ ("[ \t]" code "([ \t-]|$)") {
        $1 = "deb-src"; printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents:", $2, $3
        for (i = 4; i <= NF; i++) printf " %s", $i; printf "\n\n" }' "$f"
  done
}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
missing=()
for p in "${host_packages[@]}"; do installed "$p" || missing+=("$p"); done
entries=$(deb_src_entries)
if [ -z "$entries" ]; then
  echo "panel-sdk: no Debian entry in the machine's apt sources to take deb-src from" >&2
  exit 1
fi
need_update=0
if [ ! -f "$srclist" ] || [ "$(cat "$srclist")" != "$entries" ]; then
  printf '%s\n' "$entries" >"$srclist"
  need_update=1
fi
dpkg --print-foreign-architectures | grep -qx armel || { dpkg --add-architecture armel; need_update=1; }
apt-cache showsrc qtbase-opensource-src >/dev/null 2>&1 || need_update=1
if [ "$need_update" = 1 ] || [ "${#missing[@]}" -gt 0 ]; then apt-get update -qq; fi
if [ "${#missing[@]}" -gt 0 ]; then
  echo "panel-sdk: installing ${missing[*]}" >&2
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

version_of() { dpkg-query -W -f='${Version}' "$1"; }
source_version() {
  apt-cache showsrc --only-source "$1" | sed -n 's/^Version: //p' | sort -V | tail -n1
}
armel_version() { apt-cache policy "$1:armel" | sed -n 's/^ *Candidate: //p'; }

# ---- stages ------------------------------------------------------------------------------------
# stage NAME INPUT-TEXT: runs scripts/panel/sdk/NAME.sh unless a stage of the same key is kept;
# sets $prev to the stage's folder. Each stage starts from a copy of the one below.
prev=
stage() {
  local name=$1 inputs=$2 key dir
  key=$( { echo "stage $name"; echo "$prev"; cat "$here/$name.sh"; echo "$inputs"; } | sha256sum | cut -c1-12)
  dir=$cache/$name-$key
  if [ ! -f "$dir/.vane-stage" ]; then
    echo "panel-sdk: stage $name -> $dir" >&2
    local t=$SECONDS
    # Built in place (Qt writes its own folder into its CMake and qmake files); the stamp comes last.
    rm -rf "$dir"
    mkdir -p "$dir"
    if [ -n "$prev" ]; then
      cp -a "$prev/." "$dir/"
      rm -f "$dir/.vane-stage"
      # Text files naming the stage below (Qt's CMake, pkg-config and qmake files) name this one.
      grep -rlIZ --fixed-strings "$prev" "$dir" | xargs -0 -r sed -i "s|$prev|$dir|g"
    fi
    VANE_SDK_SRC=$src VANE_SDK_CACHE=$cache bash "$here/$name.sh" "$dir" >&2
    echo "$name $key $((SECONDS - t))" >"$dir/.vane-stage"
    echo "panel-sdk: stage $name built in $((SECONDS - t)) s" >&2
  fi
  prev=$dir
}

mkdir -p "$cache"
stage toolchain "$(cat "$src/scripts/panel/build-uclibc.sh" "$src/scripts/panel/uclibc-ng.config" "$here/cc-wrapper.sh" "$here/env.sh.in" "$here/toolchain.cmake")
uclibc-source $(version_of uclibc-source)
gcc-12-source $(version_of gcc-12-source)
g++-12-arm-linux-gnueabi $(version_of g++-12-arm-linux-gnueabi)
linux-libc-dev-armel-cross $(version_of linux-libc-dev-armel-cross)"
stage qt "$(cat "$here/qt-glue.c")
qtbase-opensource-src $(source_version qtbase-opensource-src)
libqt5serialport5 $(armel_version libqt5serialport5)
libqt5serialport5-dev $(armel_version libqt5serialport5-dev)"
stage libs "googletest $(version_of googletest)
libmodbus $(source_version libmodbus)"
stage sdk "$(cat "$src/scripts/panel-sdk.sh")"

echo "panel-sdk: SDK ready ($(du -sh "$prev" | cut -f1), $((SECONDS - start)) s)" >&2
echo "$prev"
