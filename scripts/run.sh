#!/usr/bin/env bash
# Builds Tallyrun in build-run/ and starts it; arguments are passed on (items
# to record). Every option is given each time, so whatever another script left
# in a build folder never changes what is built here.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh run
cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLYRUN_BUILD_WINDOW=ON \
  -DTALLYRUN_BUILD_TESTS=OFF -DTALLYRUN_BUILD_BENCH=OFF -DTALLYRUN_SANITIZE=OFF \
  -DTALLYRUN_FUZZ=OFF >/dev/null
cmake --build build-run
exec build-run/app/tallyrun "$@"
