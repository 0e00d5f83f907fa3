#!/usr/bin/env bash
# Installs what is missing, builds the soak harness and runs it: the real window
# against the simulated laser at line rate, then many Open/Close cycles.
# Usage: scripts/soak.sh [seconds] [cycles] [--record FILE]   (defaults 60 and 1000)
# --record shows the trend and records every frame during the line-rate phase.
# Exit status: 0 nothing lost and memory bounded, 1 a figure out of bounds, 2 no run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
cycles="${2:-1000}"

bash scripts/deps.sh
dir=build/soak
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLASERPANEL_BUILD_TESTS=OFF >/dev/null
# The machine is shared; two jobs at most.
cmake --build "$dir" -j 2 --target laserpanel-soak laser-sim

# The soak sends commands; their working points go to a folder of its own.
export XDG_CONFIG_HOME="$dir/config" XDG_DATA_HOME="$dir/data"
echo "=== laserpanel soak: ${seconds} s at line rate, ${cycles} Open/Close cycles"
QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" "$dir/bench/soak/laserpanel-soak" \
  --seconds "$seconds" --cycles "$cycles" "${@:3}"
