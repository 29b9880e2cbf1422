#!/usr/bin/env bash
# SDK stage 2, Qt (run by scripts/panel-sdk.sh on a copy of the toolchain stage):
#
#   - Qt 5 Core and Network from Debian's qtbase-opensource-src (with Debian's patches), cross-built
#     with the SDK's compiler for ARMv5TE soft float: no GUI, widgets, OpenGL, D-Bus, ICU, OpenSSL,
#     GLib or iconv; PCRE2, zlib and double-conversion from Qt's own copies. Installed into the
#     sysroot under /usr (headers in /usr/include, CMake and pkg-config files in /usr/lib), its
#     code generators (moc, rcc, qmake) for this machine into OUT/host.
#   - Qt SerialPort: Debian's archive serves no source for qtserialport-opensource-src (its .dsc is
#     listed, its files are not there), so the SDK takes Debian's armel build of the same version
#     (libqt5serialport5, built from that source) and points it at the panel's libraries: NEEDED
#     libc.so.0 instead of glibc's libc.so.6 and ld-linux.so.3, and libvane-qt-glue.so.1
#     (qt-glue.c) instead of libudev.so.1, which the panel does not have. qt-glue.c's udev_new()
#     answers "no udev", so QSerialPortInfo reads sysfs; it also defines the stack protector's guard,
#     which glibc exports and uClibc-ng (built without SSP) does not. panel-sdk's last stage checks
#     that every C function the library imports is one uClibc-ng's libc.so.0 defines.
#
#   qt.sh OUT
set -euo pipefail

out=$1
src=${VANE_SDK_SRC:?}
here=$src/scripts/panel/sdk
target=arm-linux-uclibcgnueabi
sysroot=$out/sysroot
work=$(mktemp -d "${TMPDIR:-/tmp}/vane-sdk-qt.XXXXXX")
trap 'rm -rf "$work"' EXIT
export PATH=$out/bin:$PATH
log() { echo "qt: $*"; }
quiet() {
  local name=$1; shift
  if ! "$@" >"$work/$name.log" 2>&1; then tail -n 60 "$work/$name.log" >&2; echo "qt: $name failed" >&2; exit 1; fi
}

# ---- Qt Core and Network -----------------------------------------------------------------------
cd "$work"
log "fetching qtbase-opensource-src"
# apt fetches as the unprivileged _apt user when it can write the target folder.
if id _apt >/dev/null 2>&1; then chown _apt "$work"; fi
quiet source apt-get source -qq qtbase-opensource-src
qtsrc=$(find "$work" -maxdepth 1 -type d -name 'qtbase-opensource-src-*' | head -n1)

export PKG_CONFIG_LIBDIR=$sysroot/usr/lib/pkgconfig:$sysroot/usr/share/pkgconfig
export PKG_CONFIG_SYSROOT_DIR=$sysroot
unset PKG_CONFIG_PATH
mkdir -p "$work/qt-build"
cd "$work/qt-build"
log "configuring Qt $(basename "$qtsrc")"
quiet qt-configure "$qtsrc/configure" -opensource -confirm-license -release -shared \
  -device linux-generic-g++ -device-option CROSS_COMPILE="$out/bin/$target-" \
  -sysroot "$sysroot" -no-gcc-sysroot \
  -prefix /usr -extprefix "$sysroot/usr" -hostprefix "$out/host" \
  -no-gui -no-widgets -no-opengl -no-dbus -no-icu -no-openssl -no-glib -no-iconv \
  -qt-pcre -qt-zlib -qt-doubleconversion -no-journald -no-syslog -no-slog2 -no-libudev \
  -no-libproxy -no-gssapi -no-feature-sql -no-pch -no-ltcg -no-use-gold-linker \
  -no-warnings-are-errors -pkg-config -nomake examples -nomake tests -make libs
log "building Qt Core and Network"
quiet qt-make make -j2 -C src sub-corelib sub-network
quiet qt-install sh -c 'make -C src/corelib install && make -C src/network install \
  && make -C src/tools/moc install && make -C src/tools/rcc install && make install_qmake install_mkspecs'

# ---- Qt SerialPort -----------------------------------------------------------------------------
log "Qt SerialPort from Debian's armel build"
mkdir -p "$work/debs" "$work/sp"
cd "$work/debs"
if id _apt >/dev/null 2>&1; then chown _apt "$work/debs"; fi
quiet serialport-download apt-get download -qq libqt5serialport5:armel libqt5serialport5-dev:armel
for deb in *.deb; do dpkg -x "$deb" "$work/sp"; done
multi=$work/sp/usr/lib/arm-linux-gnueabi
lib=$(basename "$(readlink -f "$multi/libQt5SerialPort.so.5")")
cp "$multi/$lib" "$sysroot/usr/lib/$lib"
ln -sf "$lib" "$sysroot/usr/lib/libQt5SerialPort.so.5"
ln -sf "$lib" "$sysroot/usr/lib/libQt5SerialPort.so"
cp -a "$work/sp/usr/include/arm-linux-gnueabi/qt5/QtSerialPort" "$sysroot/usr/include/"
# CMake and pkg-config files: Debian's multiarch folders become the SDK's plain ones.
mkdir -p "$sysroot/usr/lib/cmake" "$sysroot/usr/lib/pkgconfig"
cp -a "$multi/cmake/Qt5SerialPort" "$sysroot/usr/lib/cmake/"
sed -i -e 's|lib/arm-linux-gnueabi/|lib/|g' -e 's|include/arm-linux-gnueabi/qt5/|include/|g' \
  -e 's|/\.\./\.\./\.\./\.\./|/../../../|g' "$sysroot"/usr/lib/cmake/Qt5SerialPort/*.cmake
sed -e 's|/lib/arm-linux-gnueabi|/lib|g' -e 's|/include/arm-linux-gnueabi/qt5|/include|g' \
  "$multi/pkgconfig/Qt5SerialPort.pc" >"$sysroot/usr/lib/pkgconfig/Qt5SerialPort.pc"

"$target-gcc" -O2 -fPIC -shared -Wl,-soname,libvane-qt-glue.so.1 -Wl,--hash-style=both \
  -o "$sysroot/usr/lib/libvane-qt-glue.so.1" "$here/qt-glue.c"
patchelf --replace-needed libudev.so.1 libvane-qt-glue.so.1 --replace-needed libc.so.6 libc.so.0 \
  --remove-needed ld-linux.so.3 "$sysroot/usr/lib/$lib"
log "done: $(cd "$sysroot/usr/lib" && ls libQt5*.so.5 | tr '\n' ' ')"
