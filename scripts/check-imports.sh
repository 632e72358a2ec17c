#!/usr/bin/env bash
# Every shipped binary of a Windows build imports Windows system DLLs only: the C++ runtime, libgcc and
# winpthread are linked in statically.
#   check-imports.sh BUILD_DIR
set -euo pipefail
allowed='^(kernel32|user32|advapi32|wininet|version|psapi|ws2_32|mswsock|msvcrt|ole32|oleaut32|shell32|gdi32)\.dll$'
status=0
count=0
while IFS= read -r -d '' binary; do
  count=$((count + 1))
  while read -r dll; do
    if ! echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$allowed"; then
      echo "check-imports: $binary imports $dll"
      status=1
    fi
  done < <(i686-w64-mingw32-objdump -p "$binary" | sed -n 's/^\s*DLL Name: //p')
done < <(find "$1" \( -path "$1/wineprefix" -o -path "*/CMakeFiles" \) -prune -o \( -name '*.dll' -o -name '*.exe' \) -print0)
echo "check-imports: $count binaries, only system DLLs imported: $([ $status -eq 0 ] && echo yes || echo no)"
exit $status
