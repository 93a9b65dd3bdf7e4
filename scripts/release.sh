#!/usr/bin/env bash
# Makes what a user downloads: the i686 Release build of this commit, built in a fresh
# folder, zipped as dist/Bytewren-<version>-win32.zip with its SHA-256 beside it.
#
#   bash scripts/release.sh           builds and zips
#   bash scripts/release.sh --check   builds twice, in two folders, and fails where the
#                                     two programs or zips differ in a single byte
#
# The same commit gives the same bytes wherever and whenever it is built: the link time
# is left out of the header, the compiler records no build folder, and the zip's entries
# carry the commit's time.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/install-deps.sh" >/dev/null

version=$(sed -n 's/^project(Bytewren VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { echo "no version in CMakeLists.txt" >&2; exit 1; }
# The commit's time, for the zip's entries (and anything else that wants one).
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}

# build_zip FOLDER: builds in FOLDER (made afresh) and writes FOLDER/Bytewren-<version>-win32.zip.
build_zip() {
  local dir=$1
  rm -rf "$dir"
  mkdir -p "$dir"
  cmake -S "$root" -B "$dir/build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw.cmake" -DBYTEWREN_ARCH=i686 \
    -DBYTEWREN_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$dir/build" --target Bytewren -j"$(nproc)" >/dev/null
  bash "$root/scripts/check-product.sh" "$dir/build/bin/Bytewren.exe" >/dev/null
  python3 - "$dir/Bytewren-$version-win32.zip" "$dir/build/bin/Bytewren.exe" "$root/README.md" <<'PY'
import os, sys, time, zipfile
out, files = sys.argv[1], sys.argv[2:]
stamp = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), 315532800))[:6]  # zip times start in 1980
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
    for path in files:
        entry = zipfile.ZipInfo(os.path.basename(path), stamp)
        entry.compress_type = zipfile.ZIP_DEFLATED
        entry.external_attr = 0o644 << 16
        entry.create_system = 0  # the same whichever system zips it
        with open(path, "rb") as f:
            z.writestr(entry, f.read(), compresslevel=9)
PY
}

if [ "${1:-}" = --check ]; then
  mkdir -p "$root/build"
  first=$(mktemp -d /tmp/bytewren-release-a.XXXXXX)
  second=$(mktemp -d "$root/build/release-b.XXXXXX")
  trap 'rm -rf "$first" "$second"' EXIT
  build_zip "$first"
  sleep 1  # another second on the clock, which a timestamp would show
  build_zip "$second"
  status=0
  for f in build/bin/Bytewren.exe "Bytewren-$version-win32.zip"; do
    if cmp -s "$first/$f" "$second/$f"; then
      echo "same bytes: $(sha256sum <"$first/$f" | cut -d' ' -f1)  $(basename "$f")"
    else
      echo "differ: $(basename "$f") built in $first and in $second" >&2
      status=1
    fi
  done
  exit $status
fi

dist=$root/dist
work=$root/build/release
build_zip "$work"
mkdir -p "$dist"
cp "$work/Bytewren-$version-win32.zip" "$dist/"
(cd "$dist" && sha256sum "Bytewren-$version-win32.zip" >"Bytewren-$version-win32.zip.sha256")
cat "$dist/Bytewren-$version-win32.zip.sha256"
