#!/usr/bin/env bash
# Builds everything with AddressSanitizer, LeakSanitizer and UBSan and runs the
# whole test suite under them; any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
source scripts/ccache.sh

jobs=$(nproc 2>/dev/null || echo 2)
dir=build/sanitize
echo "=== laserpanel sanitize: build"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLASERPANEL_VARIANT=v1.3 \
  -DLASERPANEL_SANITIZE=ON -DLASERPANEL_BUILD_TESTS=ON -DLASERPANEL_BOTH_VARIANTS=OFF \
  -DLASERPANEL_HARNESSES=OFF >/dev/null
cmake --build "$dir" -j "$jobs"

echo "=== laserpanel sanitize: tests"
# Full unwinding on malloc: Qt's libraries have no frame pointers, and the
# suppressions match frames deep in the allocation stack.
export ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
cd "$dir"
ctest --output-on-failure -j $((jobs * 2)) 2>&1 | tee ctest.log
