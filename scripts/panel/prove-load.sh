#!/usr/bin/env bash
# Proves that the panel library loads under the panel's own loader: vane-loadcheck (built against
# uClibc-ng) dlopens it with RTLD_NOW and resolves getSharedLibrary, run by uClibc-ng's
# ld-uClibc.so.0 under qemu-arm -cpu arm926, with stand-ins built from imports.list in place of
# Qt, libstdc++ and libgcc_s, once with each loader: GNU hash support off (DT_HASH only) and on.
#
#   scripts/panel/prove-load.sh [LIBRARY [LOADCHECK]]
#       (default build-panel/libSerivane.so.1 and build-panel/vane-loadcheck)
#
# A NEEDED library the panel lacks, a symbol off the list, a C function uClibc-ng lacks or a
# missing DT_HASH table makes the loader refuse, and this script fail.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/../.." && pwd)
library=$(realpath "${1:-$src/build-panel/libSerivane.so.1}")
loadcheck=$(realpath "${2:-$src/build-panel/vane-loadcheck}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$here/make-standins.sh" "$work/standins" >/dev/null

failed=0
for variant in off on; do
  uclibc=$("$here/build-uclibc.sh" "$variant")
  # The guest's file system: uClibc-ng's /lib and /usr/lib, and an empty loader cache (qemu would
  # otherwise hand the loader the host's glibc cache).
  root=$work/root-$variant
  mkdir -p "$root/etc"
  ln -s "$uclibc/lib" "$root/lib"
  ln -s "$uclibc/usr" "$root/usr"
  printf 'ld.so-1.7.0\0\0\0\0\0\0' >"$root/etc/ld.so.cache"

  echo "prove-load: uClibc-ng loader, GNU hash support $variant:"
  if output=$(qemu-arm -cpu arm926 -L "$root" -E LD_LIBRARY_PATH="$work/standins" \
                "$loadcheck" --entry-only "$library" 2>&1) \
     && grep -q '^entry point: getSharedLibrary$' <<<"$output"; then
    sed 's/^/  /' <<<"$output"
  else
    sed 's/^/  /' <<<"$output" >&2
    echo "prove-load: $library does not load with GNU hash support $variant" >&2
    failed=1
  fi
done
exit "$failed"
