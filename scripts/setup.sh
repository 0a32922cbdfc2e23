#!/usr/bin/env bash
# Installs the Debian packages Tallyrun needs, only those missing.
#   scripts/setup.sh run    building, running and packaging (the default)
#   scripts/setup.sh test   all of that, and what the tests, sanitizers and
#                           fuzzers need
set -euo pipefail

set_name=${1:-run}

# Building and running: compiler, CMake, Qt 6 Widgets, a Japanese face for
# the windows, and dpkg-shlibdeps for the package. libxkbcommon-dev only
# quietens Qt's optional keyboard-library search at configure time.
run_packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev libxkbcommon-dev fonts-ipafont-gothic
  dpkg-dev
)

# Testing: GoogleTest, clang 14 (second compiler and fuzzers), valgrind, a
# virtual display and the tools the screenshots use, a private session bus,
# the desktop-file checkers, lintian for the package, and the faces the
# windows are checked against.
test_packages=(
  libgtest-dev
  clang-14 libclang-rt-14-dev valgrind
  xvfb xauth imagemagick xdotool dbus-daemon dbus-x11
  desktop-file-utils appstream libglib2.0-bin man-db
  lintian
  fonts-noto-cjk fonts-vlgothic
  # Windows cross build (added with it): mingw-w64, wine, locales, nsis.
)

case "$set_name" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  *)
    echo "usage: $0 [run|test]" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
