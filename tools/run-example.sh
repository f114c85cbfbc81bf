#!/usr/bin/env bash
# Builds the command-line program and converts the bundled example tape image, a small
# BASIC program, into a recording and a listing in out/example/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh host
cmake --preset host >/dev/null
cmake --build --preset host --target hibarion

mkdir -p out/example
cp examples/HELLO.p6 out/example/
build/host/hibarion out/example/HELLO.p6
echo
echo "The listing, out/example/HELLO.txt (Shift-JIS):"
iconv -f CP932 -t UTF-8 out/example/HELLO.txt
echo
echo "Decode the recording back into a tape image with:"
echo "  build/host/hibarion out/example/HELLO_.wav"
