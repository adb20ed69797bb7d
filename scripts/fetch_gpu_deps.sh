#!/usr/bin/env bash
# Fetches what scripts/gpu_check.sh needs on a machine without network or
# GoogleTest into .deps/ (git-ignored; the device call carries it): the
# Debian packages of GoogleTest's libraries, headers and CMake files
# (libgtest-dev, libgmock-dev: find_package(GTest) checks the gmock
# libraries too) and of its sources (googletest), from which the check
# builds the libraries when the packaged ones do not link there. About 1 MB.
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p .deps
cd .deps
rm -f ./*.deb
apt-get download libgtest-dev libgmock-dev googletest
ls -l
