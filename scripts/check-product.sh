#!/usr/bin/env bash
# Checks that Bytewren.exe is a 32-bit GUI program that copes with addresses above
# 2 GiB, imports only system DLLs, keeps the hardening a Windows program ships with
# (relocatable and loaded at a random address, data never executed), carries no link
# time, and has its version resource; prints the resource's fields.
set -euo pipefail
exe=$1
dump=$(i686-w64-mingw32-objdump -p "$exe")
grep -q 'file format pei-i386' <<<"$dump" || { echo "not a 32-bit PE: $exe"; exit 1; }
grep -Eq '^Subsystem[[:space:]]+0*2[[:space:]]' <<<"$dump" || { echo "not a GUI program"; exit 1; }
grep -q 'large address aware' <<<"$dump" || { echo "not large-address-aware"; exit 1; }
for flag in DYNAMIC_BASE NX_COMPAT; do
  grep -Eq "^[[:space:]]+$flag\$" <<<"$dump" || { echo "DllCharacteristics lacks $flag"; exit 1; }
done
# Without relocations the loader cannot move the program, whatever DYNAMIC_BASE says.
grep -Eq 'Entry 5 [0-9a-f]+ [0-9a-f]*[1-9a-f][0-9a-f]* Base Relocation Directory' <<<"$dump" ||
  { echo "no relocations"; exit 1; }
grep -Eq '^Time/Date[[:space:]]+(Thu Jan  1 00:00:00 1970|0+)$' <<<"$dump" ||
  { echo "the header carries a link time: $(grep '^Time/Date' <<<"$dump")"; exit 1; }
dlls=$(grep 'DLL Name:' <<<"$dump" | awk '{print tolower($3)}' | sort -u)
echo "imports:" $dlls
for dll in $dlls; do
  case $dll in
    kernel32.dll|user32.dll|gdi32.dll|shell32.dll|comdlg32.dll|ole32.dll|comctl32.dll|imm32.dll|msvcrt.dll|advapi32.dll|oleaut32.dll|shlwapi.dll|api-ms-win-*) ;;
    *) echo "depends on a DLL that is not part of Windows: $dll"; exit 1 ;;
  esac
done
python3 - "$exe" <<'PY'
# The version resource (type 16), read from the resource section: its fixed version
# and the strings Explorer's Details tab shows.
import struct, sys
data = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", data, 0x3C)[0]
sections = struct.unpack_from("<H", data, pe + 6)[0]
optional = struct.unpack_from("<H", data, pe + 20)[0]
rsrc_rva = struct.unpack_from("<I", data, pe + 24 + 96 + 2 * 8)[0]  # data directory 2 (PE32)
table = pe + 24 + optional
def offset(rva):
    for i in range(sections):
        va, size, raw = struct.unpack_from("<III", data, table + 40 * i + 12)
        if va <= rva < va + max(size, 1):
            return raw + rva - va
    raise SystemExit("no section holds RVA %#x" % rva)
if not rsrc_rva:
    raise SystemExit("no resources, so no version resource")
base = offset(rsrc_rva)
def entries(at):
    named, ids = struct.unpack_from("<HH", data, base + at + 12)
    return [struct.unpack_from("<II", data, base + at + 16 + 8 * i) for i in range(named + ids)]
version = [e for e in entries(0) if e[0] == 16]
if not version:
    raise SystemExit("no version resource")
at = version[0][1] & 0x7FFFFFFF
while True:  # down the name and language levels to the data
    first = entries(at)[0][1]
    if not first & 0x80000000:
        break
    at = first & 0x7FFFFFFF
rva, size = struct.unpack_from("<II", data, base + first)
blob = data[offset(rva):offset(rva) + size]
fixed = blob.find(struct.pack("<I", 0xFEEF04BD))
ms, ls = struct.unpack_from("<II", blob, fixed + 8)
print("FileVersion (fixed): %d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF))
text = blob.decode("utf-16-le", "replace")
fields = {}
for key in ("CompanyName", "FileDescription", "FileVersion", "LegalCopyright", "OriginalFilename",
            "ProductName", "ProductVersion"):
    at = text.find(key + "\0")
    if at < 0:
        raise SystemExit("version resource lacks " + key)
    value = text[at + len(key):].lstrip("\0").split("\0")[0]
    fields[key] = value
    print("%s: %s" % (key, value))
if fields["OriginalFilename"] != "Bytewren.exe" or fields["ProductName"] != "Bytewren":
    raise SystemExit("version resource names another program")
if fields["FileVersion"] != fields["ProductVersion"] or not fields["FileVersion"].startswith("%d.%d" % (ms >> 16, ms & 0xFFFF)):
    raise SystemExit("the version's texts and numbers differ")
PY
