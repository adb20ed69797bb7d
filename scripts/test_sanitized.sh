#!/usr/bin/env bash
# Builds the host backend with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs the whole test suite under them, leak checking on.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build=${BUILD_DIR:-build-asan}
cmake -S . -B "$build" -DPG_BACKEND=host -DPG_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPG_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$build" -j"$(nproc)" --output-on-failure
