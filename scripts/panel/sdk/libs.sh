#!/usr/bin/env bash
# SDK stage 3 (run by scripts/panel-sdk.sh on a copy of the Qt stage): GoogleTest and GoogleMock
# from Debian's googletest (its source in /usr/src/googletest), and libmodbus from Debian's
# libmodbus source package, both built with the SDK's compiler and installed into the sysroot.
#
#   libs.sh OUT
set -euo pipefail

out=$1
sysroot=$out/sysroot
work=$(mktemp -d "${TMPDIR:-/tmp}/vane-sdk-libs.XXXXXX")
trap 'rm -rf "$work"' EXIT
export PATH=$out/bin:$PATH
quiet() {
  local name=$1; shift
  if ! "$@" >"$work/$name.log" 2>&1; then tail -n 60 "$work/$name.log" >&2; echo "libs: $name failed" >&2; exit 1; fi
}

echo "libs: GoogleTest"
quiet gtest-configure cmake -S /usr/src/googletest -B "$work/gtest" \
  -DCMAKE_TOOLCHAIN_FILE="$out/toolchain.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_INSTALL_LIBDIR=lib -DBUILD_GMOCK=ON
quiet gtest-make cmake --build "$work/gtest" -j2
quiet gtest-install env DESTDIR="$sysroot" cmake --install "$work/gtest"

echo "libs: libmodbus"
cd "$work"
if id _apt >/dev/null 2>&1; then chown _apt "$work"; fi
quiet modbus-source apt-get source -qq libmodbus
modbus=$(find "$work" -maxdepth 1 -type d -name 'libmodbus-*' | head -n1)
cd "$modbus"
quiet modbus-configure ./configure --host=arm-linux-uclibcgnueabi --build="$(gcc -dumpmachine)" \
  --prefix=/usr --libdir=/usr/lib --disable-static --without-documentation --disable-tests \
  CC=arm-linux-uclibcgnueabi-gcc
quiet modbus-make make -j2
quiet modbus-install make DESTDIR="$sysroot" install
rm -f "$sysroot"/usr/lib/*.la
echo "libs: done"
