#!/usr/bin/env bash
# Builds the optimised bench preset and runs every benchmark, then prints a summary table.
# Each program's full output is kept in build/bench/results/.
#
#   scripts/bench.sh            all benchmarks, full sizes (a few minutes: PLST of 65,535
#                               entries on the stand-in player is the long one)
#   scripts/bench.sh --quick    fewer rounds and samples, PLST up to 16,384 entries
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

list_rounds=7
phone_rounds=5
plst_sizes=(1024 4096 16384 65535)
checks=200
infos=60
stalls=10
reconnects=10
slow_rounds=10
if [[ "${1:-}" == "--quick" ]]; then
    list_rounds=3
    phone_rounds=3
    plst_sizes=(1024 4096 16384)
    checks=40
    infos=15
    stalls=3
    reconnects=4
    slow_rounds=4
fi

build=build/bench
cmake --preset bench >/dev/null
cmake --build "$build" -j2 --target bench_list_walk bench_list_memory bench_phone_list \
    bench_playlist_transfer bench_round_trip bench_link_responsiveness bench_link_reconnect \
    bench_slow_share bench_port_list
results="$build/results"
mkdir -p "$results"
bin="$build/bin"

run() {
    local name="$1"
    shift
    echo "== $name: $*"
    if ! "$@" 2>&1 | tee "$results/$name.txt"; then
        echo "SUMMARY|$name|failed|-|-|FAILED" >>"$results/$name.txt"
    fi
}

run list_walk "$bin/bench_list_walk" "$list_rounds"
run list_memory "$bin/bench_list_memory"
run phone_list "$bin/bench_phone_list" "$phone_rounds"
run round_trip "$bin/bench_round_trip" "$checks" "$infos"
run link_responsiveness "$bin/bench_link_responsiveness" "$stalls"
run link_reconnect "$bin/bench_link_reconnect" "$reconnects"
run slow_share "$bin/bench_slow_share" "$slow_rounds"
run port_list "$bin/bench_port_list"
run playlist_transfer "$bin/bench_playlist_transfer" 1 "${plst_sizes[@]}"

echo
echo "Summary ($(uname -sm), $(nproc) cores, $(date -u '+%Y-%m-%d %H:%M UTC'))"
{
    echo "benchmark|figure|goal|ratio to goal|verdict"
    for name in list_walk list_memory phone_list round_trip link_responsiveness link_reconnect \
        slow_share playlist_transfer; do
        grep -h '^SUMMARY|' "$results/$name.txt" | cut -d'|' -f2-
    done
} | column -t -s '|'
