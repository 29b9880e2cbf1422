#!/usr/bin/env bash
# Side by side: the plug-ins against the floors, on the same operations against the same server.
#
#   bench/side-by-side.sh [--plugins DIR] [options]
#
# Installs what is missing, builds the server and the client program (and the plug-ins when DIR is
# the build's own lib folder), starts a libmodbus server on loopback TCP and another on one end of
# a socat pty pair (115200 baud), and measures on read 10 (r10), read 125 (r125) and write 1 (w1):
#   TCP: raw socket client, raw + one local-time timestamp, libmodbus, Netvane
#   RTU: raw client on the pty, raw + timestamp, raw + timestamp + a confirmed t3.5 of quiet
#        after each answer (the floor for an exact master), libmodbus, Serivane
# Timed rounds alternate between the clients; every figure is the median of the rounds. Clients,
# servers and the pty relay run on one core. Instructions per transaction come from callgrind and
# system calls from strace -c -f, each as (count at N - count at 0) / N after the same warm-up.
set -euo pipefail
cd "$(dirname "$0")/.."

plugins=build/lib
build=${VANE_BENCH_BUILD_DIR:-build}
rounds=3
tcp_n=5000
rtu_n=1000
count_n=1000
rtu_count_n=300
core=$(( $(nproc) - 1 ))
profile=""

usage() {
  cat <<EOF
usage: bench/side-by-side.sh [options]
  --plugins DIR   folder with libNetvane.so.1 and libSerivane.so.1 (default build/lib, built if so)
  --build DIR     build folder for the bench programs (default build, or \$VANE_BENCH_BUILD_DIR)
  --rounds R      timed rounds per client (default 3)
  -n N            timed TCP transactions per round (default 5000); --rtu-n N for RTU (default 1000)
  --count-n N     transactions in the counting runs (default 1000 TCP); --rtu-count-n N (default 300)
  --core C        the core everything is pinned to (default the last one)
  --profile DIR   also keep callgrind profiles of the plug-ins' measured loops in DIR
  --quick         a short run to try the set-up (numbers are rough)
EOF
}

while [ $# -gt 0 ]; do
  case $1 in
    --plugins) plugins=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    -n) tcp_n=$2; shift 2 ;;
    --rtu-n) rtu_n=$2; shift 2 ;;
    --count-n) count_n=$2; shift 2 ;;
    --rtu-count-n) rtu_count_n=$2; shift 2 ;;
    --core) core=$2; shift 2 ;;
    --profile) profile=$2; shift 2 ;;
    --quick) rounds=1 tcp_n=500 rtu_n=100 count_n=100 rtu_count_n=30; shift ;;
    -h|--help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
  esac
done

# Packages: the build's own, then the measuring tools.
scripts/deps.sh valgrind strace util-linux

# Build: the bench programs always, the plug-ins when they are measured from this build.
cmake -S . -B "$build" -DVANE_BUILD_BENCH=ON >/dev/null
targets=(sbs_server sbs_client)
mkdir -p "$build/lib"
if [ "$(realpath -m "$plugins")" = "$(realpath -m "$build/lib")" ]; then
  targets+=(Netvane Serivane)
fi
cmake --build "$build" --target "${targets[@]}" -j2 >/dev/null
bin=$(realpath "$build/bin")
netvane=$(realpath "$plugins/libNetvane.so.1")
serivane=$(realpath "$plugins/libSerivane.so.1")
for f in "$netvane" "$serivane"; do
  [ -f "$f" ] || { echo "missing plug-in: $f" >&2; exit 1; }
done
[ -z "$profile" ] || { mkdir -p "$profile"; profile=$(realpath "$profile"); }

