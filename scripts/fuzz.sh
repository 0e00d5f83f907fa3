#!/usr/bin/env bash
# Builds the fuzzers with clang and libFuzzer and runs them on copies of their
# seed corpora: the receive path for two thirds of the time, the panel's
# request path for the rest. A crash or a violated property fails the run;
# the input that caused it is left in build/fuzz/artifacts/.
# Usage: scripts/fuzz.sh [seconds]   (default 60 in all: 40 + 20)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

bash scripts/deps.sh clang libclang-rt-14-dev
source scripts/ccache.sh

jobs=$(nproc 2>/dev/null || echo 2)
dir=build/fuzz
echo "=== laserpanel fuzz: build"
CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLASERPANEL_FUZZ=ON -DLASERPANEL_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" -j "$jobs" --target fuzz_receive fuzz_request

# The committed seeds stay as they are; what the fuzzers find goes to the copies.
rm -rf "$dir/corpus" "$dir/request-corpus" "$dir/artifacts"
mkdir -p "$dir/artifacts"
cp -r tests/fuzz/corpus "$dir/corpus"
cp -r tests/fuzz/request-corpus "$dir/request-corpus"

status=0
run() {   # name seconds dictionary corpus
  echo "=== laserpanel fuzz: $1 for $2 s"
  local code=0
  "$dir/tests/fuzz/$1" -max_total_time="$2" -print_final_stats=1 -dict="$3" \
    -artifact_prefix="$dir/artifacts/$1-" "$4" >"$dir/$1.log" 2>&1 || code=$?
  if [ "$code" -ne 0 ]; then
    tail -n 60 "$dir/$1.log"
    echo "$1 FAILED (exit $code); inputs in $dir/artifacts/" >&2
    status=1
  else
    grep -E '^(Done|stat::)' "$dir/$1.log"
    echo "$1 passed: no crash in $2 s"
  fi
}
receive=$((seconds * 2 / 3))
run fuzz_receive "$receive" tests/fuzz/receive.dict "$dir/corpus"
run fuzz_request $((seconds - receive)) tests/fuzz/request.dict "$dir/request-corpus"
exit "$status"
