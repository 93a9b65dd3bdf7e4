#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test tier:
# native unit tests, the dialog under Wine, and the program end to end.
#
#   BYTEWREN_TEST_REPEAT=N   runs each Wine test program N times in each locale, to
#                            show a flaky test before CI does
#   BYTEWREN_WINE_ARCH=win64 runs the Wine tiers on the x86-64 build (they run the
#                            i686 build wherever the machine runs 32-bit code)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/install-deps.sh"

source "$root/scripts/wine-session.sh"
build=${BYTEWREN_BUILD_DIR:-$root/build/test}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DBYTEWREN_TEST_ARCH="$(bytewren_mingw_arch)" >/dev/null
cmake --build "$build" -j"$(nproc)"

trap 'bash "$root/tests/wine/make_fixtures.sh" --remove; wine_session_stop' EXIT
trap 'exit 1' INT TERM
# Each architecture keeps a prefix of its own, so switching does not make one anew.
prefix=$build/wine-prefix
[ "$(bytewren_wine_arch)" = win64 ] && [ -n "${BYTEWREN_WINE_ARCH:-}" ] && prefix=$build/wine-prefix-win64
wine_session_start "$prefix" yes
bash "$root/tests/wine/make_fixtures.sh"
echo "Wine: $WINEARCH prefix $WINEPREFIX on display $DISPLAY"
# Both builds are built and their native parts tested everywhere; the Wine tiers run one.
if [ "$(bytewren_mingw_arch)" = i686 ]; then
  tiers="The Wine tiers ran the i686 build, the product as it ships."
elif [ -n "${BYTEWREN_WINE_ARCH:-}" ]; then
  tiers="The Wine tiers ran the x86_64 build, as BYTEWREN_WINE_ARCH asks: the i686 build's dialog and end-to-end tests were not run."
else
  tiers="This machine cannot run 32-bit code: the i686 build's dialog and end-to-end tests were not run, the x86_64 build's ran instead (the dialog tests as a 32-bit process)."
fi
echo "$tiers"
[ "${BYTEWREN_TEST_REPEAT:-1}" -gt 1 ] && echo "Each Wine test program runs ${BYTEWREN_TEST_REPEAT} times in each locale."
repeat=${BYTEWREN_TEST_REPEAT:-1}
status=0
ctest --test-dir "$build" --output-on-failure --timeout $((900 * repeat)) || status=$?
echo "$tiers"
exit "$status"
