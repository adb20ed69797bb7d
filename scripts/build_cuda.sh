#!/usr/bin/env bash
# Builds the programs with nvcc for real GPUs (compiles everywhere; runs where
# a GPU exists). Architectures: PG_CUDA_ARCHITECTURES, default "80;90".
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-cuda}
cmake -S . -B "$build" -DPG_BACKEND=cuda -DPG_CUDA_ARCHITECTURES="${PG_CUDA_ARCHITECTURES:-80;90}" \
  -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
