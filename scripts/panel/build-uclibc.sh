#!/usr/bin/env bash
# Builds uClibc-ng, the panel's C library, from Debian's uclibc-source with the armel cross compiler,
# and installs it into a root of its own that the panel build links against and qemu-arm runs in:
#
#   scripts/panel/build-uclibc.sh off|on|sdk   prints the root, e.g. /opt/vane-uclibc-ng/1a2b3c4d5e6f-gnuhash-off
#
# off/on is the dynamic loader's GNU hash support (LDSO_GNU_HASH_SUPPORT): off is uClibc-ng's default
# and reads only DT_HASH, on also reads DT_GNU_HASH. The panel library must load under both.
# sdk is off with the C99 math library (DO_C99_MATH, merged into libc.so.0 as uClibc-ng does), for
# the panel SDK (scripts/panel-sdk.sh): Qt and libstdc++ call sin, floor, pow, ..., which a panel's
# uClibc has; the plug-in and vane-loadcheck call none, so they link and load against all three.
# A root is built once and kept, keyed by a hash of scripts/panel/uclibc-ng.config, the source
# tarball's name and the recipe number below (raise it when the build steps change); a changed
# config builds a new root beside the old ones.
# Needs uclibc-source, gcc-arm-linux-gnueabi and linux-libc-dev-armel-cross (scripts/build-panel.sh).
#
#   VANE_UCLIBC_CACHE   where the roots are kept (default /opt/vane-uclibc-ng)
set -euo pipefail

variant=${1:?usage: build-uclibc.sh off|on|sdk}
case $variant in off|on|sdk) ;; *) echo "build-uclibc: off, on or sdk, not $variant" >&2; exit 2 ;; esac

here=$(cd "$(dirname "$0")" && pwd)
config=$here/uclibc-ng.config
tarball=$(ls /usr/src/uClibc-ng-*.tar.* 2>/dev/null | sort -V | tail -n1)
if [ -z "$tarball" ]; then
  echo "build-uclibc: no uClibc-ng source in /usr/src (apt-get install uclibc-source)" >&2
  exit 1
fi
cache=${VANE_UCLIBC_CACHE:-/opt/vane-uclibc-ng}
recipe=2
key=$(cat "$config" <(echo "recipe $recipe $(basename "$tarball")") | sha256sum | cut -c1-12)
case $variant in
  sdk) root=$cache/$key-sdk ;;
  *) root=$cache/$key-gnuhash-$variant ;;
esac

if [ -f "$root/.vane-uclibc" ]; then
  echo "$root"
  exit 0
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/vane-uclibc.XXXXXX")
trap 'rm -rf "$work"' EXIT
start=$SECONDS

# Only the kernel's own headers: the armel include folder also holds glibc's, which must not mix in.
mkdir -p "$work/kernel-headers"
for d in asm asm-generic linux mtd; do
  cp -a "/usr/arm-linux-gnueabi/include/$d" "$work/kernel-headers/"
done

tar -xf "$tarball" -C "$work"
src=$(echo "$work"/uClibc-ng-*)
sed -e "s|^KERNEL_HEADERS=.*|KERNEL_HEADERS=\"$work/kernel-headers\"|" "$config" >"$src/.config"
if [ "$variant" = on ]; then
  sed -i 's|^# LDSO_GNU_HASH_SUPPORT is not set$|LDSO_GNU_HASH_SUPPORT=y|' "$src/.config"
fi
if [ "$variant" = sdk ]; then
  sed -i 's|^# DO_C99_MATH is not set$|DO_C99_MATH=y|' "$src/.config"
fi
make -C "$src" ARCH=arm olddefconfig >/dev/null
# olddefconfig must not have changed a setting: the config file is the reviewed one.
want=$(grep -c '^LDSO_GNU_HASH_SUPPORT=y' "$src/.config" || true)
if [ "$want" != "$([ "$variant" = on ] && echo 1 || echo 0)" ]; then
  echo "build-uclibc: LDSO_GNU_HASH_SUPPORT did not take the value $variant" >&2
  exit 1
fi
if [ "$(grep -c '^DO_C99_MATH=y' "$src/.config" || true)" != "$([ "$variant" = sdk ] && echo 1 || echo 0)" ]; then
  echo "build-uclibc: DO_C99_MATH did not follow the variant $variant" >&2
  exit 1
fi

echo "build-uclibc: building uClibc-ng ($(basename "$tarball"), $variant) into $root" >&2
# Debian's cross linker writes only DT_GNU_HASH by default, which a loader without GNU hash support
# cannot read: uClibc-ng's own libraries get both tables, as a panel toolchain's would have DT_HASH.
if ! make -C "$src" ARCH=arm UCLIBC_EXTRA_LDFLAGS=-Wl,--hash-style=both -j2 >"$work/build.log" 2>&1; then
  tail -n 40 "$work/build.log" >&2
  exit 1
fi
rm -rf "$root.new"
make -C "$src" ARCH=arm PREFIX="$root.new" install >"$work/install.log" 2>&1
cp "$src/.config" "$root.new/uclibc-ng.config"
echo "$key $variant $(basename "$tarball")" >"$root.new/.vane-uclibc"
rm -rf "$root"
mv "$root.new" "$root"
echo "build-uclibc: built in $((SECONDS - start)) s" >&2
echo "$root"
