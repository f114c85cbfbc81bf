#!/usr/bin/env bash
# Runs the Windows program's end-to-end cases under Wine on a virtual display.
#
#   run-e2e.sh setup   STATE SOURCE ARCH               start Xvfb and Wine, make references
#   run-e2e.sh case    STATE SOURCE ARCH NAME DRIVER PROGRAM_DIR   run one case of the driver
#   run-e2e.sh cleanup STATE SOURCE ARCH               stop what setup started
#
# ARCH is win32 for the i686 program under wine32, win64 for the x86_64 build under
# wine64. STATE is this suite's folder in the build tree: the Wine prefix (kept between
# runs), the display's number, the host build that makes the reference files, and one
# fresh work folder per case. Every step is bounded in time.
set -euo pipefail

action=$1
mkdir -p "$2"
state=$(cd "$2" && pwd)
source=$(cd "$3" && pwd)
arch=$4

# The loader is named outright: /usr/bin/wine and the wineboot script pick the 32-bit
# loader whenever wine32 is installed, even on a machine that cannot start it.
case $arch in
  win32) loader=/usr/lib/wine/wine; driven="Hibarion.exe (i686) under wine32" ;;
  win64) loader=/usr/lib/wine/wine64; driven="x86_64 build under wine64"
         export WINELOADER=$loader ;;
  *) echo "unknown Wine architecture $arch" >&2; exit 2 ;;
esac

prefix=$state/prefix
export WINEPREFIX=$prefix WINEARCH=$arch WINEDEBUG=-all
# No Mono or Gecko installers (nothing here needs them, and they would ask), and no menu
# entries or file associations written to the user's desktop.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# Code page 932 for Wine's processes: Wine takes it from the locale's name, and needs the
# glibc locale itself (tools/install-deps.sh makes it) to reach file names outside ASCII.
wine_env() { env LC_ALL=ja_JP.UTF-8 "$@"; }

# Unix path to the Windows path Wine maps it to (drive Z: is the root).
windows_path() { local path; path=$(cd "$1" && pwd); printf 'Z:%s' "${path//\//\\}"; }

use_display() {
  [[ -s $state/display ]] || { echo "no display: did e2e_setup run?" >&2; exit 1; }
  export DISPLAY=:$(cat "$state/display")
}

stop_all() {
  if [[ -d $prefix ]]; then timeout 30 wineserver -k 2>/dev/null || true; fi
  if [[ -s $state/xvfb.pid ]]; then
    local pid; pid=$(cat "$state/xvfb.pid")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  fi
  rm -f "$state/xvfb.pid" "$state/display"
}

setup() {
  stop_all
  rm -rf "$state/work"

  # A display of its own: Xvfb picks a free number and writes it to fd 3.
  : > "$state/display"
  setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp \
    3>"$state/display" </dev/null >"$state/xvfb.log" 2>&1 &
  echo $! > "$state/xvfb.pid"
  for _ in $(seq 100); do [[ -s $state/display ]] && break; sleep 0.1; done
  use_display
  echo "end-to-end: $driven, display $DISPLAY"
  if ! "$loader" --version >/dev/null 2>&1; then
    echo "$loader cannot run here: $("$loader" --version 2>&1 | head -1)" >&2
    exit 1
  fi

  # The host build's outputs are what the Windows program must match; built while Wine
  # prepares its prefix.
  (cmake -S "$source" -B "$state/host" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DHIBARION_TESTS=OFF >"$state/host.log" 2>&1 &&
   cmake --build "$state/host" --target hibarion >>"$state/host.log" 2>&1) &
  local host=$!

  if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
    echo "the locale ja_JP.UTF-8 is missing: run tools/install-deps.sh" >&2
    exit 1
  fi

  # The prefix is made once and kept; making it starts Wine's services, which must end
  # before the Wine server of the cases starts them anew. The stamp names this script's
  # way of making it, so that a prefix made another way is made anew.
  local stamp=$prefix/hibarion-prefix-$arch
  if [[ ! -f $stamp ]]; then
    rm -rf "$prefix"
    echo "making the $arch Wine prefix"
    wine_env timeout 180 "$loader" wineboot -i >"$state/wineboot.log" 2>&1
    # A crash ends the program at once instead of waiting on a dialog. There is no
    # window manager, so Wine is to place and hide its windows itself, without waiting
    # for one to answer.
    wine_env timeout 60 "$loader" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog \
      /t REG_DWORD /d 0 /f >>"$state/wineboot.log" 2>&1
    wine_env timeout 60 "$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed \
      /d N /f >>"$state/wineboot.log" 2>&1
    # For the screenshots: Wine's own frame fonts, which this Wine does not find by
    # itself, and a proportional Japanese font for the dialog's "ＭＳ Ｐゴシック".
    cp /usr/share/wine/fonts/{marlett,tahoma,tahomabd}.ttf "$prefix/drive_c/windows/Fonts/"
    wine_env timeout 60 "$loader" reg add \
      'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
      /v 'ＭＳ Ｐゴシック' /d IPAPGothic /f >>"$state/wineboot.log" 2>&1
    timeout 60 wineserver -w
    touch "$stamp"
  fi
  # One Wine server and one set of Wine's services for every case, kept until cleanup.
  wine_env setsid wineserver -p </dev/null >"$state/wineserver.log" 2>&1
  wine_env timeout 60 "$loader" wineboot >>"$state/wineboot.log" 2>&1

  if ! wait "$host"; then cat "$state/host.log"; exit 1; fi
  python3 "$source/tests/e2e/make_references.py" "$state/host/hibarion" "$state/data" \
    "$source/examples/HELLO.p6"
}

run_case() {
  local name=$1 driver=$2 program=$3
  use_display
  local work=$state/work/$name
  rm -rf "$work"
  mkdir -p "$work"
  wine_env timeout 150 "$loader" "$driver" "$name" "$(windows_path "$work")" \
    "$(windows_path "$program")" "$(windows_path "$state/data")"

  # The screenshots for the documentation, cropped to the window by the driver.
  local shot
  for shot in "$work"/screenshot-*.bmp; do
    [[ -f $shot ]] || continue
    convert "$shot" -strip "$source/docs/$(basename "${shot%.bmp}").png"
  done
}

case $action in
  setup) setup ;;
  case) run_case "$5" "$6" "$7" ;;
  cleanup) stop_all ;;
  *) echo "unknown action $action" >&2; exit 2 ;;
esac
