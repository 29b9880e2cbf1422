#!/usr/bin/env bash
# Builds the file that goes on the panel: libSerivane.so.1 for an ARM926EJ-S (ARMv5TE, soft-float
# EABI) running uClibc-ng or uClibc, Qt 5 and the C++ run time of gcc 4.9 or later.
#
#   scripts/build-panel.sh      ->  build-panel/libSerivane.so.1, libSerivane.so.1.debug,
#                                   vane-loadcheck, serivane-panel-<version>-armv5te-uclibc.tar.gz
#
# The sources are compiled as for the armel test build (scripts/build-arm.sh), plus
# -fno-sized-deallocation (cmake/toolchain-armel-panel.cmake); the objects are then linked against
# uClibc-ng (built from Debian's uclibc-source, scripts/panel/build-uclibc.sh) instead of glibc
# (scripts/panel/link.sh). The results must pass scripts/panel/check-elf.sh (loader-visible
# properties) and scripts/panel/check-imports.sh (the declared floor, scripts/panel/floor.conf).
# scripts/panel/prove-load.sh then loads them under uClibc-ng's loader in qemu.
#
#   VANE_PANEL_BUILD_DIR  output folder (default build-panel in the source tree)
#   VANE_ARMEL_SYSROOT    armel sysroot (default /opt/vane-armel-sysroot), see scripts/setup-arm.sh
#   VANE_UCLIBC_CACHE     where uClibc-ng builds are kept (default /opt/vane-uclibc-ng)
set -euo pipefail

src=$(cd "$(dirname "$0")/.." && pwd)
out=${VANE_PANEL_BUILD_DIR:-$src/build-panel}
export VANE_ARMEL_SYSROOT=${VANE_ARMEL_SYSROOT:-/opt/vane-armel-sysroot}
start=$SECONDS

# Cross compiler, qemu-arm and the armel Qt sysroot; the host's build tools and moc; uClibc-ng's
# source and the armel kernel headers; the Qt documentation that check-imports.sh --suggest reads.
bash "$src/scripts/setup-arm.sh"
bash "$src/scripts/deps.sh" uclibc-source linux-libc-dev-armel-cross xz-utils python3 \
  qtbase5-doc-html qtserialport5-doc-html

uclibc=$("$src/scripts/panel/build-uclibc.sh" off)
export VANE_UCLIBC_ROOT=$uclibc

objects=$out/objects
cmake -S "$src" -B "$objects" \
  -DCMAKE_TOOLCHAIN_FILE="$src/cmake/toolchain-armel-panel.cmake" \
  -DVANE_ARMEL_SYSROOT="$VANE_ARMEL_SYSROOT" \
  -DVANE_BUILD_NETVANE=OFF -DVANE_BUILD_TOOLS=OFF -DVANE_BUILD_TESTS=OFF -DVANE_BUILD_BENCH=OFF \
  -DVANE_BUILD_LOADCHECK=ON >/dev/null
cmake --build "$objects" -j2 --target Serivane vane-loadcheck

# moc's output revision sets a Qt floor of its own: revision 8 needs Qt 5.12's QMetaObject.
. "$src/scripts/panel/floor.conf"
for f in $(find "$objects" -path '*_autogen*' -name 'moc_*.cpp'); do
  revision=$(grep -A4 'static const uint qt_meta_data_' "$f" | sed -n 's/^ *\([0-9]*\), *\/\/ revision$/\1/p' | sort -n | tail -n1)
  if [ -n "$revision" ] && [ "$revision" -gt "$MOC_REVISION" ]; then
    echo "build-panel: $f is moc output revision $revision; the Qt $QT_FLOOR floor reads up to $MOC_REVISION" >&2
    exit 1
  fi
done

"$src/scripts/panel/link.sh" plugin "$out/libSerivane.so.1" \
  "$objects/rtu/CMakeFiles/Serivane.dir/link.txt" "$uclibc"
"$src/scripts/panel/link.sh" program "$out/vane-loadcheck" \
  "$objects/tools/loadcheck/CMakeFiles/vane-loadcheck.dir/link.txt" "$uclibc"

"$src/scripts/panel/check-elf.sh" "$out/libSerivane.so.1" "$out/vane-loadcheck"
"$src/scripts/panel/check-imports.sh" "$out/libSerivane.so.1" "$out/vane-loadcheck"

# The plug-in compiles the label value record in: it needs no libvanelabel.so.1 beside it.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$objects/CMakeCache.txt")
name=serivane-panel-$version-armv5te-uclibc
rm -rf "${out:?}/$name" "$out/$name.tar.gz"
mkdir "$out/$name"
cp "$out/libSerivane.so.1" "$out/libSerivane.so.1.debug" "$out/vane-loadcheck" "$out/$name/"
sed -e "s/@VERSION@/$version/g" -e "s/@QT_FLOOR@/$QT_FLOOR/g" "$src/scripts/panel/README.panel.txt" >"$out/$name/README.txt"
tar -C "$out" --owner=0 --group=0 -czf "$out/$name.tar.gz" "$name"
rm -rf "${out:?}/$name"
echo "build-panel: $out/$name.tar.gz ($((SECONDS - start)) s)"