# Peers, all on the measuring core; stopped by their process ids on exit.
work=$(mktemp -d)
peers=()
cleanup() {
  for pid in "${peers[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
pin=(taskset -c "$core")

wait_for() { # file pattern
  for _ in $(seq 100); do grep -qs "$2" "$1" && return 0; sleep 0.05; done
  echo "a peer did not start ($1)" >&2; exit 1
}
"${pin[@]}" "$bin/sbs_server" tcp >"$work/tcp.out" & peers+=($!)
wait_for "$work/tcp.out" '^port '
port=$(awk '/^port /{print $2}' "$work/tcp.out")
"${pin[@]}" socat "pty,raw,echo=0,link=$work/ttyA" "pty,raw,echo=0,link=$work/ttyB" & peers+=($!)
for _ in $(seq 100); do [ -e "$work/ttyA" ] && [ -e "$work/ttyB" ] && break; sleep 0.05; done
"${pin[@]}" "$bin/sbs_server" rtu "$work/ttyA" 115200 >"$work/rtu.out" & peers+=($!)
wait_for "$work/rtu.out" '^ready'

# transport|name|kind|plug-in
clients=(
  "tcp|raw|raw|" "tcp|raw+ts|raw-ts|" "tcp|libmodbus|libmodbus|" "tcp|Netvane|plugin|$netvane"
  "rtu|raw|raw|" "rtu|raw+ts|raw-ts|" "rtu|raw+t3.5|raw-quiet|" "rtu|libmodbus|libmodbus|" "rtu|Serivane|plugin|$serivane"
)
ops=(r10 r125 w1)

client_args() { # transport kind plug-in op n
  local target=tcp:127.0.0.1:$port
  [ "$1" = rtu ] && target=rtu:$work/ttyB
  echo "$bin/sbs_client $2 $target $4 $5${3:+ --plugin $3}"
}

# One timed run; prints "tx p50 p99 cpu wall".
timed() {
  local out
  out=$("${pin[@]}" $(client_args "$@")) || { echo "client failed: $*" >&2; exit 1; }
  echo "$out" | awk '/^result/{print $2, $3, $4, $5, $6}'
}

# Total instructions of one run under callgrind.
instructions() {
  local file=$work/callgrind.out
  "${pin[@]}" valgrind --tool=callgrind --callgrind-out-file="$file" $(client_args "$@") --no-latency \
    >/dev/null 2>"$work/valgrind.log" || { echo "client failed under callgrind: $*" >&2; cat "$work/valgrind.log" >&2; exit 1; }
  awk '/^(summary|totals):/{print $2; exit}' "$file"
}

# Total system calls of one run, all threads.
syscalls() {
  local file=$work/strace.out
  "${pin[@]}" strace -f -c -o "$file" $(client_args "$@") --no-latency >/dev/null \
    || { echo "client failed under strace: $*" >&2; exit 1; }
  awk '$NF == "total" {print $4}' "$file"
}

echo "machine: $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p'), kernel $(uname -r); pinned to core $core"
echo "plug-ins: $netvane, $serivane"
echo "rounds: $rounds x $tcp_n TCP / $rtu_n RTU transactions; counting runs: $count_n TCP / $rtu_count_n RTU transactions"

results=$work/results.txt
for round in $(seq "$rounds"); do
  echo "timed round $round of $rounds ..." >&2
  for op in "${ops[@]}"; do
    for c in "${clients[@]}"; do
      IFS='|' read -r transport name kind plugin <<<"$c"
      n=$tcp_n; [ "$transport" = rtu ] && n=$rtu_n
      line=$(timed "$transport" "$kind" "$plugin" "$op" "$n")
      echo "T $transport $op $name $line" >>"$results"
    done
  done
done

echo "counting instructions and system calls ..." >&2
for op in "${ops[@]}"; do
  for c in "${clients[@]}"; do
    IFS='|' read -r transport name kind plugin <<<"$c"
    n=$count_n; [ "$transport" = rtu ] && n=$rtu_count_n
    i_n=$(instructions "$transport" "$kind" "$plugin" "$op" "$n")
    i_0=$(instructions "$transport" "$kind" "$plugin" "$op" 0)
    s_n=$(syscalls "$transport" "$kind" "$plugin" "$op" "$n")
    s_0=$(syscalls "$transport" "$kind" "$plugin" "$op" 0)
    echo "C $transport $op $name $(( (i_n - i_0) / n )) $(awk -v a="$s_n" -v b="$s_0" -v n="$n" 'BEGIN{printf "%.1f", (a - b) / n}')" >>"$results"
    if [ -n "$profile" ] && [ "$kind" = plugin ]; then
      "${pin[@]}" valgrind --tool=callgrind --callgrind-out-file="$profile/$name.$op.callgrind" \
        --collect-atstart=no '--toggle-collect=*measuredLoop*' $(client_args "$transport" "$kind" "$plugin" "$op" "$n") \
        --no-latency >/dev/null 2>"$work/valgrind.log"
    fi
  done
done

echo
awk -f bench/side_by_side/table.awk "$results"
if [ -n "$profile" ]; then
  echo
  echo "profiles of the measured loops ($count_n TCP / $rtu_count_n RTU transactions each): $profile"
  echo "  callgrind_annotate --inclusive=yes $profile/Netvane.r10.callgrind | head -40"
fi
