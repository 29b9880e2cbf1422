#!/usr/bin/env bash
# Prepares the 32-bit ARM (armel: ARMv5TE, soft-float EABI) cross build: the cross compiler, qemu-arm
# to run the results, and an armel sysroot holding Qt 5 Core/Network/SerialPort, GoogleTest and
# libmodbus with their run-time dependencies. Runs as root; quick when everything is already there.
#
# The armel packages are not installed through multiarch: the amd64 side may carry security updates
# (zlib1g, libpcre2, ...) that the armel lists lack, and Multi-Arch: same packages must match versions.
# They are downloaded instead and unpacked with dpkg -x into a folder of their own.
#
#   VANE_ARMEL_SYSROOT   where the sysroot goes  (default /opt/vane-armel-sysroot)
#   VANE_ARMEL_DEBCACHE  where the .deb files are kept between runs  (default /var/cache/vane-armel-debs)
set -euo pipefail

sysroot=${VANE_ARMEL_SYSROOT:-/opt/vane-armel-sysroot}
debcache=${VANE_ARMEL_DEBCACHE:-/var/cache/vane-armel-debs}
export DEBIAN_FRONTEND=noninteractive

# Libraries the armel programs load at run time; their dependency closure is added below.
runtime_roots=(libqt5core5a libqt5network5 libqt5serialport5 libmodbus5 libatomic1 libc6 libstdc++6 libgcc-s1)
# Headers, CMake package files and static libraries for building. qt5-qmake carries the mkspecs
# that Qt's CMake files include.
build_only=(qtbase5-dev qt5-qmake libqt5serialport5-dev libgtest-dev libgmock-dev libmodbus-dev)
# Data packages dragged in by the closure that no program here reads.
skip_re='^(shared-mime-info)$'

host_packages=(g++-arm-linux-gnueabi qemu-user file)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

# ---- host tools --------------------------------------------------------------------------------
missing=()
for p in "${host_packages[@]}"; do installed "$p" || missing+=("$p"); done

need_update=0
if ! dpkg --print-foreign-architectures | grep -qx armel; then
  echo "setup-arm: adding the armel architecture"
  dpkg --add-architecture armel
  need_update=1
fi
if ! compgen -G "/var/lib/apt/lists/*binary-armel_Packages*" >/dev/null; then
  need_update=1
fi

stamp="$sysroot/.vane-sysroot"
# Fast path: tools present and a sysroot made from the same package list.
want_sig=$(printf '%s\n' "${runtime_roots[@]}" "${build_only[@]}" | sha256sum | cut -c1-16)
if [ "${#missing[@]}" -eq 0 ] && [ "$need_update" -eq 0 ] && [ -f "$stamp" ] \
   && [ "$(sed -n 1p "$stamp")" = "$want_sig" ]; then
  echo "setup-arm: sysroot $sysroot is up to date"
  exit 0
fi

if [ "$need_update" -eq 1 ] || [ "${#missing[@]}" -gt 0 ]; then
  apt-get update -qq
fi
if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup-arm: installing ${missing[*]}"
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# ---- armel packages ----------------------------------------------------------------------------
roots=()
for p in "${runtime_roots[@]}"; do roots+=("$p:armel"); done
mapfile -t closure < <(
  apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
      --no-replaces --no-enhances "${roots[@]}" \
    | grep -E '^[a-z0-9][^ ]*:armel$' | sed 's/:armel$//' | grep -Ev "$skip_re" | sort -u)
mapfile -t wanted < <(printf '%s\n' "${closure[@]}" "${build_only[@]}" | sort -u)

mkdir -p "$debcache"
# apt fetches as the unprivileged _apt user when it can write the target folder.
if id _apt >/dev/null 2>&1; then chown _apt "$debcache"; fi
cd "$debcache"

# Candidate versions, in one apt-cache call (each call reads the whole package cache).
declare -A version=()
while read -r name ver; do version[$name]=$ver; done < <(
  apt-cache policy "${wanted[@]/%/:armel}" \
    | awk '/^[^ ].*:armel:$/ { sub(/:armel:$/, ""); name = $0 } /^ *Candidate:/ { print name, $2 }')

# The cached .deb of a package's candidate version; apt writes an epoch's ':' as %3a.
debname() {
  local v=${version[$1]:-} f
  if [ -z "$v" ] || [ "$v" = "(none)" ]; then
    echo "setup-arm: no armel candidate for $1" >&2
    return 1
  fi
  v=${v//:/%3a}
  for f in "${1}_${v}_armel.deb" "${1}_${v}_all.deb"; do
    if [ -f "$f" ]; then echo "$f"; return 0; fi
  done
  return 0
}

to_fetch=()
for p in "${wanted[@]}"; do
  f=$(debname "$p")
  [ -n "$f" ] || to_fetch+=("$p:armel=${version[$p]}")
done
if [ "${#to_fetch[@]}" -gt 0 ]; then
  echo "setup-arm: downloading ${#to_fetch[@]} armel packages into $debcache"
  apt-get download -qq "${to_fetch[@]}"
fi
declare -A debfile=()
for p in "${wanted[@]}"; do
  debfile[$p]=$(debname "$p")
  if [ -z "${debfile[$p]}" ]; then
    echo "setup-arm: download of $p failed" >&2
    exit 1
  fi
done

# ---- sysroot -----------------------------------------------------------------------------------
echo "setup-arm: unpacking ${#wanted[@]} packages into $sysroot"
rm -rf "$sysroot.new"
mkdir -p "$sysroot.new"
for p in "${wanted[@]}"; do
  dpkg -x "$debcache/${debfile[$p]}" "$sysroot.new"
done

# Absolute symbolic links would point into the host's own /usr; make them relative to the sysroot.
while IFS= read -r -d '' link; do
  target=$(readlink "$link")
  ln -sfn "$(realpath -m -s --relative-to="$(dirname "$link")" "$sysroot.new$target")" "$link"
done < <(find "$sysroot.new" -type l -lname '/*' -print0)

{
  echo "$want_sig"
  for p in "${wanted[@]}"; do echo "${debfile[$p]}"; done
} >"$sysroot.new/.vane-sysroot"

rm -rf "$sysroot"
mv "$sysroot.new" "$sysroot"
echo "setup-arm: sysroot ready in $sysroot ($(du -sh "$sysroot" | cut -f1))"
