#!/usr/bin/env bash
# SDK stage 1, the toolchain (run by scripts/panel-sdk.sh): makes OUT/sysroot a uClibc-ng system
# with the C++ run time, and OUT/bin the compiler for it.
#
#   - uClibc-ng from uclibc-source, as the panel build has it, with its C99 math library
#     (scripts/panel/build-uclibc.sh sdk);
#   - the compiler is Debian's armel cross gcc 12 behind a wrapper (cc-wrapper.sh) that takes the
#     headers, start files and libraries from the sysroot instead of glibc's;
#   - libgcc_s.so.1 and libstdc++.so.6 built for uClibc-ng from gcc-12-source (the same gcc 12.2 as
#     the compiler), with that compiler. gcc's own compiler is not built: its configure and the
#     target headers libgcc reads (tm.h, insn-modes.h, ...) are all the build of libgcc needs.
#
#   toolchain.sh OUT
set -euo pipefail

out=$1
src=${VANE_SDK_SRC:?}
here=$src/scripts/panel/sdk
target=arm-linux-uclibcgnueabi
sysroot=$out/sysroot
work=$(mktemp -d "${TMPDIR:-/tmp}/vane-sdk-toolchain.XXXXXX")
trap 'rm -rf "$work"' EXIT
log() { echo "toolchain: $*"; }
quiet() { # runs a step with its output in a log, shown only when it fails
  local name=$1; shift
  if ! "$@" >"$work/$name.log" 2>&1; then tail -n 60 "$work/$name.log" >&2; echo "toolchain: $name failed" >&2; exit 1; fi
}

# ---- gcc's source and configuration ------------------------------------------------------------
log "unpacking gcc-12-source"
mkdir -p "$sysroot" "$out/bin"
tar -xf /usr/src/gcc-12/gcc-12.2.0-dfsg.tar.xz -C "$work"
gccsrc=$work/gcc-12.2.0
build=$work/build
mkdir -p "$build"
configure_gcc() (
cd "$build"
# The target's configuration, for the headers libgcc is compiled with; the same choices as the
# panel's processor and Debian's armel compiler (ARMv5TE, soft float, ARM code, POSIX threads).
log "configuring gcc for $target"
quiet configure "$gccsrc/configure" --target=$target --prefix=/usr --with-sysroot="$sysroot" \
  --enable-languages=c,c++ --disable-bootstrap --disable-multilib --with-arch=armv5te \
  --with-float=soft --with-mode=arm --disable-nls --disable-libsanitizer --disable-libgomp \
  --disable-libquadmath --disable-libssp --disable-libvtv --disable-libitm --enable-shared \
  --enable-threads=posix --enable-tls --enable-__cxa_atexit
quiet configure-gcc make configure-gcc
# The generators of the target headers need the build machine's libiberty; make -k goes past the
# generators (genmatch, ...) only the compiler itself needs. libgcc.mvars would wait for xgcc:
# -o takes the compiler as made.
quiet build-libiberty make all-build-libiberty
make -C gcc -k tconfig.h tm.h options.h insn-constants.h insn-modes.h insn-modes-inline.h \
  insn-flags.h >"$work/gcc-headers.log" 2>&1 || true
quiet libgcc-mvars make -C gcc -o xgcc -o specs -o Makefile -o config.status libgcc.mvars
for h in tconfig.h tm.h options.h insn-constants.h insn-modes.h insn-flags.h libgcc.mvars; do
  [ -f "gcc/$h" ] || { tail -n 40 "$work/gcc-headers.log" >&2; echo "toolchain: no gcc/$h" >&2; exit 1; }
done
mkdir -p gcc/include
)
# It runs beside the uClibc-ng build below: both are mostly one process long.
configure_gcc &
gcc_pid=$!

# ---- uClibc-ng ---------------------------------------------------------------------------------
uclibc=$("$src/scripts/panel/build-uclibc.sh" sdk)
cp -a "$uclibc/lib" "$uclibc/usr" "$sysroot/"
rm -f "$sysroot/.vane-uclibc"
# The kernel's headers beside uClibc-ng's (uClibc-ng's headers include linux/ and asm/).
for d in asm asm-generic linux mtd; do
  cp -a "/usr/arm-linux-gnueabi/include/$d" "$sysroot/usr/include/"
done
# An empty loader cache: under qemu-arm -L the guest would otherwise read the host's glibc one.
mkdir -p "$sysroot/etc"
printf 'ld.so-1.7.0\0\0\0\0\0\0' >"$sysroot/etc/ld.so.cache"

# ---- compiler ----------------------------------------------------------------------------------
install -m 755 "$here/cc-wrapper.sh" "$out/bin/$target-gcc"
ln -sf "$target-gcc" "$out/bin/$target-g++"
ln -sf "$target-gcc" "$out/bin/$target-cc"
ln -sf "$target-gcc" "$out/bin/$target-c++"
for tool in ar as ld nm objcopy objdump ranlib readelf strip size strings; do
  ln -sf "/usr/bin/arm-linux-gnueabi-$tool" "$out/bin/$target-$tool"
done
export PATH=$out/bin:$PATH
# env.sh and toolchain.cmake: the SDK as a third party's build uses it.
sed "s|@SDK@|$out|" "$here/env.sh.in" >"$out/env.sh"
cp "$here/toolchain.cmake" "$out/toolchain.cmake"

wait "$gcc_pid" || { echo "toolchain: gcc's configuration failed" >&2; exit 1; }

# ---- libgcc ------------------------------------------------------------------------------------
log "building libgcc_s"
mkdir -p "$build/$target/libgcc"
cd "$build/$target/libgcc"
quiet libgcc-configure env CC="$target-gcc" CFLAGS="-O2 -g" "$gccsrc/libgcc/configure" \
  --host=$target --build="$(gcc -dumpmachine)" --prefix=/usr --disable-multilib --enable-shared \
  --with-sysroot="$sysroot" --enable-threads=posix --enable-tls
quiet libgcc-make make -j2
cp -a libgcc_s.so.1 "$sysroot/lib/"
# Linked as Debian's compiler expects: shared libgcc_s, the rest from the static libgcc.
printf '/* GNU ld script */\nGROUP ( libgcc_s.so.1 -lgcc )\n' >"$sysroot/usr/lib/libgcc_s.so"

# ---- libstdc++ ---------------------------------------------------------------------------------
log "building libstdc++"
mkdir -p "$build/$target/libstdc++-v3"
cd "$build/$target/libstdc++-v3"
quiet libstdcxx-configure env CC="$target-gcc" CXX="$target-g++" CFLAGS="-O2 -g" CXXFLAGS="-O2 -g" \
  "$gccsrc/libstdc++-v3/configure" --host=$target --build="$(gcc -dumpmachine)" --prefix=/usr \
  --disable-multilib --enable-shared --disable-static --disable-nls --disable-libstdcxx-pch \
  --enable-threads=posix --enable-tls --enable-clocale=generic --with-default-libstdcxx-abi=new \
  --with-gxx-include-dir=/usr/include/c++/12 --enable-symvers=gnu --enable-__cxa_atexit
quiet libstdcxx-make make -j2
quiet libstdcxx-install make DESTDIR="$sysroot" install
rm -f "$sysroot"/usr/lib/*.la
log "done: $(ls "$sysroot/usr/lib" | grep -E '^lib(stdc\+\+|gcc_s)\.so' | tr '\n' ' ')"
