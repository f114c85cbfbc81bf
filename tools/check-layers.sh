#!/usr/bin/env bash
# Fails when a source includes a header from a layer above its own. Each folder may
# include itself and the folders listed after it.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A below=(
  [core]=""
  [settings]="core"
  [signal]="core"
  [tokenizer]="core"
  [shell]="settings core resources"
  [cli]="signal tokenizer settings core"
)

status=0
for layer in "${!below[@]}"; do
  allowed="$layer ${below[$layer]}"
  while IFS= read -r line; do
    file=${line%%:*}
    included=$(sed -n 's/^#include "\([^/"]*\)\/.*/\1/p' <<<"${line#*:}")
    [[ -z $included ]] && continue
    if [[ " $allowed " != *" $included "* ]]; then
      echo "$file includes from $included/, above $layer/" >&2
      status=1
    fi
  done < <(grep -H '^#include "' "$layer"/*.cpp "$layer"/*.h)
done
exit $status
