#!/usr/bin/env bash
# Installs what is missing, builds both variants and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
status=0
for variant in v1.3 v1.2; do
  dir="build/test-$variant"
  echo "=== laserpanel $variant: build"
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLASERPANEL_VARIANT="$variant" >/dev/null
  cmake --build "$dir" -j "$jobs"
  echo "=== laserpanel $variant: tests"
  (cd "$dir" && ctest --output-on-failure -j "$jobs") || status=1
done
exit $status
