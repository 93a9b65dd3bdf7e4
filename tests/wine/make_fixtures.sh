#!/usr/bin/env bash
# Makes, inside the Wine prefix, the files that tests cannot make through Wine itself:
# symbolic links (Wine's CreateSymbolicLink does nothing). Safe to run again.
set -euo pipefail
root="$WINEPREFIX/drive_c/bytewren-fixtures"
rm -rf "$root"
mkdir -p "$root/linked-tree/sub" "$root/linked-other"
printf 'AB' > "$root/linked-tree/a.bin"
printf 'AB' > "$root/linked-other/o.bin"
ln -s .. "$root/linked-tree/sub/loop"
ln -s ../../linked-other "$root/linked-tree/sub/ext"
