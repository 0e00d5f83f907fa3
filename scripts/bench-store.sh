#!/usr/bin/env bash
# How long a working-point store that cannot be used holds the thread that
# sends (the panel's GUI thread): a FIFO at its path, a lock held by another
# process in an open write transaction, a read-only folder, random bytes, and
# a healthy store for comparison (bench/store-wait).
# Usage: scripts/bench-store.sh [rounds]   (default 20)
# Exit status: 0 when Open and send stay within 250 ms and every frame was
# sent, 1 otherwise, 2 no run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh python3
source scripts/ccache.sh
dir=build/bench-store
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLASERPANEL_BUILD_TESTS=OFF >/dev/null
# The machine is shared; two jobs at most.
cmake --build "$dir" -j 2 --target laserpanel-store-wait
work=$(mktemp -d)
trap 'chattr -i "$work/data/laserpanel" 2>/dev/null; rm -rf "$work"' EXIT
XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" "$dir/bench/store-wait/laserpanel-store-wait" "${1:-20}"
