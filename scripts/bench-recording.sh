#!/usr/bin/env bash
# Builds (Release) and measures opening a day's recording in the trend: a
# generated file of 432 000 status rows, as the panel's CSV and as JSON lines,
# opened as the trend's menu opens it, offscreen. Bounds: 3 s, peak memory
# within 2 × the file. Usage: scripts/bench-recording.sh [hours]
set -euo pipefail
cd "$(dirname "$0")/.."
hours="${1:-24}"

dir=build/bench
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DLASERPANEL_BUILD_TESTS=OFF >/dev/null
# The machine is shared; two jobs at most.
cmake --build "$dir" -j 2 --target laserpanel-recording-load
load="$dir/bench/recording-load/laserpanel-recording-load"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
status=0
for file in day.csv day.jsonl; do
  "$load" --generate "$work/$file" --hours "$hours"
  echo "=== $file, ${hours} h at 5 frames/s"
  "$load" "$work/$file" 2>/dev/null || status=1
done
exit $status
