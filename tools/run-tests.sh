#!/usr/bin/env bash
# Runs every test of Hibarion on a fresh machine: installs what is missing, builds the
# host program and its unit tests, and runs them.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh

echo "== host build and unit tests"
cmake --preset host
cmake --build --preset host
ctest --preset host

echo "== Windows build and end-to-end tests under Wine"
cmake --preset windows
cmake --build --preset windows
ctest --preset windows

echo "== unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset host-asan
cmake --build --preset host-asan
ctest --preset host-asan

echo "== fuzz targets, a short run of each over its seed corpus"
cmake --preset fuzz
cmake --build --preset fuzz
ctest --preset fuzz
