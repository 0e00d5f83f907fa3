#!/usr/bin/env bash
# laserctl monitor at the line's full rate (886 status frames/s) from the
# simulated laser: frames lost and CPU used.
# Usage: scripts/bench-laserctl.sh [seconds] [monitor options...]
#   e.g. scripts/bench-laserctl.sh 60 --json   (defaults: 60, text lines)
# Exit status: 0 no frame lost and at most 3 % of one core, 1 otherwise, 2 no run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
rate=886

bash scripts/deps.sh
dir=build/bench-laserctl
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLASERPANEL_BUILD_TESTS=OFF >/dev/null
# The machine is shared; two jobs at most.
cmake --build "$dir" -j 2 --target laserctl laser-sim

work=$(mktemp -d)
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

frames=$((rate * seconds))
# Started from a subshell, so it is not our child: bash's `time` counts the
# children reaped while it runs, and would add the simulator's CPU to laserctl's.
sim_pid=$("$dir/laser-sim/laser-sim" --link "$work/laser" --rate "$rate" --count "$frames" > "$work/sim.log" 2>&1 & echo $!)
deadline=$((SECONDS + 10))
until grep -q '^link: ' "$work/sim.log"; do
  [ "$SECONDS" -lt "$deadline" ] || { echo "the simulated laser did not start" >&2; exit 2; }
  sleep 0.05
done

echo "=== laserctl monitor${*:+ $*} at $rate frames/s for $seconds s"
# The simulator starts sending when laserctl opens the port and hangs up after
# the last frame, which ends laserctl (exit 8, link lost).
TIMEFORMAT='%U %S %R'
{ time "$dir/laserctl/laserctl" monitor -p "$work/laser" "$@" > "$work/out" 2> "$work/laserctl.log" || true; } 2> "$work/time"
deadline=$((SECONDS + 30))
until grep -q '^sent: ' "$work/sim.log"; do
  [ "$SECONDS" -lt "$deadline" ] || { echo "the simulated laser did not finish" >&2; exit 2; }
  sleep 0.1
done
sim_pid=

sent=$(sed -n 's/^sent: //p' "$work/sim.log")
received=$(grep -c 'status\|current ' "$work/out" || true)
read -r user sys real < "$work/time"
awk -v sent="$sent" -v received="$received" -v user="$user" -v sys="$sys" -v real="$real" 'BEGIN {
  lost = sent - received
  cpu = 100 * (user + sys) / real
  printf "frames sent %d, received %d, lost %d\n", sent, received, lost
  printf "laserctl CPU: %.2f s user + %.2f s system over %.1f s = %.2f %% of one core\n", user, sys, real, cpu
  exit (lost == 0 && cpu <= 3.0) ? 0 : 1
}'
