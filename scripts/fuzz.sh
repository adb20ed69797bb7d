#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time
# (FUZZ_SECONDS, default 60) on a scratch copy of its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
build=${BUILD_DIR:-build-fuzz}
CXX=clang++ CC=clang cmake -S . -B "$build" -DPG_BUILD_FUZZERS=ON -DPG_BUILD_TESTS=OFF \
  -DPG_BUILD_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target fuzzers
for target in "$build"/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus=fuzz/corpus/${name#fuzz_}
  work=$(mktemp -d)
  cp -r "$corpus"/. "$work"/
  echo "== $name for ${seconds}s"
  # New crashes land in the build folder; the committed corpus stays as it is.
  status=0
  ASAN_OPTIONS=detect_leaks=1 "$target" -max_total_time="$seconds" -artifact_prefix="$build/" "$work" \
    >"$build/$name.log" 2>&1 || status=$?
  grep -E "^(#[0-9]+.*DONE|Done|==[0-9]+==ERROR|SUMMARY)|invariant" "$build/$name.log" || true
  rm -rf "$work"
  if [ "$status" -ne 0 ]; then
    echo "$name failed (status $status); see $build/$name.log" >&2
    exit "$status"
  fi
done
