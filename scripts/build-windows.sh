#!/usr/bin/env bash
# Builds Tallyrun.exe for 64-bit Windows with the MinGW-w64 cross compiler:
# one statically linked file, build-windows/bin/Tallyrun.exe.
# Usage: scripts/build-windows.sh [build folder, default build-windows]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-windows}
# The toolchain is taken once, when the build folder is made.
toolchain=()
[ -f "$build/CMakeCache.txt" ] ||
  toolchain=(-G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake)
cmake -S . -B "$build" "${toolchain[@]}" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target tallyrun
echo "$build/bin/Tallyrun.exe"
