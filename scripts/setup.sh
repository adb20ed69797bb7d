#!/usr/bin/env bash
# Installs what the build needs when it is missing (Debian packages); the CUDA
# toolkit itself must already be there (/usr/local/cuda).
set -euo pipefail
missing=()
[ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev libgmock-dev)
[ -f /usr/include/benchmark/benchmark.h ] || missing+=(libbenchmark-dev)
[ -f /usr/include/zlib.h ] || missing+=(zlib1g-dev)
[ -f /usr/include/bzlib.h ] || missing+=(libbz2-dev)
# The compressed-input tests make their files with the command-line tools.
command -v gzip >/dev/null || missing+=(gzip)
command -v bzip2 >/dev/null || missing+=(bzip2)
command -v cmake >/dev/null || missing+=(cmake)
command -v g++ >/dev/null || missing+=(g++)
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
fi
if [ ! -f /usr/local/cuda/include/cccl/thrust/version.h ]; then
  echo "The CUDA toolkit (with Thrust in /usr/local/cuda/include/cccl) is required." >&2
  exit 1
fi
