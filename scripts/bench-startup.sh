#!/usr/bin/env bash
# Start-up time of the panel against a bare QMainWindow, side by side on the
# offscreen platform: from the program's start to the first pass of its event
# loop after the window is shown, the median of N paired runs (default 20),
# and the difference, which is bounded at 20 ms. The panel's
# form alone on a bare window is measured in the same turns, for what its
# widgets and texts cost without any of the panel's code.
# Usage: scripts/bench-startup.sh [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-20}"

bash scripts/deps.sh libbenchmark-dev
dir=build/bench
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DLASERPANEL_BENCH=ON -DLASERPANEL_BUILD_TESTS=OFF >/dev/null
# The machine is shared; two jobs at most.
cmake --build "$dir" -j 2 --target laserpanel bench_startup_bare bench_startup_form >/dev/null

export QT_QPA_PLATFORM=offscreen
# Settings, caches and a runtime folder of their own, the same for all three.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"

bare="$dir/bench/micro/bench_startup_bare" form="$dir/bench/micro/bench_startup_form" panel="$dir/app/laserpanel"
# ms from the launch to the time the program prints at its first pass.
startup() {
  local start=$EPOCHREALTIME end
  end=$(LASERPANEL_EXIT_AT_START=1 "$1" 2>>"$work/stderr.log") \
    || { echo "$1 failed:" >&2; cat "$work/stderr.log" >&2; exit 1; }
  awk -v s="${start/[.,]/}" -v e="$end" 'BEGIN { printf "%.2f\n", (e - s) / 1000 }'
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

# One run each first, unmeasured, so that all start from warm caches.
for p in "$bare" "$form" "$panel"; do startup "$p" >/dev/null; done
: >"$work/bare" && : >"$work/form" && : >"$work/panel"
for ((i = 0; i < runs; ++i)); do
  # Taking turns at going first, so that none always follows another.
  if ((i % 2)); then order=(panel form bare); else order=(bare form panel); fi
  for name in "${order[@]}"; do startup "${!name}" >>"$work/$name"; done
done
b=$(median <"$work/bare") f=$(median <"$work/form") p=$(median <"$work/panel")
printf 'bare QMainWindow     %6.1f ms\n' "$b"
printf 'form alone           %6.1f ms  (%+.1f ms on bare)\n' "$f" "$(awk -v a="$f" -v b="$b" 'BEGIN { print a - b }')"
printf 'laserpanel           %6.1f ms  (%+.1f ms on bare, bound +20 ms)\n' "$p" "$(awk -v a="$p" -v b="$b" 'BEGIN { print a - b }')"
echo "medians of $runs paired runs, offscreen, to the first pass of the event loop"
