#!/usr/bin/env bash
# Builds the RTU plug-in and its tests for the panel's ARMv5TE soft-float processor (armel) and runs
# the tests under qemu-arm through CTest. Extra arguments go to the CMake configure step.
#
#   VANE_ARM_BUILD_DIR   build folder (default build-arm in the source tree)
#   VANE_ARMEL_SYSROOT   armel sysroot (default /opt/vane-armel-sysroot), see scripts/setup-arm.sh
#   VANE_ARM_SKIP_TESTS  set to 1 to build and check the library without running the tests
set -euo pipefail

src=$(cd "$(dirname "$0")/.." && pwd)
build=${VANE_ARM_BUILD_DIR:-$src/build-arm}
export VANE_ARMEL_SYSROOT=${VANE_ARMEL_SYSROOT:-/opt/vane-armel-sysroot}

bash "$src/scripts/setup-arm.sh"

cmake -S "$src" -B "$build" \
  -DCMAKE_TOOLCHAIN_FILE="$src/cmake/toolchain-armel.cmake" \
  -DVANE_ARMEL_SYSROOT="$VANE_ARMEL_SYSROOT" -C "$src/cmake/serivane-suites.cmake" \
  "$@"
cmake --build "$build" -j2

# The library must be ARMv5TE code without floating-point instructions, or the panel cannot load it.
lib="$build/lib/libSerivane.so.1"
if [ ! -e "$lib" ]; then
  echo "build-arm: $lib was not built" >&2
  exit 1
fi
description=$(file -L "$lib")
attributes=$(arm-linux-gnueabi-readelf -A "$lib")
echo "$description"
echo "$attributes" | grep -E 'Tag_CPU_arch:|Tag_FP_arch|Tag_ABI_VFP_args' || true
if ! grep -q 'ELF 32-bit LSB shared object, ARM, EABI5' <<<"$description"; then
  echo "build-arm: $lib is not a 32-bit ARM EABI5 shared object" >&2
  exit 1
fi
if ! grep -Eq 'Tag_CPU_arch: v5TEJ?$' <<<"$attributes"; then
  echo "build-arm: $lib is not built for ARMv5TE" >&2
  exit 1
fi
if ! arm-linux-gnueabi-readelf -h "$lib" | grep -q 'soft-float ABI' \
   || grep -Eq 'Tag_FP_arch|Tag_ABI_VFP_args|Tag_Advanced_SIMD_arch' <<<"$attributes"; then
  echo "build-arm: $lib uses floating-point hardware the panel lacks" >&2
  exit 1
fi

if [ "${VANE_ARM_SKIP_TESTS:-0}" = 1 ]; then
  exit 0
fi
# Each test program runs under qemu-arm (the toolchain's CMAKE_CROSSCOMPILING_EMULATOR), also for
# the listing of its cases, so the first run of a program takes a little longer than natively.
ctest --test-dir "$build" --output-on-failure --no-tests=error --timeout 300
