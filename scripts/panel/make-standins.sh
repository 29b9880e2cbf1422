#!/usr/bin/env bash
# Builds stand-ins for the panel's Qt 5 Core/Network/SerialPort, libstdc++ and libgcc_s from the
# reviewed import list, for the load proof (prove-load.sh):
#
#   scripts/panel/make-standins.sh OUTDIR
#
# Each stand-in carries the real library's SONAME, defines exactly the symbols imports.list names
# for it (functions that return 0, zero-filled data) under the same version nodes (Qt_5,
# GLIBCXX_3.4, CXXABI_1.3, GCC_3.5, ...), and has a DT_HASH table, so both uClibc-ng loaders read
# it. A library loading against them binds to nothing but what the list allows. The C library is
# not stood in for: the proof runs against uClibc-ng's own libc.so.0.
set -euo pipefail

out=$1
here=$(cd "$(dirname "$0")" && pwd)
list=$here/imports.list
cross=arm-linux-gnueabi
mkdir -p "$out"

mapfile -t libs < <(sed -e 's/#.*//' "$list" | awk 'NF && $1 != "libc.so.0" && $1 != "-" { print $1 }' | sort -u)
for lib in "${libs[@]}"; do
  c=$out/$lib.c map=$out/$lib.map
  # C definitions under the listed (mangled) names, through asm labels.
  sed -e 's/#.*//' "$list" | awk -v lib="$lib" '$1 == lib {
      n++
      if ($4 == "O") printf "__attribute__((aligned(8))) char s%d[64] __asm__(\"%s\") = {0};\n", n, $5
      else printf "long s%d(void) __asm__(\"%s\");\nlong s%d(void) { return 0; }\n", n, $5, n
    }' >"$c"
  # One version node per listed node, the rest local. (Real Qt, libstdc++ and libgcc_s version
  # every export, and the list has no unversioned symbol for them.)
  sed -e 's/#.*//' "$list" | awk -v lib="$lib" '$1 == lib { syms[$2] = syms[$2] "    " $5 ";\n" }
    END { local = "  local: *;\n"
          for (node in syms) { printf "%s {\n  global:\n%s%s};\n", node, syms[node], local; local = "" } }' >"$map"
  $cross-gcc -mcpu=arm926ej-s -mfloat-abi=soft -marm -fPIC -O1 -shared -nostdlib \
    -Wl,-soname,"$lib" -Wl,--version-script="$map" -Wl,--hash-style=both -o "$out/$lib" "$c"
done
echo "make-standins: ${libs[*]} in $out"
