#!/bin/bash
# No file of a layer of src/ includes a header of a layer above it, nor of a peer. The layers, lowest
# first; folders joined by "+" are peers.
set -euo pipefail

src=${1:-src}
layers=(base log config plugins+host_interfaces talkback video control)

declare -A rank
for i in "${!layers[@]}"; do
  IFS=+ read -ra peers <<<"${layers[$i]}"
  for folder in "${peers[@]}"; do rank[$folder]=$i; done
done

status=0
for folder in "${!rank[@]}"; do
  for file in "$src/$folder"/*; do
    [ -f "$file" ] || continue
    while IFS= read -r included; do
      [ -n "${rank[$included]+set}" ] || continue
      if [ "$included" != "$folder" ] && [ "${rank[$included]}" -ge "${rank[$folder]}" ]; then
        echo "check-layers: $file includes $included/, which is not below $folder/"
        status=1
      fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([a-z_]*\)\/.*/\1/p' "$file")
  done
done
[ $status -eq 0 ] && echo "check-layers: every include of $src points down"
exit $status
