#!/usr/bin/env bash
# Runs every fuzz target for a while: fuzz.sh <fuzz build dir> <seconds per target>
# Each target starts from a copy of fuzz/corpus/<target> in a scratch directory, so the repository
# is never written to. Fails when any target finds a crash, and keeps that run's directory.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -ne 2 ]; then
    echo "usage: $0 <fuzz build dir> <seconds per target>" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
seconds=$2

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tessel-fuzz.XXXXXX")
failed=0
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

for source in "$root"/fuzz/fuzz_*.cpp; do
    target=$(basename "$source" .cpp)
    binary=$build/fuzz/$target
    if [ ! -x "$binary" ]; then
        echo "fuzz $target: not built in $build" >&2
        failed=1
        continue
    fi
    work=$scratch/$target
    mkdir -p "$work/corpus" "$work/artifacts"
    cp -R "$root/fuzz/corpus/$target/." "$work/corpus/" 2>/dev/null || true
    status=0
    (cd "$work" && "$binary" -max_total_time="$seconds" -max_len=65536 -timeout=30 \
        -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$work/corpus" >"$work/log" 2>&1) ||
        status=$?
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1)
    crashes=$(find "$work/artifacts" -type f | wc -l)
    if [ "$status" -ne 0 ] || [ "$crashes" -ne 0 ]; then
        echo "fuzz $target: ${executions:-?} executions, $((crashes > 0 ? crashes : 1)) crashes" \
            "(exit $status; log $work/log, inputs in $work/artifacts)" >&2
        tail -n 40 "$work/log" >&2
        failed=1
    else
        echo "fuzz $target: $executions executions, 0 crashes"
    fi
done

if [ "$failed" -eq 0 ]; then
    rm -rf "$scratch"
fi
exit "$failed"
