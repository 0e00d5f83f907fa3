#!/usr/bin/env bash
# Builds (Release) and runs the monitor's performance checks: the trend's
# redraw over a day of data, then the monitor at line rate with the trend
# shown and a recording running. Usage: scripts/bench-monitor.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

bash scripts/deps.sh libbenchmark-dev
dir=build/bench
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DLASERPANEL_BENCH=ON -DLASERPANEL_BUILD_TESTS=OFF >/dev/null
# The machine is shared; two jobs at most.
cmake --build "$dir" -j 2 --target bench_trend laserpanel-monitor-load

export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
echo "=== trend redraw, 24 h at 5 frames/s (bound: 20 ms)"
"$dir/bench/micro/bench_trend"
echo "=== monitor at 886 frames/s, trend and recording, ${seconds} s (bounds: 10 % CPU, 50 ms input)"
"$dir/bench/monitor-load/laserpanel-monitor-load" --seconds "$seconds" --span all
