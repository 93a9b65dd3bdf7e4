#!/usr/bin/env bash
# Makes, inside the Wine prefix, what tests cannot make through Wine itself:
#  - symbolic links (Wine's CreateSymbolicLink does nothing);
#  - a full disk: a small tmpfs whose only free space is taken (needs root; without
#    it the test that uses it is skipped).
# Safe to run again; "make_fixtures.sh --remove" takes it all away.
set -euo pipefail
root="$WINEPREFIX/drive_c/bytewren-fixtures"
full="$root/full-disk"

if mountpoint -q "$full" 2>/dev/null; then umount "$full"; fi
rm -rf "$root"
[ "${1:-}" = --remove ] && exit 0

mkdir -p "$root/linked-tree/sub" "$root/linked-other" "$full"
printf 'AB' > "$root/linked-tree/a.bin"
printf 'AB' > "$root/linked-other/o.bin"
ln -s .. "$root/linked-tree/sub/loop"
ln -s ../../linked-other "$root/linked-tree/sub/ext"

if mount -t tmpfs -o size=64k,mode=0777 tmpfs "$full" 2>/dev/null; then
  # 4096 bytes ending in "AB": a longer replacement there needs a page the disk lacks.
  { head -c 4094 /dev/zero | tr '\0' '.'; printf 'AB'; } > "$full/end.bin"
  dd if=/dev/zero of="$full/filler" bs=4096 >/dev/null 2>&1 || true
fi

# A tree for a walk test to fill: a link in it leads back to it.
mkdir -p "$root/walk-tree"
ln -s . "$root/walk-tree/loop"
