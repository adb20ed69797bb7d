#!/usr/bin/env bash
# The device check, for a bare machine with an NVIDIA GPU: the CUDA toolkit,
# CMake and Python are there, GoogleTest, a package manager's network and
# Google Benchmark are not. In one go, inside a fixed time:
#
#   1. GoogleTest from .deps/ (Debian packages that travel with the tree,
#      fetched with scripts/fetch_gpu_deps.sh), unpacked with dpkg -x into a
#      private prefix; built from the carried sources instead when the
#      packaged libraries do not link with this machine's compiler;
#   2. configure and build the CUDA backend with its tests, for the device's
#      architecture only (Google Benchmark programs off);
#   3. the whole CTest suite (every test at most 60 s);
#   4. the short benchmark (scripts/benchmark.py --gpu: random, ladder,
#      jurdzinski and SCC games up to 10^6 nodes), each run capped and all
#      runs within a budget; games go to the work folder, never to $OUT.
#
# It writes at most 7 small files to $OUT (default bench-results/gpu-check):
# summary.md (the phases with their times and results), build.log (its tail),
# ctest.log, benchmark.md, benchmark.json, benchmark.log, time_vs_size.png.
# Exit status 0 when every phase passed.
#
#   bash scripts/gpu_check.sh
#   GPU_CHECK_DRY_RUN=1 bash scripts/gpu_check.sh    # proof without a GPU, see below
#
# Environment: OUT; BUILD_DIR (default build-gpu); GPU_CHECK_WORK (games,
# benchmark scratch, GoogleTest prefix; default /tmp/pg-gpu-check);
# PG_CUDA_ARCHITECTURES (default: the device's own, from nvidia-smi);
# GPU_CHECK_DEADLINE (seconds for the whole check, default 420): each phase
# gets at most what is left of it; GPU_CHECK_GTEST_FROM_SOURCE=1 builds
# GoogleTest from the carried sources even where the packaged libraries link.
#
# GPU_CHECK_DRY_RUN=1, for a machine without a GPU: the device query is
# skipped (architecture 90 unless PG_CUDA_ARCHITECTURES says otherwise), the
# CUDA backend is built exactly as on the device, CTest runs the tests that
# need no device (all but the program runs), and the benchmark runs the same
# suite on the host backend's programs (GPU_CHECK_HOST_BUILD, default build/,
# built when missing).
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
t_start=$(date +%s)
deadline=${GPU_CHECK_DEADLINE:-420}
dry=${GPU_CHECK_DRY_RUN:-0}
build=${BUILD_DIR:-build-gpu}
work=${GPU_CHECK_WORK:-/tmp/pg-gpu-check}
out=${OUT:-$root/bench-results/gpu-check}
jobs=$(nproc)
mkdir -p "$out" "$work"
logs=$work/logs
mkdir -p "$logs"

now() { date +%s; }
left() { echo $((deadline - ($(now) - t_start))); }
# Seconds a phase may take: its own cap, but never more than what is left
# after keeping `reserve` seconds for the phases after it.
phase_limit() {
  local cap=$1 reserve=$2 l
  l=$(($(left) - reserve))
  [ "$l" -lt "$cap" ] && cap=$l
  [ "$cap" -lt 10 ] && cap=10
  echo "$cap"
}

summary_rows=()
overall=0
phase_start=0
begin() {  # name, estimate on 16 cores
  phase_start=$(now)
  echo
  echo "== $1 (estimated on 16 cores: $2; $(left) s of the check left)"
}
finish() {  # name, status word, note
  local took=$(($(now) - phase_start))
  echo "-- $1: $2 in ${took} s${3:+ ($3)}"
  summary_rows+=("| $1 | $2 | $took | ${3:-} |")
  [ "$2" = ok ] || [ "$2" = skipped ] || overall=1
}

