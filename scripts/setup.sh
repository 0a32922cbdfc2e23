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
  # The Windows build and its tests (scripts/test-windows.sh): the MinGW-w64
  # cross compiler, Wine, GoogleTest's sources for the cross build, and the
  # Japanese locale that gives Wine code page 932 and Japanese date forms;
  # rsvg-convert and icoutils to make Tallyrun.exe's icon from the SVG (and
  # read it back); NSIS for the installer, unzip to look into the portable zip.
  g++-mingw-w64-x86-64-posix wine wine64 googletest locales librsvg2-bin icoutils nsis unzip
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
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The Japanese locale for Wine, generated once.
if [ "$set_name" = test ] && ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  if [ -f /etc/locale.gen ] && grep -q '^# *ja_JP.UTF-8 UTF-8' /etc/locale.gen; then
    $sudo sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  elif ! grep -qs '^ja_JP.UTF-8 UTF-8' /etc/locale.gen; then
    echo 'ja_JP.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  fi
  $sudo locale-gen
fi
