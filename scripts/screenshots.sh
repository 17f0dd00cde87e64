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
fixtures="$TESSEL_ROOT/tests/fixtures"
# A big file that is no workbook first, so that step 2 can be seen while the worker copies it.
head -c $((700 << 20)) /dev/zero >"$samples/Archive 2019.xls"
cp "$fixtures/lo_3sheets.xls" "$samples/Budget 2026.xls"
cp "$fixtures/gn_50k.xls" "$samples/Sales by region.xls"
cp "$fixtures/lo_1cell.xls" "$samples/Inventory.xls"
printf '<html><body><table><tr><td>Notes</td></tr></table></body></html>\n' >"$samples/Notes.xls"

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
xdotool type --delay 40 '"Archive 2019.xls" "Budget 2026.xls" "Sales by region.xls" "Inventory.xls" "Notes.xls"'
keys Return
sleep 1

# Tick rows by clicking their names: all but the third, then the third too.
for row in 0 1 3 4; do
  xdotool mousemove $((client_x + 60)) $((client_y + 138 + 17 * row)) click 1
  sleep 0.3
done
xdotool mousemove 900 700
shot 06-main-window-with-files 1
xdotool mousemove $((client_x + 60)) $((client_y + 138 + 34)) click 1

# The naming setting.
xdotool mousemove $((client_x + 325)) $((client_y + 55)) click 1
xdotool mousemove 900 700
shot 07-name-setting-dialog 1.5
keys Escape
sleep 0.5

# Next: the location dialog, then the folder browser is skipped by choosing the same location.
xdotool mousemove $((client_x + 716)) $((client_y + 406)) click 1
xdotool mousemove 900 700
shot 08-location-dialog 1.5

# The same location (the radio above the focused one), confirmed: step 2 while the worker copies
# the big file, and after the run.
keys Up Return
shot 09-step2-running 0.3
for i in $(seq 1 60); do
  sleep 1
  [ -e "$samples/Repaired/REP_Inventory.xls" ] && break
done
# The run's summary is closed with Enter (Close is its default button).
sleep 2
keys Return
shot 10-step2-done 1

# The menus, opened from the keyboard with their first item highlighted, and the About box.
keys F10 Down
shot 11-menu-file 0.8
keys Right
shot 12-menu-tools 0.8
keys Right
shot 13-menu-help 0.8
keys Down Return
shot 14-about-box 1.5
keys Return
