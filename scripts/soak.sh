#!/usr/bin/env bash
# Soak: both plug-ins, loaded as the panel runtime loads them, read and write tags of every type
# for MINUTES (default 10) against vane-sim answering a share of the requests wrongly: Netvane over
# Modbus TCP, Serivane over a pty, at the same time. Prints one row per plug-in (transactions,
# statuses, misattributions, resident size and descriptors after warm-up and at the end) and the
# simulator's fault counters. Not part of the test run.
#   scripts/soak.sh [MINUTES]          SOAK_FAULTS=RATE,SEED overrides the default 0.05,1;
#                                      SOAK_BUILD=DIR soaks another build (default build/)
set -euo pipefail
cd "$(dirname "$0")/.."

minutes=${1:-10}
faults=${SOAK_FAULTS:-0.05,1}
build=${SOAK_BUILD:-build}
# A sanitizer build reports the drivers a host never deletes (the interface has no way to) as leaks.
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
logs=$build/soak
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" >/dev/null
cmake --build "$build" --target Netvane Serivane vane-sim vane-soak -j"$(nproc)" >/dev/null
mkdir -p "$logs"

sim_out=$logs/sim.out
"$build/bin/vane-sim" --tcp-port 0 --rtu --clean-tcp-port 0 --faults "$faults" >"$sim_out" 2>"$logs/sim.err" &
sim=$!
trap 'kill "$sim" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [ "$(grep -c '^listening' "$sim_out" || true)" -ge 3 ] && break
  sleep 0.1
done
tcp=$(awk '$2 == "tcp" {print $3}' "$sim_out")
rtu=$(awk '$2 == "rtu" {print $3}' "$sim_out")
clean=$(awk '$2 == "clean-tcp" {print $3}' "$sim_out")
[ -n "$tcp" ] && [ -n "$rtu" ] && [ -n "$clean" ] || { echo "soak: vane-sim did not start" >&2; cat "$logs/sim.err" >&2; exit 1; }

lib=$build/lib
seconds=$((minutes * 60))
echo "soak: $minutes min, faults $faults, Netvane on tcp $tcp, Serivane on $rtu; checks over $clean"
run() { # name plugin connect registers coils
  "$build/bin/vane-soak" --name "$1" --plugin "$2" --connect "$3" --verify-plugin "$lib/libNetvane.so.1" \
    --verify "$clean" --seconds "$seconds" --registers "$4" --coils "$5" >"$logs/$1.row" 2>"$logs/$1.log"
}
run Netvane "$lib/libNetvane.so.1" "$tcp" 200 16 & tcp_soak=$!
run Serivane "$lib/libSerivane.so.1" "$rtu,9600,8,1,N" 250 500 & rtu_soak=$!
crashes=0
wait "$tcp_soak" || { echo "soak: Netvane soak ended with status $?" >&2; crashes=$((crashes + 1)); }
wait "$rtu_soak" || { echo "soak: Serivane soak ended with status $?" >&2; crashes=$((crashes + 1)); }
kill -TERM "$sim"
wait "$sim" || true
trap - EXIT

echo
"$build/bin/vane-soak" --header
cat "$logs/Netvane.row" "$logs/Serivane.row"
echo "crashes: $crashes"
grep '^vane-sim: faults' "$logs/sim.err" || true
echo "first misattributions (all driver log lines in $logs/*.log):"
grep -h '^vane-soak' "$logs/Netvane.log" "$logs/Serivane.log" | head -10 || true
