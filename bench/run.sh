#!/usr/bin/env bash
# Builds an optimised, unsanitised tree in build-bench/ and runs every benchmark
# in it; exits non-zero when any of them misses its target.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTALLYRUN_SANITIZE=OFF -DTALLYRUN_BUILD_TESTS=OFF -DTALLYRUN_BUILD_BENCH=ON >/dev/null
cmake --build build-bench -j2

failed=()
while read -r name; do
  [ -n "$name" ] || continue
  echo
  build-bench/bench/"$name" || failed+=("$name")
done <build-bench/bench/benchmarks.txt

echo
if [ ${#failed[@]} -gt 0 ]; then
  echo "Missed a target: ${failed[*]}"
  exit 1
fi
echo "Every benchmark met its target."
