#!/usr/bin/env bash
# Installs, builds and runs every test: once normally, once under AddressSanitizer
# and UndefinedBehaviorSanitizer; then runs the fuzz targets for a short while.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install.sh test
jobs=$(nproc)

cmake -S . -B build/main -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/main -j "$jobs"
ctest --test-dir build/main -j "$jobs" --output-on-failure

cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DQA_SANITIZE=ON -DQA_BENCH=OFF
cmake --build build/asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan -j "$jobs" --output-on-failure

# The concurrency test of the loopback server under ThreadSanitizer: the
# first race report ends the server process and fails the test.
cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQA_TSAN=ON -DQA_BENCH=OFF
cmake --build build/tsan -j "$jobs" --target test_e2e
TSAN_OPTIONS="halt_on_error=1 exitcode=66" \
  build/tsan/test_e2e --gtest_filter='ServerConcurrencyTest.*'

# Fuzzing: every target a short fixed time on its seed corpus (scripts/fuzz.sh).
cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DQA_FUZZ=ON -DQA_BENCH=OFF
cmake --build build/fuzz -j "$jobs" --target fuzz_all
bash scripts/fuzz.sh build/fuzz 15
