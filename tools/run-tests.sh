#!/usr/bin/env bash
# Runs every test of Hibarion on a fresh machine: installs what is missing, then runs five
# sections (host, Windows, sanitizers, fuzz, web page). A failing section does not stop the
# others: each one's result is summed up at the end, and the exit status is non-zero if any
# failed.
set -uo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh || exit 1

host_section() {
  cmake --preset host
  cmake --build --preset host
  ctest --preset host
}

# The product, the i686 Hibarion.exe and its ZIP, is built in every run. Its end-to-end
# cases need a machine that runs 32-bit programs; where none runs ("Exec format error"
# from the i386 loader), the same cases drive the x86_64 build of the same sources under
# wine64 instead, against the same references.
# A section's remark for the summary, kept in a file: the section runs in a subshell.
section_note=$(mktemp)
trap 'rm -f "$section_note"' EXIT
say_driven() { echo "$1"; echo "$1" >"$section_note"; }

windows_section() {
  cmake --preset windows
  cmake --build --preset windows
  cmake --build --preset windows --target package
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    say_driven "end-to-end: Hibarion.exe (i686) under wine32"
    ctest --preset windows
  elif /usr/lib/wine/wine64 --version >/dev/null 2>&1; then
    say_driven "end-to-end: x86_64 build under wine64 (this machine runs no 32-bit programs)"
    cmake --preset windows64
    cmake --build --preset windows64
    ctest --preset windows64
  else
    say_driven "end-to-end: cannot run, neither /usr/lib/wine/wine nor /usr/lib/wine/wine64 starts here"
    return 1
  fi
}

asan_section() {
  cmake --preset host-asan
  cmake --build --preset host-asan
  ctest --preset host-asan
}

fuzz_section() {
  cmake --preset fuzz
  cmake --build --preset fuzz
  ctest --preset fuzz
}

web_section() {
  bash tests/web/run-web-tests.sh
}

summary=()
passed=0
failed=0
run_section() {
  local title=$1 function=$2
  echo "== $title"
  # A subshell of its own with -e: the section's first failing step ends it.
  : >"$section_note"
  (set -e; "$function")
  local status=$?
  local detail
  detail=$(cat "$section_note")
  if ((status == 0)); then
    summary+=("passed  $title${detail:+ ($detail)}")
    passed=$((passed + 1))
  else
    summary+=("FAILED  $title${detail:+ ($detail)}")
    failed=$((failed + 1))
  fi
}

run_section "host build and unit tests" host_section
run_section "Windows build and end-to-end tests under Wine" windows_section
run_section "unit tests under AddressSanitizer and UndefinedBehaviorSanitizer" asan_section
run_section "fuzz targets, a short run of each over its seed corpus" fuzz_section
run_section "web page in headless Chromium" web_section

echo "== summary"
printf '%s\n' "${summary[@]}"
echo "sections: $passed passed, $failed failed"
((failed == 0))
