#!/usr/bin/env bash
# The SDK and the packages as a host developer and Debian see them: builds with the /usr layout,
# installs into a staging prefix, builds the example host against that prefix alone (CMake
# package and pkg-config) and reads from the simulated device with it, then makes the Debian
# packages and runs lintian on them (no errors allowed).
#   scripts/check-sdk.sh            in build-sdk/
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
export DEBIAN_FRONTEND=noninteractive
command -v lintian >/dev/null && command -v help2man >/dev/null && command -v pkg-config >/dev/null \
  || { apt-get update && apt-get install -y --no-install-recommends lintian help2man pkg-config; }

build=$PWD/build-sdk
stage=$build/stage
rm -rf "$stage" "$build/example" "$build/example-pc"
cmake -S . -B "$build" -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANE_BUILD_TESTS=OFF
cmake --build "$build" -j"$(nproc)"
cmake --install "$build" --prefix "$stage"

# Only the staging prefix: CMake's package registry and the source tree stay out of the way.
cmake -S examples/host -B "$build/example" -DCMAKE_PREFIX_PATH="$stage" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF \
  -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror"
cmake --build "$build/example"
mkdir -p "$build/example-pc"
PKG_CONFIG_PATH=$(dirname "$(find "$stage" -name vane.pc)") \
  sh -c 'c++ -std=c++17 -fPIC -Wall -Wextra -Werror examples/host/main.cpp $(pkg-config --cflags --libs vane) -ldl \
         -o "$1"' sh "$build/example-pc/vane-example-host"

# The example against the simulated device, with the staged plug-in and record library.
libdir=$(dirname "$(find "$stage" -name 'libvanelabel.so.1')")
sim_out=$(mktemp)
"$stage/bin/vane-sim" --tcp-port 0 >"$sim_out" &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; rm -f "$sim_out"' EXIT
for _ in $(seq 100); do grep -q '^listening tcp' "$sim_out" && break; sleep 0.1; done
address=$(sed -n 's/^listening tcp //p' "$sim_out")
for example in "$build/example/vane-example-host" "$build/example-pc/vane-example-host"; do
  LD_LIBRARY_PATH=$libdir "$example" "$libdir/libNetvane.so.1" "$address"
done

# Debian packages and lintian: errors fail, warnings are shown.
(cd "$build" && rm -f ./*.deb && cpack -G DEB)
lintian --fail-on error --no-tag-display-limit "$build"/*.deb
