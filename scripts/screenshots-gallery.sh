#!/usr/bin/env bash
# Pictures of a gallery program's pages (the drawing effects, the markup sample) as they show in
# Wine's own desktop (caption and frame drawn):
#   screenshots-gallery.sh path/to/gallery.exe page:picture [page:picture ...]
# Saves build/screenshots/picture.png for each page.
set -u
. "$(dirname "$0")/wine-env.sh"
OUT="$TESSEL_ROOT/build/screenshots"
GALLERY="${1:-}"
shift
if [ -z "$GALLERY" ] || [ ! -f "$GALLERY" ] || [ $# -eq 0 ]; then
  echo "usage: $0 path/to/gallery.exe page:picture [page:picture ...]" >&2
  exit 2
fi
GALLERY="$(cd "$(dirname "$GALLERY")" && pwd)/$(basename "$GALLERY")"
mkdir -p "$OUT"

# Always on a virtual display of our own, so the pictures do not depend on the user's screen.
unset DISPLAY
tessel_ensure_display || exit 1
tessel_ensure_prefix
trap 'wineserver -k >/dev/null 2>&1; tessel_stop_display' EXIT

# Larger than any gallery page: the window sits at the top left and the rest is plain desktop,
# which the crop takes away.
DESKTOP_W=1280
DESKTOP_H=1024

# shot page name: shows one page, captures the desktop and keeps the window only.
shot() {
  local page=$1 name=$2 raw desk i pid
  raw=$(mktemp --suffix=.png)
  desk="Gallery-$page"
  "$WINE" explorer /desktop="$desk,${DESKTOP_W}x${DESKTOP_H}" "$GALLERY" "$page" >/dev/null 2>&1 &
  pid=$!
  for i in $(seq 1 60); do
    xdotool search --name "$desk" >/dev/null 2>&1 && break
    sleep 0.5
  done
  # The first start of a desktop takes a while; then the gallery paints once.
  sleep 3
  import -window root -crop "${DESKTOP_W}x${DESKTOP_H}+0+0" +repage "$raw"
  # The bottom-right corner is desktop: a border of its colour lets -trim cut away all of it.
  local desktop
  desktop=$(convert "$raw" -format "%[pixel:p{$((DESKTOP_W - 1)),$((DESKTOP_H - 1))}]" info:)
  convert "$raw" -bordercolor "$desktop" -border 1 -trim +repage "$OUT/$name.png"
  rm -f "$raw"
  echo "screenshots: $OUT/$name.png ($(identify -format '%wx%h' "$OUT/$name.png"))"
  # Closed like a user would: a click on the caption, then Alt+F4; the desktop goes with its last
  # window. (There is no window manager to activate windows for us.)
  xdotool mousemove 100 10 click 1
  sleep 0.3
  xdotool key alt+F4
  for i in $(seq 1 20); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.5
  done
  kill -0 "$pid" 2>/dev/null && kill "$pid"
  wait "$pid" 2>/dev/null
}

cd "$(dirname "$GALLERY")" || exit 1
for pair in "$@"; do
  shot "${pair%%:*}" "${pair#*:}"
done
