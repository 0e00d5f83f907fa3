#!/usr/bin/env bash
# The panel serving scripts at the line's full rate (886 frames/s), in-process
# against the simulated laser (laserpanel-api-load), with clients in Python:
#   1. no client: the panel's own CPU;
#   2. ten subscribers: what they add (bound 3 % of one core);
#   3. one subscriber that stops reading: dropped, and the event loop's worst
#      lag (bound 20 ms).
# Usage: scripts/bench-api.sh [seconds per phase]   (default 30)
# Exit status: 0 within the bounds, 1 outside, 2 no run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"

bash scripts/deps.sh python3
dir=build/bench-api
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLASERPANEL_BUILD_TESTS=OFF >/dev/null
# The machine is shared; two jobs at most.
cmake --build "$dir" -j 2 --target laserpanel-api-load laser-sim

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
# A runtime folder of this run's own.
export XDG_RUNTIME_DIR="$work/run"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
client="python3 scripts/bench-api-client.py"

phase() {   # name clients mode
  local log="$work/$1.log"
  "$dir/bench/api-load/laserpanel-api-load" --seconds "$seconds" --clients "$2" > "$log" 2>&1 &
  local load=$!
  pids+=("$load")
  local deadline=$((SECONDS + 20))
  until grep -q '^port: ' "$log"; do
    [ "$SECONDS" -lt "$deadline" ] && kill -0 "$load" 2>/dev/null || { cat "$log"; echo "no panel" >&2; exit 2; }
    sleep 0.1
  done
  local port
  port=$(sed -n 's/^port: //p' "$log")
  for i in $(seq 1 "$2"); do
    $client "$port" "$3" "$((seconds + 5))" > "$work/$1-client$i.out" &
    pids+=("$!")
  done
  wait "$load"
  wait
  echo "--- $1"
  grep -v '^port: ' "$log"
  [ "$2" -gt 0 ] && echo "clients: $(cat "$work/$1"-client*.out | tr '\n' ' ')"
  return 0
}

echo "=== laserpanel bench-api: $seconds s a phase at 886 frames/s"
phase alone 0 count
phase subscribers 10 count
phase stalled 1 stall

cpu() { sed -n 's/^panel CPU: \([0-9.]*\) .*/\1/p' "$work/$1.log"; }
lag=$(sed -n 's/^worst event-loop lag: \([0-9]*\) ms/\1/p' "$work/stalled.log")
dropped=$(grep -c 'it stopped reading' "$work/stalled.log" || true)
awk -v a="$(cpu alone)" -v b="$(cpu subscribers)" -v lag="$lag" -v dropped="$dropped" 'BEGIN {
  printf "=== ten subscribers add %.2f %% of one core (%.2f %% alone, %.2f %% with them; bound 3 %%)\n", b - a, a, b
  verdict = (dropped > 0) ? "dropped" : "NOT dropped"
  printf "=== a client that stops reading: %s; worst event-loop lag %d ms (bound 20 ms)\n", verdict, lag
  exit (b - a <= 3.0 && lag < 20 && dropped > 0) ? 0 : 1
}'
