#!/usr/bin/env bash
# Builds everything and runs every test, warnings counting as errors: once in
# a plain build, the end-to-end command-line tests again under valgrind,
# everything once more under AddressSanitizer and UndefinedBehaviorSanitizer,
# the command line and its tests built once more with clang 14, the Windows
# program and its tests cross-built and run under Wine, then each fuzz target
# for 30 seconds. Each stage has a build folder of its own and
# names every option, whatever an earlier script left there.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh test
export QT_QPA_PLATFORM=offscreen
start=$SECONDS
stage() { echo "== $* (at $((SECONDS - start)) s)"; }

common=(-G Ninja -DTALLYRUN_WERROR=ON -DTALLYRUN_FUZZ=OFF)

stage "plain build and tests"
cmake -S . -B build "${common[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLYRUN_SANITIZE=OFF \
  -DTALLYRUN_BUILD_WINDOW=ON -DTALLYRUN_BUILD_TESTS=ON -DTALLYRUN_BUILD_BENCH=ON >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure

# The program itself runs in forked children, which valgrind follows through
# exec; -q keeps stderr to errors only, which the tests compare exactly.
# Valgrind writes on a descriptor of its own: some runs start the program
# with its standard streams closed.
stage "command-line tests under valgrind"
valgrind -q --trace-children=yes --error-exitcode=1 --leak-check=full --vgdb=no --log-fd=9 \
  build/tests/app_test --gtest_brief=1 9>&2

stage "sanitizers"
cmake -S . -B build-sanitize "${common[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTALLYRUN_SANITIZE=ON -DTALLYRUN_BUILD_WINDOW=ON -DTALLYRUN_BUILD_TESTS=ON \
  -DTALLYRUN_BUILD_BENCH=OFF >/dev/null
cmake --build build-sanitize
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-sanitize --output-on-failure

# A second compiler sees what the first lets pass. The window and its tests
# are left to GCC: building Qt code twice would add minutes for little.
stage "clang 14 build and tests"
CC=clang-14 CXX=clang++-14 cmake -S . -B build-clang "${common[@]}" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLYRUN_SANITIZE=OFF -DTALLYRUN_BUILD_WINDOW=OFF \
  -DTALLYRUN_BUILD_TESTS=ON -DTALLYRUN_BUILD_BENCH=ON >/dev/null
cmake --build build-clang
ctest --test-dir build-clang --output-on-failure

stage "Windows build and tests under Wine"
scripts/test-windows.sh

stage "fuzz targets"
scripts/fuzz.sh 30
stage "all passed"
