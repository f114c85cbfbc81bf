#!/usr/bin/env bash
# Builds the web page into build/web/: index.html, its style, its scripts and the
# conversions compiled to WebAssembly with emscripten from the same sources as the
# program. Serve that folder as plain files, e.g. python3 -m http.server -d build/web.
# Objects are kept in build/web-objects/ and made again only when their source changed.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v em++ >/dev/null; then
  echo "build-web.sh: em++ is missing; run: bash tools/install-deps.sh web" >&2
  exit 1
fi
# emscripten's JavaScript optimizer needs Debian's node modules, which a Node.js from
# another source does not find by itself.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}

page=build/web
objects=build/web-objects
mkdir -p "$page" "$objects/cp932"

# The conversions without what the browser does instead: libsndfile's reading of
# recording files (the page decodes them with Web Audio) and the AVX2 lanes.
sources=(core/*.cpp settings/settings_file.cpp settings/number_text.cpp signal/*.cpp
         tokenizer/*.cpp shell/window_messages.cpp web/*.cpp)
skipped=" core/lanes_avx2.cpp signal/recording_file.cpp signal/memory_file.cpp "

# clang compiles literals only as UTF-8: the sources are compiled from copies with every
# code page 932 byte written as an escape, by the fuzz build's own tool.
escape=$objects/escape_cp932
if [[ ! $escape -nt tests/fuzz/escape_cp932.cpp ]]; then
  c++ -std=c++17 -O2 -o "$escape" tests/fuzz/escape_cp932.cpp
fi
if [[ ! $objects/cp932_table.h -nt web/make_cp932_table.py ]]; then
  python3 web/make_cp932_table.py "$objects/cp932_table.h"
fi

export escape objects
export flags="-std=c++17 -O2 -Wall -Wextra -ffp-contract=off -fno-fast-math -I. -I$objects"
compile() {
  local escaped=$objects/cp932/$1 object=$objects/${1%.cpp}.o
  mkdir -p "$(dirname "$escaped")" "$(dirname "$object")"
  "$escape" "$1" "$escaped"
  echo "em++ $1"
  # shellcheck disable=SC2086
  em++ $flags -c "$escaped" -o "$object"
}
export -f compile

# Headers are not followed one by one: a newer header makes every object again.
newest_header=$(ls -t core/*.h settings/*.h signal/*.h tokenizer/*.h shell/window_messages.h \
                    "$objects/cp932_table.h" | head -1)
object_list=()
stale=()
for source in "${sources[@]}"; do
  [[ $skipped == *" $source "* ]] && continue
  object=$objects/${source%.cpp}.o
  object_list+=("$object")
  [[ $object -nt $source && $object -nt $newest_header ]] || stale+=("$source")
done
if ((${#stale[@]})); then
  printf '%s\n' "${stale[@]}" | xargs -P "$(nproc)" -I{} bash -c 'compile {}'
fi

em++ -O2 -o "$page/hibarion.js" "${object_list[@]}" \
  -sENVIRONMENT=web -sMODULARIZE -sEXPORT_ES6 -sEXPORT_NAME=Hibarion \
  -sALLOW_MEMORY_GROWTH -sMAXIMUM_MEMORY=2GB \
  -sEXPORTED_FUNCTIONS=_malloc,_free \
  -sEXPORTED_RUNTIME_METHODS=FS,UTF8ToString,stringToUTF8,lengthBytesUTF8,HEAPU8,HEAPF32,HEAPF64

cp web/index.html web/*.css web/*.js "$page/"
echo "build-web.sh: the page is in $page/"
