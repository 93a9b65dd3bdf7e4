#!/usr/bin/env bash
# Checks that Bytewren.exe is a 32-bit GUI program that copes with addresses above
# 2 GiB and imports only system DLLs.
set -euo pipefail
exe=$1
dump=$(i686-w64-mingw32-objdump -p "$exe")
grep -q 'file format pei-i386' <<<"$dump" || { echo "not a 32-bit PE: $exe"; exit 1; }
grep -Eq '^Subsystem[[:space:]]+0*2[[:space:]]' <<<"$dump" || { echo "not a GUI program"; exit 1; }
grep -q 'large address aware' <<<"$dump" || { echo "not large-address-aware"; exit 1; }
dlls=$(grep 'DLL Name:' <<<"$dump" | awk '{print tolower($3)}' | sort -u)
echo "imports:" $dlls
for dll in $dlls; do
  case $dll in
    kernel32.dll|user32.dll|gdi32.dll|shell32.dll|comdlg32.dll|ole32.dll|comctl32.dll|imm32.dll|msvcrt.dll|advapi32.dll|oleaut32.dll|shlwapi.dll|api-ms-win-*) ;;
    *) echo "depends on a DLL that is not part of Windows: $dll"; exit 1 ;;
  esac
done
