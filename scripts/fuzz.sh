#!/usr/bin/env bash
# Builds the receive-path fuzzer with clang and libFuzzer and runs it on a copy
# of the seed corpus. A crash or a violated property fails the run; the input
# that caused it is left in build/fuzz/artifacts/.
# Usage: scripts/fuzz.sh [seconds]   (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

bash scripts/deps.sh clang libclang-rt-14-dev

jobs=$(nproc 2>/dev/null || echo 2)
dir=build/fuzz
echo "=== laserpanel fuzz: build"
CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLASERPANEL_FUZZ=ON -DLASERPANEL_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" -j "$jobs" --target fuzz_receive

# The committed seeds stay as they are; what the fuzzer finds goes to the copy.
rm -rf "$dir/corpus" "$dir/artifacts"
mkdir -p "$dir/artifacts"
cp -r fuzz/corpus "$dir/corpus"

echo "=== laserpanel fuzz: fuzz_receive for ${seconds} s"
status=0
"$dir/fuzz/fuzz_receive" -max_total_time="$seconds" -print_final_stats=1 \
  -dict=fuzz/receive.dict -artifact_prefix="$dir/artifacts/" "$dir/corpus" \
  >"$dir/fuzz.log" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
  tail -n 60 "$dir/fuzz.log"
  echo "fuzz_receive FAILED (exit $status); inputs in $dir/artifacts/" >&2
else
  grep -E '^(Done|stat::)' "$dir/fuzz.log"
  echo "fuzz_receive passed: no crash in ${seconds} s"
fi
exit "$status"
