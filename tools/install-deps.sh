#!/usr/bin/env bash
# Installs what building and testing Hibarion needs, from Debian's packages. Safe to run
# again: it installs only what is missing.
set -euo pipefail

packages=(cmake ninja-build g++ libgtest-dev python3 pkg-config
          mingw-w64 wine wine32:i386 xvfb imagemagick
          clang libclang-rt-14-dev libsoxr-dev)

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
