#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs them; extra arguments go to the
# benchmark, e.g. --benchmark_filter=receive/max_chunk:1
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh libbenchmark-dev

jobs=$(nproc 2>/dev/null || echo 2)
dir=build/bench
echo "=== laserpanel bench: build"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DLASERPANEL_BENCH=ON -DLASERPANEL_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" -j "$jobs" --target bench_receive

echo "=== laserpanel bench: receive path"
"$dir/bench/micro/bench_receive" --benchmark_counters_tabular=true "$@"
