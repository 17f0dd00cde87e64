#!/usr/bin/env bash
# Shows the program as a user sees it: Wine's own desktop (captions and frames drawn), driven with
# the keyboard and the mouse, one picture per state, saved in build/screenshots/.
set -u
. "$(dirname "$0")/wine-env.sh"
OUT="$TESSEL_ROOT/build/screenshots"
BIN="$TESSEL_ROOT/build/bin"
mkdir -p "$OUT"

# Always on a virtual display of our own, so the pictures do not depend on the user's screen.
unset DISPLAY
tessel_ensure_display || exit 1
tessel_ensure_prefix
trap 'wineserver -k >/dev/null 2>&1; tessel_stop_display' EXIT

DESKTOP_W=1024
DESKTOP_H=768
shot() {
  sleep "${2:-0.7}"
  import -window root -crop "${DESKTOP_W}x${DESKTOP_H}+0+0" +repage "$OUT/$1.png"
  echo "screenshots: $OUT/$1.png"
}
keys() { xdotool key --delay 120 "$@"; }

# A few workbooks to add, on the C: drive of the prefix.
samples="$WINEPREFIX/drive_c/Samples"
rm -rf "$samples" && mkdir -p "$samples"
head -c 13824 /dev/urandom >"$samples/Budget 2026.xls"
head -c 104448 /dev/urandom >"$samples/Sales by region.xls"
head -c 7680 /dev/urandom >"$samples/Inventory.xls"

cd "$BIN" || exit 1
"$WINE" explorer /desktop=CalveraTessel,${DESKTOP_W}x${DESKTOP_H} CalveraTessel.exe >/dev/null 2>&1 &
for i in $(seq 1 60); do
  xdotool search --name "CalveraTessel" >/dev/null 2>&1 && break
  sleep 0.5
done
# The splash: on Windows it is in front; Wine draws the main window over it (see the splash tests).
shot 01-start 2
sleep 4
shot 02-main-window-step1 0.5

# The main window sits at the desktop's top left; its client area starts below caption and menu.
win_x=0; win_y=0
client_x=$((win_x + 3)); client_y=$((win_y + 42))

# A toolbar button with the pointer over it.
xdotool mousemove $((client_x + 55)) $((client_y + 55))
shot 03-toolbar-hot
xdotool mousemove 900 700

# Remove Selected on an empty list: the message.
xdotool mousemove $((client_x + 235)) $((client_y + 55)) click 1
shot 04-message-no-item-to-remove 1.5
keys Return
xdotool mousemove 900 700

# Add Files: the file dialog, then three workbooks.
xdotool mousemove $((client_x + 55)) $((client_y + 55)) click 1
sleep 1.5
xdotool mousemove 900 700
xdotool type --delay 40 'C:\Samples\'
keys Return
sleep 0.8
shot 05-add-files-dialog 0.5
xdotool type --delay 40 '"Budget 2026.xls" "Sales by region.xls" "Inventory.xls"'
keys Return
sleep 1

# Tick the first and the third row by clicking their names.
xdotool mousemove $((client_x + 60)) $((client_y + 138)) click 1
sleep 0.3
xdotool mousemove $((client_x + 60)) $((client_y + 172)) click 1
xdotool mousemove 900 700
shot 06-main-window-with-files 1
