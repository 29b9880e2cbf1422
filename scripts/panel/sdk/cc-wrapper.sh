#!/bin/sh
# The panel SDK's C and C++ compiler: Debian's armel cross gcc 12 (arm-linux-gnueabi-gcc-12), run
# against uClibc-ng's headers and start files in the SDK's sysroot and against the libstdc++ and
# libgcc_s built for uClibc-ng there. Installed as bin/arm-linux-uclibcgnueabi-gcc and -g++.
#   -nostdinc (and -nostdinc++): glibc's armel headers (/usr/arm-linux-gnueabi/include) and the
#     glibc libstdc++ headers never come in; the compiler's own headers (stddef.h, unwind.h, ...) do;
#   -muclibc: uClibc's loader /lib/ld-uClibc.so.0 in programs;
#   -L and -B of the sysroot ahead of the compiler's folder, which holds glibc's libstdc++.so,
#     libgcc_s.so and libatomic.so;
#   --hash-style=both: every library and program carries DT_HASH, the only table uClibc-ng's loader
#     reads without LDSO_GNU_HASH_SUPPORT (Debian's linker writes only DT_GNU_HASH by default).
sdk=$(cd "$(dirname "$0")/.." && pwd)
sysroot=$sdk/sysroot
gcc=arm-linux-gnueabi-gcc-12
case $(basename "$0") in *g++) gcc=arm-linux-gnueabi-g++-12 ;; esac
gccinc=$(arm-linux-gnueabi-gcc-12 -print-file-name=include)
cxxinc=
case $gcc in
  *g++*) cxxinc="-nostdinc++ -isystem $sysroot/usr/include/c++/12 -isystem $sysroot/usr/include/c++/12/arm-linux-uclibcgnueabi -isystem $sysroot/usr/include/c++/12/backward" ;;
esac
# shellcheck disable=SC2086
exec "$gcc" -muclibc --sysroot="$sysroot" -nostdinc $cxxinc -isystem "$gccinc" \
  -isystem "$sysroot/usr/include" -B"$sysroot/usr/lib/" -L"$sysroot/usr/lib" -L"$sysroot/lib" \
  -Wl,--hash-style=both -mcpu=arm926ej-s -mfloat-abi=soft -marm "$@"
