#!/usr/bin/env bash
# Runs every fuzz target longer than the test command does, from its seed corpus, and prints
# how far each got. A failing input is saved under <build>/fuzz-work/<target>/crashes/; once
# fixed, copy it into fuzz/regressions/<target>/ so the test command replays it.
# Usage: bench/fuzz.sh [seconds per target, default 600] [build folder, default build-fuzz]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
build=${2:-$top/build-fuzz}

cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPXW_FUZZ=ON \
    -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" >/dev/null

status=0
for target in command_line_fuzz options_fuzz naming_fuzz windows_path_fuzz album_reader_fuzz; do
    work=$build/fuzz-work/$target
    mkdir -p "$work/corpus" "$work/crashes"
    log=$work/last-run.log
    if "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$work/crashes/" \
        "$work/corpus" "$top/fuzz/corpus/$target" >"$log" 2>&1; then
        result=clean
    else
        result="FAILED (see $log)"
        status=1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    printf '%-20s %s s: %s inputs, %s per second, corpus %s files: %s\n' "$target" "$seconds" \
        "${runs:-?}" "${speed:-?}" "$(ls "$work/corpus" | wc -l)" "$result"
done
exit $status
