#!/usr/bin/env bash
# Links objects compiled for armel (cmake/toolchain-armel-panel.cmake) against the panel's C library,
# uClibc-ng, instead of Debian's glibc:
#
#   scripts/panel/link.sh plugin|program OUTPUT LINK_TXT UCLIBC_ROOT
#
# LINK_TXT is the link.txt CMake wrote for the target; its object files are linked again here, with
# uClibc-ng's start files and libc.so.0, and the sysroot's Qt 5, libstdc++ and libgcc_s by SONAME.
#   - -nostdlib: nothing of glibc comes in; --no-undefined: a C function uClibc-ng lacks fails here;
#   - --hash-style=both: DT_HASH for loaders without GNU hash support, DT_GNU_HASH for the rest;
#   - no -rpath: the panel finds its libraries in its own folders; -z text: no text relocations;
#   - a plug-in exports only cmake/plugin_exports.map, a program gets /lib/ld-uClibc.so.0 as loader;
#   - the result is stripped; its debug info goes to OUTPUT.debug, named by .gnu_debuglink.
#
#   VANE_ARMEL_SYSROOT   the armel sysroot holding Qt and the C++ run time (default /opt/vane-armel-sysroot)
set -euo pipefail

kind=$1 output=$2 link_txt=$3 uclibc=$4
src=$(cd "$(dirname "$0")/../.." && pwd)
sysroot=${VANE_ARMEL_SYSROOT:-/opt/vane-armel-sysroot}
target_lib=$sysroot/usr/lib/arm-linux-gnueabi
cross=arm-linux-gnueabi

# Object files are named relative to the target's build folder, two levels above its link.txt.
objdir=$(cd "$(dirname "$link_txt")/../.." && pwd)
objects=()
for word in $(tr -d "\"" <"$link_txt"); do
  case $word in
    *.o) objects+=("$objdir/$word") ;;
  esac
done
if [ "${#objects[@]}" -eq 0 ]; then
  echo "link: no object files in $link_txt" >&2
  exit 1
fi

flags=(-mcpu=arm926ej-s -mfloat-abi=soft -marm -nostdlib
  -Wl,--no-undefined -Wl,--hash-style=both -Wl,-z,text -Wl,-z,relro -Wl,--build-id
  -L"$uclibc/lib" -L"$uclibc/usr/lib")
libgcc=$($cross-gcc -mcpu=arm926ej-s -mfloat-abi=soft -print-libgcc-file-name)
qt=("$target_lib/libQt5Core.so.5")
case $kind in
  plugin)
    crt_begin=("$uclibc/usr/lib/crti.o" "$($cross-gcc -print-file-name=crtbeginS.o)")
    crt_end=("$($cross-gcc -print-file-name=crtendS.o)" "$uclibc/usr/lib/crtn.o")
    flags+=(-shared -Wl,-soname,"$(basename "$output")" -Wl,--exclude-libs,ALL
      -Wl,--version-script="$src/cmake/plugin_exports.map")
    qt=("$target_lib/libQt5SerialPort.so.5" "$target_lib/libQt5Network.so.5" "${qt[@]}")
    ;;
  program)
    crt_begin=("$uclibc/usr/lib/Scrt1.o" "$uclibc/usr/lib/crti.o" "$($cross-gcc -print-file-name=crtbeginS.o)")
    crt_end=("$($cross-gcc -print-file-name=crtendS.o)" "$uclibc/usr/lib/crtn.o")
    # The sysroot's Qt needs libraries (ICU, GLib, glibc, ...) the panel's Qt need not: a program's
    # link does not follow them.
    flags+=(-pie -Wl,--dynamic-linker=/lib/ld-uClibc.so.0 -Wl,--allow-shlib-undefined)
    ;;
  *) echo "link: plugin or program, not $kind" >&2; exit 2 ;;
esac

mkdir -p "$(dirname "$output")"
# The libraries in the order g++ names them: C++ run time, shared libgcc, libgcc, C library.
$cross-g++ "${flags[@]}" -o "$output.full" "${crt_begin[@]}" "${objects[@]}" "${qt[@]}" \
  "$target_lib/libstdc++.so.6" "$sysroot/lib/arm-linux-gnueabi/libgcc_s.so.1" "$libgcc" \
  -lc "$sysroot/lib/arm-linux-gnueabi/libgcc_s.so.1" "$libgcc" "${crt_end[@]}" \
  2> >(grep -v 'needed by .*/opt/.*/libQt5.*not found' >&2)

$cross-objcopy --only-keep-debug "$output.full" "$output.debug"
$cross-objcopy --strip-unneeded --remove-section=.comment \
  --add-gnu-debuglink="$output.debug" "$output.full" "$output"
rm -f "$output.full"
