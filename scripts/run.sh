#!/usr/bin/env bash
# Builds Tallyrun and starts it; arguments are passed on (items to record).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DTALLYRUN_BUILD_TESTS=OFF -DTALLYRUN_BUILD_BENCH=OFF >/dev/null
cmake --build build
exec build/app/tallyrun "$@"
