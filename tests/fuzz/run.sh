#!/usr/bin/env bash
# Runs each fuzz target of a fuzz build for a bounded time from the seed
# corpus, and reports its executions and executions per second. A fault stops
# the target; its input is kept under BUILD_DIR/fuzz-artifacts and printed in
# hex, and the script fails. The input replays alone with
# BUILD_DIR/tests/fuzz/fuzz_TARGET FILE.
#
#   run.sh BUILD_DIR SECONDS_PER_TARGET
#
# The fuzz build: CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DVFFT_FUZZ=ON
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
# A smaller quarantine keeps the resident size of the kept reference states
# well below the fuzzer's limit.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=64:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
status=0
for target in interface differential; do
    mkdir -p "$work/$target"
    log="$work/$target.log"
    if ! "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=30 -max_len=1024 \
        -print_final_stats=1 -artifact_prefix="$artifacts/$target-" \
        "$work/$target" "$here/corpus/$target" >"$log" 2>&1; then
        status=1
        tail -n 80 "$log"
        for input in "$artifacts/$target-"*; do
            [ -f "$input" ] || continue
            echo "reproducer $input:"
            od -An -tx1 -v "$input"
        done
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log")
    echo "fuzz_$target: ${runs:-?} executions in ${seconds} s, ${rate:-?} per second, peak ${rss:-?} MB"
done
exit $status
