#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test tier:
# native unit tests, the dialog under Wine, and the program end to end.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/install-deps.sh"

source "$root/scripts/wine-session.sh"
build=${BYTEWREN_BUILD_DIR:-$root/build/test}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DBYTEWREN_TEST_ARCH="$(bytewren_mingw_arch)" >/dev/null
cmake --build "$build" -j"$(nproc)"

trap 'bash "$root/tests/wine/make_fixtures.sh" --remove; wine_session_stop' EXIT
trap 'exit 1' INT TERM
wine_session_start "$build/wine-prefix" yes
bash "$root/tests/wine/make_fixtures.sh"
echo "Wine: $WINEARCH prefix $WINEPREFIX on display $DISPLAY"
echo "The Wine tiers run the $(bytewren_mingw_arch) build$([ "$(bytewren_mingw_arch)" = i686 ] && echo ', the product as it ships' || echo ': this machine cannot run 32-bit code')."
ctest --test-dir "$build" --output-on-failure
