#!/usr/bin/env bash
# Runs the Serivane suites on the panel's own system: built with the panel SDK (uClibc-ng, its
# libstdc++, its Qt; scripts/panel-sdk.sh) and run under qemu-arm -cpu arm926 with uClibc-ng's
# loader and the SDK's sysroot as the guest's root. The suites are the ones the Serivane build
# registers with CTest (cmake/serivane-suites.cmake, the same selection as scripts/build-arm.sh);
# the test devices (libmodbus servers, fake devices, pty pairs, relays) run inside the test
# programs, on the other end of the pty or socket. The host suite loads the panel's own file,
# build-panel/libSerivane.so.1, when scripts/build-panel.sh has made it. Ends with CTest's summary.
#
#   scripts/test-panel.sh [CTEST-ARGS...]
#
# Cases that cannot run on the panel's system are listed in scripts/panel/test-panel.skip with the
# reason, and named at the end of the run.
#
#   VANE_PANEL_TEST_DIR   build folder (default build-panel-tests in the source tree)
#   VANE_PANEL_TOOLCHAIN  another toolchain file (an integrator's own vendor SDK) instead of the
#                         panel SDK's; its CMAKE_CROSSCOMPILING_EMULATOR runs the tests
set -euo pipefail

src=$(cd "$(dirname "$0")/.." && pwd)
build=${VANE_PANEL_TEST_DIR:-$src/build-panel-tests}
start=$SECONDS

if [ -n "${VANE_PANEL_TOOLCHAIN:-}" ]; then
  toolchain=$VANE_PANEL_TOOLCHAIN
else
  sdk=$("$src/scripts/panel-sdk.sh" | tail -n1)
  toolchain=$sdk/toolchain.cmake
fi

cmake -S "$src" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -C "$src/cmake/serivane-suites.cmake" -DVANE_BUILD_LOADCHECK=OFF >/dev/null
cmake --build "$build" -j2

# The panel's own plug-in file in place of the test build's, for the suites that load it by path.
panel_lib=$src/build-panel/libSerivane.so.1
if [ -f "$panel_lib" ] && [ -e "$build/lib/libSerivane.so.1" ]; then
  cp "$panel_lib" "$(readlink -f "$build/lib/libSerivane.so.1")"
  echo "test-panel: the host suite loads $panel_lib"
fi

# Skipped cases: "REGEX  # reason" lines; CTest leaves out what matches.
skipfile=$src/scripts/panel/test-panel.skip
skip=$(sed -e 's/#.*//' -e 's/[[:space:]]*$//' -e '/^$/d' "$skipfile" | paste -sd'|')
built=$SECONDS
status=0
ctest --test-dir "$build" --output-on-failure --no-tests=error --timeout 300 -j2 \
  ${skip:+-E "$skip"} "$@" || status=$?

if [ -n "$skip" ]; then
  echo "test-panel: not run on the panel's system:"
  while IFS= read -r line; do
    case $line in ''|'#'*) continue ;; esac
    regex=${line%%#*} reason=${line#*#}
    regex=$(echo "$regex" | sed 's/[[:space:]]*$//')
    ctest --test-dir "$build" -N -R "$regex" | sed -n 's/^ *Test *#[0-9]*: /  /p' | sed "s/\$/ --${reason}/"
  done <"$skipfile"
fi
echo "test-panel: build $((built - start)) s, tests $((SECONDS - built)) s"
exit "$status"
