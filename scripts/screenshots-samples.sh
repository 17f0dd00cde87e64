#!/usr/bin/env bash
# Pictures for the README: the sample workbooks added to the list, and after their repair.
# Saves docs/pictures/samples-added.png, samples-summary.png (the summary at the run's end),
# samples-repaired.png and samples-lost.png (the list scrolled to its last columns) (committed).
set -u
. "$(dirname "$0")/wine-env.sh"
OUT="$TESSEL_ROOT/docs/pictures"
BIN="$TESSEL_ROOT/build/bin"

unset DISPLAY
tessel_ensure_display || exit 1
tessel_ensure_prefix
trap 'wineserver -k >/dev/null 2>&1; tessel_stop_display' EXIT

# The main window's frame at the desktop's top left: 800 x 512 pixels.
shot() {
  sleep "${2:-0.7}"
  import -window root -crop 800x512+0+0 +repage "$OUT/$1.png"
  echo "screenshots-samples: $OUT/$1.png"
}
keys() { xdotool key --delay 120 "$@"; }

trial="$WINEPREFIX/drive_c/Samples"
rm -rf "$trial" && mkdir -p "$trial"
cp "$TESSEL_ROOT"/samples/*.xls "$trial/"

cd "$BIN" || exit 1
"$WINE" explorer /desktop=CalveraTessel,1024x768 CalveraTessel.exe >/dev/null 2>&1 &
for i in $(seq 1 60); do
  xdotool search --name "CalveraTessel" >/dev/null 2>&1 && break
  sleep 0.5
done
sleep 6
client_x=3; client_y=42

# Add Files: the folder, then every sample.
xdotool mousemove $((client_x + 55)) $((client_y + 55)) click 1
sleep 1.5
xdotool mousemove 900 700
xdotool type --delay 40 'C:\Samples\'
keys Return
sleep 0.8
xdotool type --delay 40 '"Budget 2026.xls" "Inventory.xls" "Old archive.xls" "Price list.xls" "Sales by region.xls"'
keys Return
sleep 1
# Select All, then Next and the same location.
xdotool mousemove $((client_x + 17)) $((client_y + 96)) click 1
xdotool mousemove 900 700
shot samples-added 1
xdotool mousemove $((client_x + 716)) $((client_y + 406)) click 1
sleep 1.5
keys Up Return
for i in $(seq 1 30); do
  sleep 1
  [ -e "$trial/Repaired/REP_Sales by region.xls" ] && break
done
xdotool mousemove 900 700
# The run's summary, then closed with Enter (Close is its default button).
shot samples-summary 2
keys Return
shot samples-repaired 1
# The list scrolled to its right end: the status and what was lost.
for i in 1 2 3; do
  xdotool mousemove 760 391 click 1
  sleep 0.3
done
xdotool mousemove 900 700
shot samples-lost 1
