#!/bin/bash
# Who may include what, and who may take a source configuration's lock. Run from anywhere with the
# project's root as the argument.
#
# 1. No file of a layer of src/ includes a header of a layer above it, nor of a peer. The layers, lowest
#    first; folders joined by "+" are peers.
# 2. host/ (the host simulator) and outside/ (the stand-ins and the relay) sit beside the library, not on
#    it: they include the contract they share with it, a short list of shared helpers, and their own
#    folder's headers by plain name; nothing else of src/.
# 3. bench/ and fuzz/ include what they measure: headers of src/ and of tests/ (its doubles and tables),
#    never host/ or a folder of outside/ by name.
# 4. Only src/config names m_cs, the configuration's lock: everything else reads and writes a
#    configuration through its locked members. Exempt by design: what is written against the published
#    layout from the plug-in's side, which takes the lock as a plug-in does: the C plug-in stand-in, the
#    plug-in kit (its header and example) and the tests that hold either to the layout.
set -euo pipefail

root=${1:-.}
src=$root/src
layers=(base log config plugins+host_interfaces talkback video control)
# The contract: the platform's types, the host's and the outside libraries' interfaces, the published
# configuration layout, the command vocabulary and its writer, where the log lives.
contract=(base/platform.h host_interfaces/host_interfaces.h host_interfaces/term_interfaces.h
          plugins/outside_interfaces.h config/src_config.h video/command_format.h video/command_writer.h
          log/log_settings.h)
# Shared helpers: the log's escape rule, line writer, line lock and the writer it offers its plug-in (the
# library and the stand-ins write one file in one format), the failure lines (the library's and the relay's
# mark, which the simulator judges by), the reference count and the owning reference, big-endian reads, and
# for the simulator the registry reader, a module's file version and the URL parser (a script refuses the
# URLs the library would).
helpers=(log/log_escape.h log/log_line.h log/log_line_lock.h log/log_writer_offer.h log/failure_lines.h
         base/big_endian.h base/object_count.h base/com_ref.h base/registry.h log/log_file.h config/url_parser.h)
lock_owner=src/config
lock_exempt=(outside/c_proxy_standin.c tests/c_plugin sdk tests/sdk)

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

includes_of() {
  sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$1"
}

allowed_beside() {
  local included=$1 header
  [[ $included != */* ]] && return 0  # the folder's own header
  for header in "${contract[@]}" "${helpers[@]}"; do [ "$included" = "$header" ] && return 0; done
  return 1
}

while IFS= read -r file; do
  while IFS= read -r included; do
    allowed_beside "$included" && continue
    echo "check-layers: ${file#"$root"/} includes $included, which is neither contract nor shared helper"
    status=1
  done < <(includes_of "$file")
done < <(find "$root/host" "$root/outside" -type f \( -name '*.[ch]' -o -name '*.cpp' \) | sort)

while IFS= read -r file; do
  while IFS= read -r included; do
    [[ $included != */* ]] && continue
    folder=${included%%/*}
    [ -n "${rank[$folder]+set}" ] && continue
    [ "$folder" != host ] && [ "$folder" != outside ] && [ -d "$root/tests/$folder" ] && continue
    echo "check-layers: ${file#"$root"/} includes $included, which is not a header of src/ or tests/"
    status=1
  done < <(includes_of "$file")
done < <(find "$root/bench" "$root/fuzz" -type f \( -name '*.[ch]' -o -name '*.cpp' \) | sort)

is_lock_exempt() {
  local relative=$1 exempt
  [[ $relative == "$lock_owner"/* ]] && return 0
  for exempt in "${lock_exempt[@]}"; do
    [[ $relative == "$exempt" || $relative == "$exempt"/* ]] && return 0
  done
  return 1
}

while IFS= read -r file; do
  relative=${file#"$root"/}
  is_lock_exempt "$relative" && continue
  echo "check-layers: $relative names m_cs, the configuration's lock, outside $lock_owner"
  status=1
done < <(cd "$root" && grep -rlw --include='*.[ch]' --include='*.cpp' m_cs src outside host tests bench fuzz sdk 2>/dev/null |
         sed "s|^|$root/|")

[ $status -eq 0 ] && echo "check-layers: src/ includes downwards, host/ and outside/ the contract and shared helpers, bench/ and fuzz/ what they measure; only $lock_owner takes m_cs"
exit $status
