# Sourced by the other scripts: the project's own Wine prefix and, without a display, a virtual one.
# After sourcing, WINE is the 64-bit loader and DISPLAY names a working X display.

TESSEL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# Tests get a prefix of their own whose windows all live in one Wine desktop: without a window
# manager, Wine waits two seconds for every hidden top-level window to be withdrawn, and a desktop
# of its own also gives the tests real captions and activation.
if [ "${TESSEL_TEST_PREFIX:-0}" = 1 ]; then
  export WINEPREFIX="${WINEPREFIX:-$TESSEL_ROOT/build/wineprefix-test}"
else
  export WINEPREFIX="${WINEPREFIX:-$TESSEL_ROOT/build/wineprefix}"
fi
export TESSEL_TEST_PREFIX
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

if command -v wine64 >/dev/null 2>&1; then
  WINE=wine64
elif [ -x /usr/lib/wine/wine64 ]; then
  WINE=/usr/lib/wine/wine64
else
  WINE=wine
fi
export WINE

# Starts Xvfb on a free display number unless DISPLAY already works.
tessel_ensure_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    return 0
  fi
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    TESSEL_XVFB_PID=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 1 50); do
      xdpyinfo >/dev/null 2>&1 && return 0
      sleep 0.1
    done
    kill "$TESSEL_XVFB_PID" 2>/dev/null
  done
  echo "wine-env: could not start a virtual display" >&2
  return 1
}

tessel_stop_display() {
  if [ -n "${TESSEL_XVFB_PID:-}" ]; then
    kill "$TESSEL_XVFB_PID" 2>/dev/null || true
    wait "$TESSEL_XVFB_PID" 2>/dev/null || true
    TESSEL_XVFB_PID=""
  fi
}

# Creates and initialises the prefix once; later calls return at once.
tessel_ensure_prefix() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.tessel-ready" ]; then
      echo "wine-env: creating the Wine prefix $WINEPREFIX" >&2
      wineboot -i >/dev/null 2>&1 || true
      if [ "${TESSEL_TEST_PREFIX:-0}" = 1 ]; then
        "$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
        "$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f >/dev/null 2>&1
      fi
      wineserver -w
      touch "$WINEPREFIX/.tessel-ready"
    fi
    tessel_ensure_caption_font
  ) 9>"$(dirname "$WINEPREFIX")/.wineprefix.lock"
}

# Caption buttons are glyphs of the Marlett font. This Wine does not find the fonts Debian ships in
# /usr/share/wine/fonts (fonts-wine), so without Marlett in the prefix's own Fonts folder the close
# box shows the letter "r". Only Marlett is added: the dialogs keep the fonts they use today.
tessel_ensure_caption_font() {
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  if [ ! -f "$fonts/marlett.ttf" ] && [ -f /usr/share/wine/fonts/marlett.ttf ]; then
    mkdir -p "$fonts" && cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
  fi
}
