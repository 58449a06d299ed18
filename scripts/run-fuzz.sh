#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer, AddressSanitizer, UBSan) and runs
# every fuzz target for a bounded time, starting from its seed corpus in
# tests/fuzz/corpus/NAME. Fails on the first finding; the input that found
# it is left in build/fuzz/findings/ for a regression test.
#   scripts/run-fuzz.sh [SECONDS_PER_TARGET] [TARGET...]   (default 60, all)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
shift || true
jobs="${ORVO_FUZZ_BUILD_JOBS:-2}"

cmake --preset fuzz >/dev/null
cmake --build build/fuzz -j"$jobs" --target orvo_fuzz_targets

if [ "$#" -gt 0 ]; then
    targets=("$@")
else
    targets=()
    for source in tests/fuzz/fuzz_*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi

mkdir -p build/fuzz/findings
status=0
passed=0
failed=0
for target in "${targets[@]}"; do
    seeds="tests/fuzz/corpus/${target#fuzz_}"
    work="build/fuzz/corpus/${target#fuzz_}"
    mkdir -p "$work"
    echo "== $target for ${seconds}s"
    # New inputs go to the scratch corpus; the committed seeds stay as they are.
    if ! ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:symbolize=1" \
         UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
         "build/fuzz/$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 \
             -print_final_stats=1 -artifact_prefix="build/fuzz/findings/$target-" \
             "$work" "$seeds" 2> "build/fuzz/$target.log"; then
        echo "FINDING: $target (log build/fuzz/$target.log, input in build/fuzz/findings/)"
        tail -40 "build/fuzz/$target.log"
        status=1
        failed=$((failed + 1))
    else
        grep -E "Done [0-9]+ runs" "build/fuzz/$target.log" | tail -1 || true
        passed=$((passed + 1))
    fi
done
echo "fuzz: $passed passed, $failed failed"
exit "$status"
