#!/usr/bin/env bash
# Installs, builds and runs every test: once normally, once under AddressSanitizer
# and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install.sh
jobs=$(nproc)

cmake -S . -B build/main -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/main -j "$jobs"
ctest --test-dir build/main -j "$jobs" --output-on-failure

cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DQA_SANITIZE=ON -DQA_BENCH=OFF
cmake --build build/asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan -j "$jobs" --output-on-failure
