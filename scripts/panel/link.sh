#!/usr/bin/env bash
# Links objects compiled with the panel SDK (cmake/toolchain-armel-panel.cmake) into the file that
# goes on the panel:
#
#   scripts/panel/link.sh plugin|program OUTPUT LINK_TXT SYSROOT
#
# LINK_TXT is the link.txt CMake wrote for the target; its object files are linked again here, with
# the SDK sysroot's uClibc-ng start files and libc.so.0, and its Qt 5, libstdc++ and libgcc_s by SONAME.
#   - -nostdlib: nothing of glibc comes in; --no-undefined: a C function uClibc-ng lacks fails here;
#   - --hash-style=both: DT_HASH for loaders without GNU hash support, DT_GNU_HASH for the rest;
#   - no -rpath: the panel finds its libraries in its own folders; -z text: no text relocations;
#   - a plug-in exports only cmake/plugin_exports.map, a program gets /lib/ld-uClibc.so.0 as loader;
#   - the result is stripped; its debug info goes to OUTPUT.debug, named by .gnu_debuglink.
set -euo pipefail

kind=$1 output=$2 link_txt=$3 sysroot=$4
src=$(cd "$(dirname "$0")/../.." && pwd)
uclibc=$sysroot
target_lib=$sysroot/usr/lib
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

flags=(-mcpu=arm926ej-s -mfloat-abi=soft -marm -nostdlib --sysroot="$sysroot"
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
    flags+=(-pie -Wl,--dynamic-linker=/lib/ld-uClibc.so.0)
    ;;
  *) echo "link: plugin or program, not $kind" >&2; exit 2 ;;
esac

mkdir -p "$(dirname "$output")"
# The libraries in the order g++ names them: C++ run time, shared libgcc, libgcc, C library.
$cross-g++ "${flags[@]}" -o "$output.full" "${crt_begin[@]}" "${objects[@]}" "${qt[@]}" \
  "$target_lib/libstdc++.so.6" "$sysroot/lib/libgcc_s.so.1" "$libgcc" \
  -lc "$sysroot/lib/libgcc_s.so.1" "$libgcc" "${crt_end[@]}" -Wl,-rpath-link,"$target_lib:$sysroot/lib"

$cross-objcopy --only-keep-debug "$output.full" "$output.debug"
$cross-objcopy --strip-unneeded --remove-section=.comment \
  --add-gnu-debuglink="$output.debug" "$output.full" "$output"
rm -f "$output.full"
