#!/usr/bin/env bash
# Builds the fuzz targets (tests/fuzz/) with clang 14, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer in build-fuzz/ and runs each for SECONDS (default 30) from its seed
# corpus in tests/fuzz/corpus/<target>/. Fails on any finding; the log then shows the report and
# the reproducer (its path and its bytes in hex). Inputs found on the way stay in
# build-fuzz/corpus/, never in the tree.
#   scripts/fuzz.sh [SECONDS]
# FUZZ_ARGS adds libFuzzer options, e.g. FUZZ_ARGS="-fork=2 -ignore_crashes=1" to go on past
# findings and collect them all.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
build=build-fuzz
need=()
command -v clang++-14 >/dev/null || need+=(clang)
ls /usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-*.a >/dev/null 2>&1 || need+=(libclang-rt-14-dev)
if [ ${#need[@]} -gt 0 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}"
fi
scripts/deps.sh

cmake -S . -B "$build" -DVANE_BUILD_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DVANE_BUILD_TESTS=OFF -DVANE_BUILD_TOOLS=OFF -DVANE_BUILD_NETVANE=ON -DVANE_BUILD_SERIVANE=ON
cmake --build "$build" --target fuzz_targets -j"$(nproc)"

export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_LOGGING_RULES="*.debug=true"
failed=0
for target in $(sed -n 's/^vane_fuzz_target(\([a-z0-9_]*\) .*/\1/p' tests/fuzz/CMakeLists.txt); do
  seeds=tests/fuzz/corpus/$target
  work=$build/corpus/$target
  artifacts=$build/artifacts/$target/
  rm -rf "$artifacts"
  mkdir -p "$work" "$artifacts"
  echo "== $target: ${seconds}s"
  log=$build/$target.log
  status=0
  "$build/bin/$target" "$work" $( [ -d "$seeds" ] && echo "$seeds" ) -max_total_time="$seconds" \
    -artifact_prefix="$artifacts" -print_final_stats=1 ${FUZZ_ARGS:-} >"$log" 2>&1 || status=$?
  # Coverage progress lines left out; reports, reproducers and statistics shown.
  grep -v -e '^#[0-9].*\(NEW\|REDUCE\|pulse\|INITED\)' -e '^"' "$log" || true
  if [ "$status" -ne 0 ]; then
    failed=1
    for reproducer in "$artifacts"*; do
      [ -f "$reproducer" ] || continue
      echo "reproducer $reproducer:"
      od -An -tx1 -v "$reproducer" | head -40
    done
  fi
done
exit "$failed"
