# Sourced by the run and test scripts: a Wine prefix, an X display and one Wine server
# for the whole session, each ended by PID in wine_session_stop.

# Wine for 32-bit programs needs a machine that executes 32-bit x86 code; some
# virtual machines do not. There the same sources are built for x64 and run under
# 64-bit Wine.
bytewren_wine_arch() {
  # A caller may ask for one (the benchmark measures both builds where it can).
  if [ -n "${BYTEWREN_WINE_ARCH:-}" ]; then
    echo "$BYTEWREN_WINE_ARCH"
    return
  fi
  if [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo win32
  else
    echo win64
  fi
}

bytewren_mingw_arch() {
  if [ "$(bytewren_wine_arch)" = win32 ]; then echo i686; else echo x86_64; fi
}

# wine_session_start PREFIX_DIR [use-own-display]
wine_session_start() {
  local prefix=$1 own_display=${2:-yes}
  export WINEARCH WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  WINEARCH=$(bytewren_wine_arch)
  if [ "$WINEARCH" = win32 ]; then
    export WINE=/usr/lib/wine/wine WINESERVER=/usr/lib/wine/wineserver32
  else
    export WINE=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64
  fi
  # Under emulation (scripts/test-i686-emulated.sh) the server needs none: a 64-bit
  # server serves 32-bit programs, and runs natively.
  if [ "${BYTEWREN_EMULATED:-}" = 1 ] && [ -x /usr/lib/wine/wineserver64 ]; then
    WINESERVER=/usr/lib/wine/wineserver64
  fi
  export WINELOADER=$WINE
  [ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver
  BYTEWREN_PIDS=()

  if [ "$own_display" = yes ] || [ -z "${DISPLAY:-}" ]; then
    local fdfile
    fdfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
    BYTEWREN_PIDS+=($!)
    local i
    for i in $(seq 1 100); do [ -s "$fdfile" ] && break; sleep 0.1; done
    export DISPLAY=":$(head -n1 "$fdfile")"
    rm -f "$fdfile"
  fi

  mkdir -p "$(dirname "$prefix")"
  # A prefix from an earlier run is kept unless it was made for the other architecture.
  if [ -f "$prefix/.bytewren-arch" ] && [ "$(cat "$prefix/.bytewren-arch")" != "$WINEARCH" ]; then
    rm -rf "$prefix"
  fi
  "$WINESERVER" -f -p >/dev/null 2>&1 &
  BYTEWREN_PIDS+=($!)
  if [ ! -f "$prefix/.bytewren-arch" ]; then
    "$WINE" wineboot -i >/dev/null 2>&1
    # Without a window manager Wine waits 2 s on every closing window unless unmanaged.
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    echo "$WINEARCH" > "$prefix/.bytewren-arch"
  fi
  # Start the prefix's services here, away from the caller's output: started by the
  # first test program instead, they would hold its output pipe open and keep ctest
  # waiting for them long after the test has ended.
  "$WINE" wineboot >/dev/null 2>&1
}

wine_session_stop() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  local pid
  for pid in "${BYTEWREN_PIDS[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${BYTEWREN_PIDS[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  BYTEWREN_PIDS=()
}
