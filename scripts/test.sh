#!/usr/bin/env bash
# The project's test command: installs what a fresh Debian 12 machine lacks, builds everything
# and runs the tests.
#   scripts/test.sh                 native build in build/
#   scripts/test.sh --sanitize      AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
#   scripts/test.sh --tsan          ThreadSanitizer build in build-tsan/ (scripts/tsan.supp)
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
options=()
if [ "${1:-}" = "--sanitize" ]; then
  build=build-asan
  options+=(-DVANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
  # Drivers live as long as the host process does; nothing deletes them.
  suppressions=scripts/lsan.supp
  export LSAN_OPTIONS="suppressions=$PWD/$suppressions:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
elif [ "${1:-}" = "--tsan" ]; then
  build=build-tsan
  options+=(-DVANE_TSAN=ON -DCMAKE_BUILD_TYPE=Debug)
  suppressions=scripts/tsan.supp
  export TSAN_OPTIONS="suppressions=$PWD/$suppressions:halt_on_error=1:second_deadlock_stack=1"
fi

scripts/deps.sh
cmake -S . -B "$build" "${options[@]}"
cmake --build "$build" -j"$(nproc)"
# A suppression that names a function the build no longer has suppresses nothing.
if [ -n "${suppressions:-}" ]; then
  scripts/check-suppressions.sh "$suppressions" "$build"/lib/*.so.1 "$build"/bin/*
fi
ctest --test-dir "$build" --output-on-failure -j2 --timeout 300
