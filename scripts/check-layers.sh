#!/bin/bash
# Who may include what, and who may link what. Run from anywhere with the project's root as the argument.
#
# 1. No file of a layer of src/ includes a header of a layer above it, nor of a peer. The layers, lowest
#    first; folders joined by "+" are peers.
# 2. host/ (the host simulator) and outside/ (the stand-ins and the relay) sit beside the library, not on
#    it: they include the contract they share with it, a short list of shared helpers, and their own
#    folder's headers by plain name; nothing else of src/.
# 3. bench/ and fuzz/ include what they measure: headers of src/ and of tests/ (its doubles and tables),
#    and the fuzzers the relay's socket-free parsers by their path; never host/.
# 4. A header named without a folder is one of the including file's own folder: a plain name found only
#    on another folder's include path would pass every rule above unseen.
# 5. What each folder's CMake files link: a layer of src/ its own libraries and those of the layers below;
#    host/, outside/, fuzz/ and bench/ their own and a named list (the code behind the headers they may
#    include), so the relay never carries the library's log or plug-in loader.
# The configuration's fields are private to src/config: the compiler holds that rule. Its one opening
# for the tests (SrcConfigProbe) is named by tests/ alone.
set -euo pipefail

root=${1:-.}
src=$root/src
layers=(base log config plugins+host_interfaces talkback video control)
# The contract: the platform's types, the host's and the outside libraries' interfaces, the published
# configuration layout, the command vocabulary and its writer, the stream's vocabulary (talkback commands,
# player states, connection kinds and types), where the log lives.
contract=(base/platform.h host_interfaces/host_interfaces.h host_interfaces/term_interfaces.h
          plugins/outside_interfaces.h config/src_config.h video/command_format.h video/command_writer.h
          base/stream_vocabulary.h log/log_settings.h)
# Shared helpers: the log's escape rule, line writer, line lock and the writer it offers its plug-in (the
# library and the stand-ins write one file in one format), the failure lines (the library's and the relay's
# mark, which the simulator judges by), the reference count and the owning reference, big-endian reads, and
# for the simulator the registry reader, a module's file version and the URL parser (a script refuses the
# URLs the library would).
helpers=(log/log_escape.h log/log_line.h log/log_line_lock.h log/log_writer_offer.h log/failure_lines.h
         base/big_endian.h base/object_count.h base/com_object.h base/com_ref.h base/module_handle.h
         base/registry.h log/log_file.h config/url_parser.h)
# The relay's parsers, which the fuzzers hold against their references.
measured_outside=(outside/http_request_head.h outside/socks5_client.h)
# The libraries behind those headers: the platform layer and the configuration for every folder beside the
# library; the log (its file, registry and version helpers) and the command writer for the simulator; for
# the fuzzers the relay's parsers.
declare -A link_list=(
  [outside]="qel_base qel_config"
  [host]="qel_base qel_config qel_log qel_host_interfaces qel_command_writer"
  [fuzz]="qel_relay_net"
  [bench]=""
)

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
    [[ ${file#"$root"/} == fuzz/* ]] && [[ " ${measured_outside[*]} " == *" $included "* ]] && continue
    echo "check-layers: ${file#"$root"/} includes $included, which is not a header of src/ or tests/ it may measure"
    status=1
  done < <(includes_of "$file")
done < <(find "$root/bench" "$root/fuzz" -type f \( -name '*.[ch]' -o -name '*.cpp' \) | sort)

while IFS= read -r file; do
  while IFS= read -r included; do
    [[ $included == */* ]] && continue
    [ -f "$(dirname "$file")/$included" ] && continue
    echo "check-layers: ${file#"$root"/} includes $included by plain name, which is no header of its own folder"
    status=1
  done < <(includes_of "$file")
done < <(find "$src" "$root/host" "$root/outside" "$root/bench" "$root/fuzz" -type f \( -name '*.[ch]' -o -name '*.cpp' \) | sort)

# The CMake files of a folder: its own list and the parts it includes, without comments, as one line.
cmake_text() {
  cat "$1"/CMakeLists.txt "$1"/*.cmake 2>/dev/null | sed 's/#.*//' | tr '\n' ' '
}

# Every project library a folder's CMake files link: the names after the target in target_link_libraries,
# and those after LIBS in the project's own add functions.
links_of() {
  cmake_text "$1" | grep -oE '(target_link_libraries|qel_add_[a-z]+)\([^)]*\)' |
    sed -E 's/^target_link_libraries\([^ )]+//; s/^qel_add_[a-z]+\(.*LIBS//; s/^qel_add_[a-z]+\(.*//' |
    grep -oE '\bqel_[a-z0-9_]+\b|\bQelVorlaProxy\b' | sort -u
}

declare -A library_folder
for dir in "$src"/*/ "$root/outside" "$root/host" "$root/fuzz" "$root/bench"; do
  folder=${dir%/}
  folder=${folder#"$src"/}
  folder=${folder#"$root"/}
  while IFS= read -r library; do library_folder[$library]=$folder; done < <(
    cmake_text "$dir" | grep -oE 'add_library\([A-Za-z0-9_]+' | sed 's/add_library(//')
done

link_allowed() {
  local folder=$1 library=$2 owner=${library_folder[$2]-}
  [ "$owner" = "$folder" ] && return 0
  if [ -n "${rank[$folder]+set}" ]; then
    [ -n "$owner" ] && [ -n "${rank[$owner]+set}" ] && [ "${rank[$owner]}" -lt "${rank[$folder]}" ]
    return
  fi
  case " ${link_list[$folder]} " in *" $library "*) return 0 ;; esac
  # bench/ and fuzz/ also link what they measure of src/, and the tests' doubles and tables.
  [[ $folder == bench || $folder == fuzz ]] || return 1
  [ -z "$owner" ] || [ -n "${rank[$owner]+set}" ]
}

for folder in "${!rank[@]}" outside host fuzz bench; do
  dir=$root/$folder
  [ -n "${rank[$folder]+set}" ] && dir=$src/$folder
  while IFS= read -r library; do
    link_allowed "$folder" "$library" && continue
    echo "check-layers: ${dir#"$root"/}/ links $library, which is not on its list"
    status=1
  done < <(links_of "$dir")
done

while IFS= read -r file; do
  echo "check-layers: $file names SrcConfigProbe, the tests' opening on a configuration's fields"
  status=1
done < <(cd "$root" && grep -rlw --include='*.[ch]' --include='*.cpp' SrcConfigProbe src outside host bench fuzz sdk 2>/dev/null |
         grep -v '^src/config/src_config.h$')

[ $status -eq 0 ] && echo "check-layers: src/ includes and links downwards, host/ and outside/ the contract and shared helpers and their libraries, bench/ and fuzz/ what they measure; plain names are a folder's own"
exit $status
