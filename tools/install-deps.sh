#!/usr/bin/env bash
# Installs what building and testing Hibarion needs, from Debian's packages. Safe to run
# again: it installs only what is missing.
#
#   tools/install-deps.sh        everything: host build, Windows build, Wine, fuzzers,
#                                minimodem (the peer of the robustness table)
#   tools/install-deps.sh host   only what the host program and its tests need
#   tools/install-deps.sh web    only what the web page and its test need: emscripten,
#                                Chromium, Node.js and npm, besides the host program
set -euo pipefail

host_packages=(cmake ninja-build g++ libgtest-dev python3 pkg-config libsndfile1-dev lintian
               gettext locales)
other_packages=(mingw-w64 wine wine32:i386 wine64 xvfb imagemagick clang libclang-rt-14-dev
                fonts-ipafont-gothic minimodem)

# A Node.js from elsewhere (NodeSource's) brings its own npm, which Debian's npm would
# conflict with.
web_packages=(emscripten chromium nodejs)
if ! command -v npm >/dev/null; then web_packages+=(npm); fi

packages=("${host_packages[@]}")
case "${1:-all}" in
  host) ;;
  web) packages+=("${web_packages[@]}") ;;
  *) packages+=("${other_packages[@]}" "${web_packages[@]}") ;;
esac

sudo=()
if [[ "$(id -u)" != 0 ]]; then sudo=(sudo); fi

if [[ " ${packages[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo[@]}" dpkg --add-architecture i386
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}"
fi

# The glibc locale ja_JP.UTF-8 itself, not only its name: the command line's messages
# in Japanese are tested under it, and Wine under code page 932 cannot open file names
# outside ASCII without it. de_DE.UTF-8, whose decimal point is a comma, lets the tests
# show that number text ignores the C locale.
for name in ja_JP de_DE; do
  if ! locale -a 2>/dev/null | grep -qix "$name.utf8"; then
    echo "generating the locale $name.UTF-8"
    "${sudo[@]}" localedef -i "$name" -c -f UTF-8 "$name.UTF-8"
  fi
done