write_summary() {
  {
    echo "# Device check"
    echo
    echo "- date: $(date -u +%Y-%m-%dT%H:%M:%SZ)"
    echo "- commit: $(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo -)"
    echo "- mode: $([ "$dry" = 1 ] && echo 'dry run (no GPU: programs of the host backend)' || echo 'GPU')"
    echo "- device: ${device_name:--}"
    echo "- architectures: ${PG_CUDA_ARCHITECTURES:--}"
    echo "- nvcc: ${nvcc_version:--}"
    echo "- host compiler: $(c++ --version 2>/dev/null | head -1)"
    echo "- cmake: $(cmake --version 2>/dev/null | head -1)"
    echo "- cores: $jobs"
    echo "- GoogleTest: ${gtest_source:--}"
    echo
    echo "| phase | result | seconds | note |"
    echo "|---|---|---|---|"
    printf '%s\n' "${summary_rows[@]}"
    echo "| total | $([ $overall = 0 ] && echo ok || echo FAILED) | $(($(now) - t_start)) | |"
    if [ -n "${ctest_tail:-}" ]; then
      echo
      echo "## CTest"
      echo
      echo '```'
      echo "$ctest_tail"
      echo '```'
    fi
    if [ -f "$work/bench/results.md" ]; then
      echo
      sed -n '/^## Summary per program/,$p' "$work/bench/results.md"
    fi
  } >"$out/summary.md"
}

# ---------------------------------------------------------------- the device
begin "device" "1 s"
export PATH=/usr/local/cuda/bin:$PATH
nvcc=$(command -v nvcc || true)
nvcc_version=$([ -n "$nvcc" ] && "$nvcc" --version | tail -1)
if [ "$dry" = 1 ]; then
  device_name="none (dry run)"
  PG_CUDA_ARCHITECTURES=${PG_CUDA_ARCHITECTURES:-90}
  finish "device" skipped "dry run: no device query"
elif ! command -v nvidia-smi >/dev/null || ! nvidia-smi -L >/dev/null 2>&1; then
  device_name="none"
  finish "device" FAILED "no NVIDIA GPU visible to nvidia-smi"
  write_summary
  exit 2
else
  device_name=$(nvidia-smi --query-gpu=name,driver_version,memory.total --format=csv,noheader | head -1)
  if [ -z "${PG_CUDA_ARCHITECTURES:-}" ]; then
    # Only the device's architecture: a build for it alone is much shorter.
    cap=$(nvidia-smi --query-gpu=compute_cap --format=csv,noheader 2>/dev/null | head -1 | tr -d ' .')
    PG_CUDA_ARCHITECTURES=${cap:-90}
  fi
  finish "device" ok "$device_name"
fi
if [ -z "$nvcc" ]; then
  finish "toolkit" FAILED "nvcc not found (PATH and /usr/local/cuda/bin)"
  write_summary
  exit 2
fi
cuda_root=$(dirname "$(dirname "$(readlink -f "$nvcc")")")
cccl=""
for d in "$cuda_root/include/cccl" "$cuda_root/targets/x86_64-linux/include/cccl"; do
  [ -f "$d/thrust/version.h" ] && cccl=$d && break
done

