#!/usr/bin/env bash
# Builds everything and runs every test: once in a plain build, the
# end-to-end command-line tests again under valgrind, everything once more
# under AddressSanitizer and UndefinedBehaviorSanitizer, then each fuzz
# target for 30 seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build -G Ninja >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure

# The program itself runs in forked children, which valgrind follows through
# exec; -q keeps stderr to errors only, which the tests compare exactly.
valgrind -q --trace-children=yes --error-exitcode=1 --leak-check=full --vgdb=no \
  build/tests/app_test --gtest_brief=1

cmake -S . -B build-sanitize -G Ninja -DTALLYRUN_SANITIZE=ON -DTALLYRUN_BUILD_BENCH=OFF >/dev/null
cmake --build build-sanitize
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-sanitize --output-on-failure

scripts/fuzz.sh 30
