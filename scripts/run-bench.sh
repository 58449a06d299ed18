#!/usr/bin/env bash
# Builds the bench preset (optimised) and runs the benchmarks: each scan or
# text run of the plug-in beside its limit, the host work it cannot avoid.
# Extra arguments go to Google Benchmark, e.g. --benchmark_filter=Text
# or --benchmark_repetitions=5. docs/performance.md tells how to read it.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset bench >/dev/null
cmake --build build/bench -j"${ORVO_BENCH_BUILD_JOBS:-2}" --target orvo_bench
exec build/bench/orvo_bench --benchmark_counters_tabular=true "$@"
