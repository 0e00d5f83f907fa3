#!/usr/bin/env bash
# Installs what is missing, builds both variants in one tree and runs every
# test, then the whole suite again under the sanitizers, then the fuzzers for
# 60 s in all.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh ccache
# A rerun, or another checkout on the same machine, compiles only what changed.
source scripts/ccache.sh

jobs=$(nproc 2>/dev/null || echo 2)
status=0
dir=build/test
logs=("$dir/ctest.log" build/sanitize/ctest.log)
rm -f "${logs[@]}"
times=()
phase() { times+=("$1 $((SECONDS - start)) s"); start=$SECONDS; }
start=$SECONDS
echo "=== laserpanel v1.3 and v1.2: build"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j "$jobs"
phase build
echo "=== laserpanel v1.3 and v1.2: tests"
# Most tests wait on a line or a child process more than they compute.
(cd "$dir" && ctest --output-on-failure -j $((jobs * 2))) 2>&1 | tee "$dir/ctest.log" || status=1
phase tests

bash scripts/sanitize.sh || status=1
phase sanitizers
fuzz=passed
bash scripts/fuzz.sh 60 || { status=1; fuzz=FAILED; }
phase fuzzing

# The runs' closing lines together, ctest's last, so that they end the output.
echo "=== laserpanel summary"
echo "time: ${times[*]}; ${SECONDS} s in all"
echo "fuzz_receive and fuzz_request (40 s + 20 s): $fuzz"
for log in "${logs[@]}"; do
  echo "--- ${log%/ctest.log}"
  grep -E '^[0-9]+% tests passed|^No tests were found' "$log" 2>/dev/null || echo "no ctest run"
done
exit $status
