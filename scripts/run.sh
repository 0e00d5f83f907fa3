#!/usr/bin/env bash
# Installs what is missing, builds the panel, laserctl and the simulated laser
# (all that `cmake --install` puts in place, and the simulator), and starts the
# panel and the simulator: the panel talks to it over a pseudo-terminal.
# Usage: scripts/run.sh [v1.3|v1.2] [laser-sim options...]
#   e.g. scripts/run.sh --hangup-after 5,  scripts/run.sh v1.2 --fault pump
set -euo pipefail
cd "$(dirname "$0")/.."
variant=v1.3
case "${1:-}" in v1.*) variant=$1; shift ;; esac
# The link the panel is told to open: the simulator's own option wins.
link=/tmp/laserpanel-sim
previous=
for arg in "$@"; do
  case "$arg" in --link=*) link=${arg#--link=} ;; esac
  [ "$previous" = --link ] && link=$arg
  previous=$arg
done

bash scripts/deps.sh
dir="build/$variant"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLASERPANEL_VARIANT="$variant" -DLASERPANEL_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" -j "$(nproc 2>/dev/null || echo 2)" --target laserpanel laserctl laser-sim

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat >&2 <<MSG
No display: the panel is a desktop window and needs an X11 or Wayland session.
The build is ready. To run it on a virtual display instead:
  sudo apt-get install xvfb      # once
  xvfb-run -a bash scripts/run.sh $variant $*
xvfb-run gives its DISPLAY and XAUTHORITY to its own child only (another shell gets
"Authorization required"), so take a screenshot from inside that child once the
window is there, for example (sudo apt-get install xdotool imagemagick):
  xvfb-run -a -s '-screen 0 800x700x24' bash -c 'bash scripts/run.sh $variant &
    timeout 900 xdotool search --sync --onlyvisible --class laserpanel >/dev/null && import -window root shot.png'
scripts/screenshot.sh goes further: it opens the simulated laser in the panel and
writes docs/panel.png.
MSG
  exit 2
fi

"$dir/laser-sim/laser-sim" --link "$link" --variant "$variant" "$@" &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true' EXIT
# Started: alive, and the link leads to the pseudo-terminal it holds open
# (past its standard streams), not to one a killed run left.
started() {
  kill -0 "$sim" 2>/dev/null || return 1
  local target fd
  target=$(readlink -e "$link") || return 1
  for fd in /proc/"$sim"/fd/*; do
    [ "${fd##*/}" -gt 2 ] && [ "$(readlink "$fd")" = "$target" ] && return 0
  done
  return 1
}
for _ in $(seq 50); do
  started && break
  kill -0 "$sim" 2>/dev/null || break
  sleep 0.1
done
if ! started; then
  echo "run.sh: the simulated laser did not start (its reason is above); not starting the panel." >&2
  exit 1
fi

echo
echo "Simulated laser ready. In the panel, type  $link  into the COM: field and press Open."
echo "Commands the simulator receives are printed here. Close the panel window to stop both."
echo
"$dir/app/laserpanel"
