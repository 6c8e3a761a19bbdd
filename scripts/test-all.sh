#!/usr/bin/env bash
# Installs what the build and the tests need, then builds and runs every test
# twice: a normal build and one with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs" --timeout 600

cmake -S . -B build-san -DCMAKE_BUILD_TYPE=Debug -DKARVEL_SANITIZE=ON -DKARVEL_BUILD_BENCH=OFF
cmake --build build-san -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir build-san --output-on-failure -j"$jobs" --timeout 900
