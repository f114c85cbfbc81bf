#!/usr/bin/env bash
# Builds the web page and the command-line program, then drives the page in Debian's
# headless Chromium against the program's own outputs (tests/web/page_test.mjs).
#   tests/web/run-web-tests.sh [--screenshots FOLDER]
set -euo pipefail
cd "$(dirname "$0")/../.."

cmake --preset host >/dev/null
cmake --build --preset host --target hibarion
bash tools/build-web.sh
# puppeteer-core only, from the lockfile; it downloads no browser.
(cd tests/web && npm ci --no-audit --no-fund --loglevel=error)
node tests/web/page_test.mjs build/web build/host/hibarion build/web-test "$@"
