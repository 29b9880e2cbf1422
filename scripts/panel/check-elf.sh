#!/usr/bin/env bash
# Checks what the panel's loader reads from a panel build (libSerivane.so.1 or vane-loadcheck):
#
#   scripts/panel/check-elf.sh FILE...
#
#   - 32-bit ARM EABI5, ARMv5TE, soft float, no floating-point or SIMD hardware attributes;
#   - NEEDED names only uClibc's libc.so.0 (required), Qt 5 Core/Network/SerialPort, libstdc++.so.6
#     and libgcc_s.so.1: nothing of glibc (libc.so.6, libm.so.6, ld-linux.so.3, ...);
#   - a DT_HASH table: uClibc-ng's loader without GNU hash support reads nothing else;
#   - no RPATH/RUNPATH, no text relocations, no GLIBC_* version needs;
#   - a program's loader is /lib/ld-uClibc.so.0; a library is stripped and names its .debug file.
# The versions of Qt and the C++ run time it imports are check-imports.sh's job.
set -euo pipefail

readelf=arm-linux-gnueabi-readelf
allowed_needed='^(libc\.so\.0|libQt5(Core|Network|SerialPort)\.so\.5|libstdc\+\+\.so\.6|libgcc_s\.so\.1)$'
failed=0

fail() { echo "check-elf: $1: $2" >&2; failed=1; }

for file in "$@"; do
  header=$($readelf -h "$file")
  dynamic=$($readelf -d "$file")
  attributes=$($readelf -A "$file")
  needed=$(sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p' <<<"$dynamic")
  echo "$file: NEEDED $(echo $needed)"

  grep -q 'Class: *ELF32' <<<"$header" && grep -q 'Machine: *ARM' <<<"$header" \
    || fail "$file" "not a 32-bit ARM file"
  grep -q 'Version5 EABI, soft-float ABI' <<<"$header" || fail "$file" "not EABI5 soft-float"
  grep -Eq 'Tag_CPU_arch: v5TEJ?$' <<<"$attributes" || fail "$file" "not built for ARMv5TE"
  if grep -Eq 'Tag_FP_arch|Tag_ABI_VFP_args|Tag_Advanced_SIMD_arch' <<<"$attributes"; then
    fail "$file" "uses floating-point hardware the panel lacks"
  fi

  grep -qx 'libc.so.0' <<<"$needed" || fail "$file" "does not need uClibc's libc.so.0"
  while read -r lib; do
    [ -z "$lib" ] || grep -Eq "$allowed_needed" <<<"$lib" || fail "$file" "needs $lib, which the panel does not have"
  done <<<"$needed"
  grep -q '(HASH)' <<<"$dynamic" || fail "$file" "has no DT_HASH table (only GNU hash)"
  if grep -Eq '\((RPATH|RUNPATH)\)' <<<"$dynamic"; then
    fail "$file" "has a library search path: $(grep -E '\((RPATH|RUNPATH)\)' <<<"$dynamic" | sed 's/.*: //')"
  fi
  if grep -q '(TEXTREL)' <<<"$dynamic" || grep -Eq '\(FLAGS\).*TEXTREL' <<<"$dynamic"; then
    fail "$file" "has text relocations"
  fi
  if $readelf -V "$file" | grep -q 'Name: GLIBC_'; then
    fail "$file" "needs glibc symbol versions: $($readelf -V "$file" | grep -o 'GLIBC_[0-9.]*' | sort -u | tr '\n' ' ')"
  fi

  if grep -q 'Type: *DYN' <<<"$header" && $readelf -l "$file" | grep -q 'program interpreter'; then
    interpreter=$($readelf -l "$file" | sed -n 's/.*program interpreter: \(.*\)\]/\1/p')
    [ "$interpreter" = /lib/ld-uClibc.so.0 ] || fail "$file" "loader is $interpreter, not /lib/ld-uClibc.so.0"
  else
    grep -q "(SONAME).*\[$(basename "$file")\]" <<<"$dynamic" || fail "$file" "SONAME is not $(basename "$file")"
    $readelf -S "$file" | grep -q '\.gnu_debuglink' || fail "$file" "has no .gnu_debuglink"
    if $readelf -S "$file" | grep -q '\.debug_info'; then fail "$file" "is not stripped"; fi
  fi
done
exit "$failed"
