# Sourced by the other scripts: the project's own Wine prefix and, without a display, a virtual one.
# After sourcing, WINE is the 64-bit loader and DISPLAY names a working X display.

TESSEL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# A test run goes in lanes (scripts/test.sh): CTest gives each test one lane, and a lane has a
# display and a Wine prefix of its own, so tests of two lanes never share a screen, a pointer, a
# focus or a registry. Lane 1 is also what a test program run by hand uses.
TESSEL_LANE=""
if [ -n "${CTEST_RESOURCE_GROUP_0_LANE:-}" ]; then
  TESSEL_LANE="${CTEST_RESOURCE_GROUP_0_LANE#id:}"
  TESSEL_LANE="${TESSEL_LANE%%,*}"
  lane_display="TESSEL_LANE_${TESSEL_LANE}_DISPLAY"
  [ -n "${!lane_display:-}" ] && export DISPLAY="${!lane_display}"
fi
# Tests get a prefix of their own whose windows all live in one Wine desktop: without a window
# manager, Wine waits two seconds for every hidden top-level window to be withdrawn, and a desktop
# of its own also gives the tests real captions and activation.
if [ "${TESSEL_TEST_PREFIX:-0}" = 1 ]; then
  if [ -n "$TESSEL_LANE" ] && [ "$TESSEL_LANE" != 1 ]; then
    export WINEPREFIX="${WINEPREFIX:-$TESSEL_ROOT/build/wineprefix-test-$TESSEL_LANE}"
  else
    export WINEPREFIX="${WINEPREFIX:-$TESSEL_ROOT/build/wineprefix-test}"
  fi
  # Windows' ANSI code page of the tests is Western (1252), which lacks Cyrillic, Greek, Chinese
  # and emoji and best-fits full-width slashes to real ones: a user's name that went through it
  # shows. This Wine takes the code page from the Unix locale of its process, whatever the
  # prefix's registry says.
  export LC_ALL=C.UTF-8
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
      # Another run on this machine may have taken the same number a moment before: the display
      # is ours only when its lock names our server.
      if xdpyinfo >/dev/null 2>&1; then
        [ "$(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null)" = "$TESSEL_XVFB_PID" ] && return 0
        break
      fi
      kill -0 "$TESSEL_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill "$TESSEL_XVFB_PID" 2>/dev/null
    wait "$TESSEL_XVFB_PID" 2>/dev/null
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

# Creates and initialises the prefix once; later calls return at once. Test prefixes are copies of
# one prefix made once per checkout (creating one costs twenty seconds; a copy, one).
tessel_ensure_prefix() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.tessel-ready" ]; then
      if [ "${TESSEL_TEST_PREFIX:-0}" = 1 ]; then
        local base="$TESSEL_ROOT/build/wineprefix-base"
        [ -f "$base/.tessel-ready" ] || WINEPREFIX="$base" tessel_create_prefix
        tessel_copy_prefix "$base" "$WINEPREFIX"
      else
        tessel_create_prefix
      fi
    fi
    tessel_ensure_caption_font
  ) 9>"$(dirname "$WINEPREFIX")/.wineprefix.lock"
}

tessel_create_prefix() {
  echo "wine-env: creating the Wine prefix $WINEPREFIX" >&2
  rm -rf "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  if [ "${TESSEL_TEST_PREFIX:-0}" = 1 ]; then
    "$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    "$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f >/dev/null 2>&1
  fi
  wineserver -w
  tessel_ensure_caption_font
  touch "$WINEPREFIX/.tessel-ready"
}

# Copies a prefix whose Wine server has ended. The system folder is most of its size and nothing
# writes into it after the prefix is made: the copy links to the same files.
tessel_copy_prefix() {
  local from="$1" to="$2" tmp="$2.copy.$$"
  rm -rf "$to" "$tmp"
  mkdir -p "$tmp"
  (cd "$from" && tar cf - --exclude=./drive_c/windows/system32 .) | (cd "$tmp" && tar xf -)
  cp -al "$from/drive_c/windows/system32" "$tmp/drive_c/windows/system32"
  mv "$tmp" "$to"
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
