#!/usr/bin/env bash
# Runs one fuzz target for a bounded time: first every committed seed (a
# regression input that fails again fails the test), then new inputs.
# Usage: run_fuzz.sh <target> <seed folder> <work folder> <seconds>
# New inputs go to <work folder>/corpus, a failing input to <work folder>.
set -uo pipefail

target=$1
seeds=$2
work=$3
seconds=$4

mkdir -p "$work/corpus"
# Full stacks for every allocation, slower but needed for the suppressions:
# Qt is built without frame pointers, and a fast stack ends at its first frame.
# A failed allocation returns null as it does outside ASan, so that Qt's
# std::bad_alloc (a damaged settings file) reaches the code that handles it.
export ASAN_OPTIONS=${ASAN_OPTIONS:-allocator_may_return_null=1:detect_leaks=1:check_initialization_order=1:fast_unwind_on_malloc=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

# A fixed seed makes a test run repeatable: the same inputs in the same order,
# as far as the time allows. LTXG_FUZZ_SEED=0 lets libFuzzer pick one.
"$target" -seed="${LTXG_FUZZ_SEED:-1}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
    -print_final_stats=1 -artifact_prefix="$work/" "$work/corpus" "$seeds" 2>"$work/log"
status=$?
if [ $status -ne 0 ]; then
    tail -n 80 "$work/log"
    echo "FAIL: $(basename "$target") exited with status $status"
    exit $status
fi
grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb|^Done|^INFO: seed corpus' "$work/log"
