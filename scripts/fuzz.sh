#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each in turn for N seconds
# (default 30), or only the targets named: scripts/fuzz.sh [seconds [target...]].
# New inputs the fuzzer finds are kept in build-fuzz/corpus; the committed
# seeds are only read. A failing input is left in build-fuzz/ and the script
# fails.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
shift $(($# > 0 ? 1 : 0))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(log_reader_fuzzer profile_fuzzer)
scripts/setup.sh test

CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DTALLYRUN_FUZZ=ON \
  -DTALLYRUN_BUILD_WINDOW=OFF -DTALLYRUN_BUILD_TESTS=OFF -DTALLYRUN_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz

for target in "${targets[@]}"; do
  corpus="build-fuzz/corpus/$target"
  log="build-fuzz/$target.log"
  mkdir -p "$corpus"
  echo "== $target for ${seconds}s"
  if ! "build-fuzz/tests/fuzz/$target" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="build-fuzz/$target-" \
      "$corpus" "tests/fuzz/corpus/$target" >"$log" 2>&1; then
    tail -n 40 "$log"
    exit 1
  fi
  grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$log"
done
