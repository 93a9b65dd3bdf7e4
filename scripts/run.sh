#!/usr/bin/env bash
# Installs what is missing, builds Bytewren and starts it under Wine:
#   scripts/run.sh [TARGET]    TARGET: a file or folder (host or Windows path)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/install-deps.sh"

source "$root/scripts/wine-session.sh"
arch=$(bytewren_mingw_arch)
build=$root/build/run-$arch
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw.cmake" \
      -DBYTEWREN_ARCH="$arch" -DBYTEWREN_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)"

trap wine_session_stop EXIT
# Uses the desktop's display when there is one, otherwise a virtual one.
had_display=${DISPLAY:-}
wine_session_start "$build/wine-prefix" no
if [ -z "$had_display" ]; then
  echo "No display: Bytewren runs on the virtual display $DISPLAY."
  echo "See it with: DISPLAY=$DISPLAY import -window root shot.png"
fi

args=()
if [ $# -gt 0 ]; then
  target=$1
  # A host path is handed over as the Windows path Wine gives it.
  if [ -e "$target" ]; then
    target=$("$WINE" winepath -w "$(realpath "$target")" 2>/dev/null | tr -d '\r')
  fi
  args+=("$target")
fi
LC_ALL=${BYTEWREN_LOCALE:-zh_CN.UTF-8} "$WINE" "$build/bin/Bytewren.exe" "${args[@]}"
