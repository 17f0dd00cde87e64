#!/usr/bin/env bash
# Starts the program from its own folder. Without a display it runs on a virtual one, saves a
# screenshot of the main window and ends the program.
set -u
. "$(dirname "$0")/wine-env.sh"
BIN="$TESSEL_ROOT/build/bin"
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  tessel_ensure_prefix
  cd "$BIN" && exec "$WINE" CalveraTessel.exe "$@"
fi
tessel_ensure_display || exit 1
tessel_ensure_prefix
trap 'wineserver -k >/dev/null 2>&1; tessel_stop_display' EXIT
mkdir -p "$TESSEL_ROOT/build/screenshots"
shot="$TESSEL_ROOT/build/screenshots/main-window.png"
cd "$BIN" || exit 1
"$WINE" explorer /desktop=CalveraTessel,1024x768 CalveraTessel.exe "$@" &
# The splash shows for four seconds; wait for the main window behind it.
for i in $(seq 1 60); do
  xdotool search --name "Calvera Tessel for Excel" >/dev/null 2>&1 && break
  sleep 0.5
done
sleep 6
import -window root -crop 1024x768+0+0 +repage "$shot"
echo "No display: the program ran on a virtual one. Screenshot of the main window: $shot"
