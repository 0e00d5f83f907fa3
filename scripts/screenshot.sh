#!/usr/bin/env bash
# Regenerates docs/panel.png: the panel live against the simulated laser, on a
# virtual display. The port is typed and Open clicked with real keyboard and
# mouse events (xdotool), as an operator would.
# Usage: scripts/screenshot.sh [v1.3|v1.2] [output.png]   (defaults v1.3, docs/panel.png)
# English: LANGUAGE=en bash scripts/screenshot.sh v1.3 docs/panel-en.png
set -euo pipefail
cd "$(dirname "$0")/.."
variant="${1:-v1.3}"
out="${2:-docs/panel.png}"
[[ $out = /* ]] || out="$(pwd)/$out"

bash scripts/deps.sh xvfb xauth xdotool x11-utils imagemagick
dir="build/$variant"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLASERPANEL_VARIANT="$variant" -DLASERPANEL_BUILD_TESTS=OFF >/dev/null
# The machine may be shared; two jobs at most.
cmake --build "$dir" -j 2 --target laserpanel laser-sim

work="$(mktemp -d)"
# Short enough to show whole in the port field.
link=/tmp/laserpanel-shot
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A short time constant, so the TEC locks within the wait below.
"$dir/laser-sim/laser-sim" --link "$link" --variant "$variant" --tau 0.3 >"$work/sim.log" &
sim_pid=$!
for _ in $(seq 50); do grep -q '^link: ' "$work/sim.log" && break; sleep 0.1; done
grep -q '^link: ' "$work/sim.log" || { echo "laser-sim did not start" >&2; exit 1; }

# xvfb-run hands its DISPLAY and XAUTHORITY to its child only, so everything
# that talks to the display runs in this script, as that child.
cat >"$work/inner.sh" <<'INNER'
set -euo pipefail
panel="$1" link="$2" log="$3" out="$4"
# Every widget a window of its own, so the port field and Open can be found
# on the display; the panel looks the same.
QT_USE_NATIVE_WINDOWS=1 "$panel" &
panel_pid=$!
trap 'kill "$panel_pid" 2>/dev/null || true' EXIT

# By process: the title is translated on an English desktop.
win=$(timeout 20 xdotool search --sync --onlyvisible --pid "$panel_pid" | head -1)
# Direct children of a window as "x y width height" (absolute), one a line.
children() {
  xwininfo -children -id "$1" | awk '/^ +0x/ {
    for (i = 1; i <= NF; i++)
      if ($i ~ /^[0-9]+x[0-9]+[-+]/ && $(i + 1) ~ /^[-+]/) {
        split($i, s, /[x+-]/); split($(i + 1), a, /[+]/)
        print a[2], a[3], s[1], s[2]
      }
  }'
}
centre() { awk '{ print $1 + int($3 / 2), $2 + int($4 / 2) }'; }
central=$(xwininfo -children -id "$win" | awk '/^ +0x/ { print $1; exit }')
# The top group is the port row: the COM: label, the port field, Open, Close, ...
top=$(xwininfo -children -id "$central" | awk '/^ +0x/ { print $1 }' | while read -r w; do
  echo "$(xwininfo -id "$w" | awk '/Absolute upper-left Y/ { print $NF }') $w"; done | sort -n | head -1 | cut -d' ' -f2)
row=$(children "$top" | sort -n)
read -r field_x field_y < <(sed -n 2p <<<"$row" | centre)
read -r open_x open_y < <(sed -n 3p <<<"$row" | centre)

xdotool mousemove "$field_x" "$field_y" click 1
xdotool key ctrl+a
xdotool type --delay 20 "$link"
xdotool key Escape   # a completion popup, if any
xdotool mousemove "$open_x" "$open_y" click 1

# The simulator sees the panel open the line; then a few 500 ms refreshes.
for _ in $(seq 50); do grep -q '^reader: open' "$log" && break; sleep 0.1; done
grep -q '^reader: open' "$log" || { echo "the panel did not open $link" >&2; exit 1; }
sleep 2.5
import -window "$win" "$out"
INNER

mkdir -p "$(dirname "$out")"
xvfb-run -a -s '-screen 0 800x700x24' \
  bash "$work/inner.sh" "$dir/app/laserpanel" "$link" "$work/sim.log" "$out"
echo "wrote $out"
