#!/usr/bin/env bash
# On a machine with an NVIDIA GPU: builds the CUDA backend with its tests,
# runs the backend-neutral tests (generators, reader, the program-level
# differential tests and the harness's quick suite) on it, then the benchmark
# suite, and leaves the results table in bench-results/gpu/ (results.md).
#
#   bash scripts/gpu_check.sh            # default suite
#   bash scripts/gpu_check.sh --large    # arguments go to scripts/benchmark.py
#
# Environment: BUILD_DIR (default build-cuda), PG_CUDA_ARCHITECTURES (default
# the device's own, from nvidia-smi, else "80;90"), OUT (default bench-results/gpu).
set -euo pipefail
cd "$(dirname "$0")/.."
export PATH=/usr/local/cuda/bin:$PATH
build=${BUILD_DIR:-build-cuda}
out=${OUT:-bench-results/gpu}

if ! command -v nvidia-smi >/dev/null || ! nvidia-smi -L >/dev/null 2>&1; then
  echo "gpu_check: no NVIDIA GPU visible (nvidia-smi); nothing to check here" >&2
  exit 2
fi
nvidia-smi -L
if [ -z "${PG_CUDA_ARCHITECTURES:-}" ]; then
  # Only the device's architecture: a build for it alone is much shorter.
  cap=$(nvidia-smi --query-gpu=compute_cap --format=csv,noheader 2>/dev/null | head -1 | tr -d ' .')
  PG_CUDA_ARCHITECTURES=${cap:-80;90}
fi
mkdir -p "$out"

bash scripts/setup.sh
echo "== building the CUDA backend (architectures $PG_CUDA_ARCHITECTURES) in $build"
BUILD_DIR=$build PG_CUDA_ARCHITECTURES=$PG_CUDA_ARCHITECTURES bash scripts/build_cuda.sh \
  -DPG_BUILD_TESTS=ON -DPG_BUILD_BENCHMARKS=OFF

echo "== tests on the GPU"
status=0
ctest --test-dir "$build" -j"$(nproc)" --output-on-failure 2>&1 | tee "$out/ctest.log" || status=$?

echo "== benchmark"
bench_status=0
python3 scripts/benchmark.py --no-build --build-dir "$build" --out "$out" "$@" 2>&1 | tee "$out/benchmark.log" ||
  bench_status=$?
echo "results: $out/results.md (tests: status $status, benchmark: status $bench_status)"
[ "$status" -eq 0 ] && [ "$bench_status" -eq 0 ]
