#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only when missing.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev fonts-ipafont-gothic fonts-noto-cjk
  libgtest-dev
  clang-14 libclang-rt-14-dev valgrind
  xvfb xauth imagemagick xdotool dbus-daemon dbus-x11
  desktop-file-utils appstream libglib2.0-bin man-db
  dpkg-dev
)

# The Windows build and its tests (scripts/test-windows.sh): the MinGW-w64
# cross compiler, Wine, GoogleTest's sources for the cross build, and the
# Japanese locale that gives Wine code page 932 and Japanese date forms;
# NSIS for the installer, unzip to look into the portable zip.
packages+=(
  g++-mingw-w64-x86-64-posix wine wine64 googletest locales nsis unzip
)

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
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  if [ -f /etc/locale.gen ] && grep -q '^# *ja_JP.UTF-8 UTF-8' /etc/locale.gen; then
    $sudo sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  elif ! grep -qs '^ja_JP.UTF-8 UTF-8' /etc/locale.gen; then
    echo 'ja_JP.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  fi
  $sudo locale-gen
fi
