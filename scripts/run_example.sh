#!/usr/bin/env bash
# Builds the host backend and solves the bundled example game with Vantor.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DPG_BACKEND=host -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target Vantor
"$build/bin/Vantor" "${1:-examples/small.pg}"
