#!/usr/bin/env bash
# Installs what is missing, builds the panel and starts it.
# Usage: scripts/run.sh [v1.3|v1.2]
set -euo pipefail
cd "$(dirname "$0")/.."
variant="${1:-v1.3}"

bash scripts/deps.sh
dir="build/$variant"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLASERPANEL_VARIANT="$variant" -DLASERPANEL_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" -j "$(nproc 2>/dev/null || echo 2)" --target laserpanel
exec "$dir/app/laserpanel"
