#!/usr/bin/env bash
# The library exports exactly ControlFactoryX at ordinal 1 and Version at ordinal 2, by plain name.
#   check-exports.sh DLL
set -euo pipefail
dump=$(i686-w64-mingw32-objdump -p "$1")
grep -q 'Ordinal Base 1' <<<"$dump" || { echo "check-exports: ordinal base is not 1"; exit 1; }
names=$(awk '/^\[Ordinal\/Name Pointer\] Table/ {inside=1; next} inside && /^\s*$/ {exit} inside {print}' <<<"$dump" |
  sed -n 's/^\s*\[ *\([0-9]*\)\] \(.*\)$/\1 \2/p')
expected=$'0 ControlFactoryX\n1 Version'
if [ "$names" != "$expected" ]; then
  echo "check-exports: unexpected exports:"; echo "$names"; exit 1
fi
echo "check-exports: ControlFactoryX at ordinal 1, Version at ordinal 2"
