#!/usr/bin/env bash
# Installs what is missing, builds both variants and runs every test, then the
# whole suite again under the sanitizers, then the fuzzers for 60 s in all.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh mosquitto mosquitto-clients

jobs=$(nproc 2>/dev/null || echo 2)
status=0
logs=(build/test-v1.3/ctest.log build/test-v1.2/ctest.log build/sanitize/ctest.log)
rm -f "${logs[@]}"
for variant in v1.3 v1.2; do
  dir="build/test-$variant"
  echo "=== laserpanel $variant: build"
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLASERPANEL_VARIANT="$variant" >/dev/null
  cmake --build "$dir" -j "$jobs"
  echo "=== laserpanel $variant: tests"
  (cd "$dir" && ctest --output-on-failure -j "$jobs") 2>&1 | tee "$dir/ctest.log" || status=1
done

bash scripts/sanitize.sh || status=1
fuzz=passed
bash scripts/fuzz.sh 60 || { status=1; fuzz=FAILED; }

# The runs' closing lines together, ctest's last, so that they end the output.
echo "=== laserpanel summary"
echo "fuzz_receive and fuzz_request (40 s + 20 s): $fuzz"
for log in "${logs[@]}"; do
  echo "--- ${log%/ctest.log}"
  grep -E '^[0-9]+% tests passed|^No tests were found' "$log" 2>/dev/null || echo "no ctest run"
done
exit $status