# ---------------------------------------------------------------- GoogleTest
begin "googletest" "2 s from the packages, 10 s from the sources (20 s of CPU)"
prefix=$work/deps
gtest_dir=""
unpack() {
  rm -rf "$prefix" && mkdir -p "$prefix"
  local f
  for f in "$root"/.deps/*.deb; do
    [ -f "$f" ] || return 1
    if command -v dpkg >/dev/null; then
      dpkg -x "$f" "$prefix" || return 1
    else
      # Without dpkg: a .deb is an ar archive around a tar of the files.
      (cd "$prefix" && ar p "$f" "$(ar t "$f" | grep '^data\.tar')" | tar -x -a -f - 2>/dev/null ||
        ar p "$f" "$(ar t "$f" | grep '^data\.tar')" | tar -x --zstd -f - 2>/dev/null ||
        ar p "$f" "$(ar t "$f" | grep '^data\.tar')" | tar -x -J -f -) || return 1
    fi
  done
}
links() {  # does a test program link with the packaged libraries?
  local lib inc
  lib=$(dirname "$(find "$prefix" -name libgtest_main.a | head -1)")
  inc=$prefix/usr/include
  printf '#include <gtest/gtest.h>\nTEST(Carried, Links) { EXPECT_EQ(1, 1); }\n' >"$work/gtest_link.cpp"
  c++ -std=c++17 -I"$inc" "$work/gtest_link.cpp" "$lib/libgtest_main.a" "$lib/libgtest.a" -pthread \
    -o "$work/gtest_link" >"$logs/gtest_link.log" 2>&1 && "$work/gtest_link" >>"$logs/gtest_link.log" 2>&1
}
if [ -f /usr/include/gtest/gtest.h ] && ls /usr/lib/*/cmake/GTest/GTestConfig.cmake >/dev/null 2>&1 &&
  [ "${GPU_CHECK_GTEST_FROM_SOURCE:-0}" != 1 ] && [ "$dry" != 1 ]; then
  gtest_source="the machine's own"
  finish "googletest" ok "$gtest_source"
elif ! unpack; then
  gtest_source="missing"
  finish "googletest" FAILED "no usable .deps/*.deb: run scripts/fetch_gpu_deps.sh here and carry .deps"
  write_summary
  exit 1
elif [ "${GPU_CHECK_GTEST_FROM_SOURCE:-0}" != 1 ] && links; then
  gtest_dir=$(dirname "$(find "$prefix" -name GTestConfig.cmake | head -1)")
  gtest_source="carried Debian packages ($(ls "$root"/.deps/ | tr '\n' ' '))"
  finish "googletest" ok "packaged libraries"
else
  # The sources of the same version travel in the googletest package.
  src=$prefix/usr/src/googletest
  gen=(); command -v ninja >/dev/null && gen=(-G Ninja)
  if cmake -S "$src" -B "$work/gtest-build" "${gen[@]}" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_INSTALL_PREFIX="$work/gtest" >"$logs/gtest_build.log" 2>&1 &&
    cmake --build "$work/gtest-build" -j"$jobs" >>"$logs/gtest_build.log" 2>&1 &&
    cmake --install "$work/gtest-build" >>"$logs/gtest_build.log" 2>&1; then
    gtest_dir=$(dirname "$(find "$work/gtest" -name GTestConfig.cmake | head -1)")
    gtest_source="built from the carried sources ($(ls "$root"/.deps/ | tr '\n' ' '))"
    finish "googletest" ok "built from the carried sources"
  else
    gtest_source="failed to build"
    tail -40 "$logs/gtest_build.log"
    finish "googletest" FAILED "building the carried sources failed (see build.log)"
    tail -200 "$logs/gtest_build.log" >"$out/build.log"
    write_summary
    exit 1
  fi
fi

# ---------------------------------------------------------------- configure and build
begin "configure" "15 s (the CUDA compiler's checks)"
gen=(); command -v ninja >/dev/null && gen=(-G Ninja)
cfg=(-DPG_BACKEND=cuda -DPG_CUDA_ARCHITECTURES="$PG_CUDA_ARCHITECTURES" -DCMAKE_BUILD_TYPE=Release
  -DPG_BUILD_TESTS=ON -DPG_BUILD_BENCHMARKS=OFF -DCMAKE_CUDA_COMPILER="$nvcc")
[ -n "$cccl" ] && cfg+=(-DPG_CCCL_INCLUDE_DIR="$cccl")
[ -n "$gtest_dir" ] && cfg+=(-DGTest_DIR="$gtest_dir")
# A build folder made by another generator cannot be reused.
if [ -f "$build/CMakeCache.txt" ] && ! grep -q "CMAKE_GENERATOR:INTERNAL=${gen[1]:-Unix Makefiles}" "$build/CMakeCache.txt"; then
  rm -rf "$build"
fi
if timeout "$(phase_limit 120 300)" cmake -S . -B "$build" "${gen[@]}" "${cfg[@]}" >"$logs/build.log" 2>&1; then
  finish "configure" ok
  configured=1
else
  finish "configure" FAILED "see build.log"
  configured=0
fi

built=0
if [ $configured = 1 ]; then
  begin "build" "60 s (about 96 steps; the longest, a Thrust-heavy unit, 15 s of CPU)"
  limit=$(phase_limit "${GPU_CHECK_BUILD_CAP:-300}" 180)
  timeout "$limit" cmake --build "$build" -j"$jobs" >>"$logs/build.log" 2>&1
  status=$?
  if [ $status = 0 ]; then
    built=1
    finish "build" ok "$(grep -c -i 'warning' "$logs/build.log") lines with warnings"
  else
    grep -n -i -m 20 -B2 -A8 'error' "$logs/build.log" | tail -60
    finish "build" FAILED "status $status (124: over ${limit} s); see build.log"
  fi
fi
tail -300 "$logs/build.log" >"$out/build.log"

# ---------------------------------------------------------------- tests
if [ $built = 1 ]; then
  begin "ctest" "40 s (every program started about 160 times, each with a CUDA context)"
  exclude=()
  # Without a device only the tests that start no program can pass.
  [ "$dry" = 1 ] && exclude=(-E 'Differential|benchmark_harness_quick_suite')
  limit=$(phase_limit 180 150)
  timeout "$limit" ctest --test-dir "$build" -j"$jobs" --timeout 60 --output-on-failure "${exclude[@]}" \
    >"$out/ctest.log" 2>&1
  status=$?
  ctest_tail=$(grep -E '^[0-9]+% tests passed|^Total Test time|^\s+[0-9]+ - .*\((Failed|Timeout|Not Run|Exception)\)' \
    "$out/ctest.log" | head -30)
  echo "$ctest_tail"
  if [ $status = 0 ]; then
    finish "ctest" ok "$(grep -E '^[0-9]+% tests passed' "$out/ctest.log")${exclude:+; dry run: program runs left out}"
  else
    finish "ctest" FAILED "status $status; $(grep -E '^[0-9]+% tests passed' "$out/ctest.log" || echo "stopped after ${limit} s")"
  fi
else
  summary_rows+=("| ctest | skipped | 0 | no build |")
fi

# ---------------------------------------------------------------- benchmark
bench_build=$build
if [ "$dry" = 1 ]; then
  bench_build=${GPU_CHECK_HOST_BUILD:-$root/build}
  if [ ! -x "$bench_build/bin/Vantor" ] || [ ! -x "$bench_build/bin/pggen" ]; then
    echo "dry run: building the host backend's programs in $bench_build"
    cmake -S . -B "$bench_build" -DPG_BACKEND=host -DCMAKE_BUILD_TYPE=Release >/dev/null &&
      cmake --build "$bench_build" -j"$jobs" --target pggen pgrun Vantor pgsolver_recursive Korrel \
        pgsolver_spm_wl pgsolver_spm pgsolver_simple_spm_wl pgsolver_spm_oan pgsolver_simple_spm_oan \
        pgsolver_range_spm >/dev/null
  fi
fi
if [ $built = 1 ] || [ "$dry" = 1 ]; then
  begin "benchmark" "150 s: the budget, games generated first"
  rm -rf "$work/bench/scratch" "$work/bench/results.md" "$work/bench/results.json"
  # The budget covers generating the games (outside $OUT, in the work
  # folder) and the runs; the plot and the tables follow it.
  budget=$(phase_limit "${GPU_CHECK_BENCH_BUDGET:-150}" 45)
  # Without matplotlib no plot: the harness would try pip, and there is no network.
  plot=(); python3 -c 'import matplotlib' 2>/dev/null || plot=(--no-plot)
  timeout $((budget + 40)) env PYTHONUNBUFFERED=1 python3 scripts/benchmark.py --gpu --no-build "${plot[@]}" \
    --build-dir "$bench_build" --out "$work/bench" --timeout 20 --budget "$budget" >"$out/benchmark.log" 2>&1
  status=$?
  for f in results.md:benchmark.md results.json:benchmark.json time_vs_size.png:time_vs_size.png; do
    [ -f "$work/bench/${f%%:*}" ] && cp "$work/bench/${f%%:*}" "$out/${f##*:}"
  done
  runs=$(grep -c -E ' (ok|FAIL|unchecked|timeout|error|skipped)' "$out/benchmark.log")
  if [ $status = 0 ]; then
    finish "benchmark" ok "$runs runs, budget ${budget} s, 20 s per run"
  else
    finish "benchmark" FAILED "status $status (1: a wrong answer, 124: over $((budget + 40)) s); $runs runs"
  fi
fi

write_summary
echo
cat "$out/summary.md"
exit $overall
