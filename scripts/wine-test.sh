#!/usr/bin/env bash
# Runs one Wine test program in a locale: scripts/wine-test.sh LOCALE PROGRAM [ARGS...]
# Expects the Wine session of scripts/test.sh (WINE, WINEPREFIX, DISPLAY).
set -euo pipefail
if [ -z "${WINE:-}" ] || [ -z "${WINEPREFIX:-}" ]; then
  echo "No Wine session: run the tests through scripts/test.sh" >&2
  exit 1
fi
locale=$1
shift
export LC_ALL=$locale
# BYTEWREN_TEST_REPEAT=N runs the program's tests N times over (GoogleTest's repeat).
repeat=${BYTEWREN_TEST_REPEAT:-1}
if [ "$repeat" -gt 1 ]; then
  exec "$WINE" "$@" --gtest_repeat="$repeat"
fi
exec "$WINE" "$@"
