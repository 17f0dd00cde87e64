#!/usr/bin/env bash
# Packs the built program for users: build/dist/CalveraTessel-VERSION.zip (portable) and
# build/dist/CalveraTessel-VERSION-setup.exe (NSIS installer). The version comes from res/version.h.
#   make_dist.sh [output folder]
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BIN="$ROOT/build/bin"
OUT="${1:-$ROOT/build/dist}"
HELP="Calvera Tessel for Excel.chm"

# TESSEL_DIST_VERSION names another version for the packages (the tests' "earlier version").
VERSION=${TESSEL_DIST_VERSION:-$(sed -n 's/^#define TESSEL_VERSION_TEXT "\(.*\)"$/\1/p' "$ROOT/res/version.h")}
[[ "$VERSION" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "make_dist: no version in res/version.h" >&2; exit 1; }
for f in CalveraTessel.exe VuzuviViduv.dll "$HELP"; do
  [ -s "$BIN/$f" ] || { echo "make_dist: $BIN/$f is missing; build first (make build)" >&2; exit 1; }
done

STAGE=$(mktemp -d)
trap 'rm -rf "$STAGE"' EXIT
# The zip unpacks into one folder named like the product.
DIR="$STAGE/Calvera Tessel for Excel"
mkdir -p "$DIR"
cp "$BIN/CalveraTessel.exe" "$BIN/VuzuviViduv.dll" "$BIN/$HELP" "$DIR/"
# A Windows text file: CR LF line ends.
sed -e "s/@VERSION@/$VERSION/" -e 's/$/\r/' "$ROOT/scripts/dist/ReadMe.txt" >"$DIR/ReadMe.txt"
# Same bytes for the same files: fixed times, no extra attributes.
touch -d "@${SOURCE_DATE_EPOCH:-$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null || echo 0)}" "$DIR" "$DIR"/*

mkdir -p "$OUT"
ZIP="$OUT/CalveraTessel-$VERSION.zip"
SETUP="$OUT/CalveraTessel-$VERSION-setup.exe"
rm -f "$ZIP" "$SETUP"
(cd "$STAGE" && zip -q -X -r "$ZIP" "Calvera Tessel for Excel")

SIZE_KB=$(du -sk "$DIR" | cut -f1)
makensis -V2 -NOCD -DVERSION="$VERSION" -DSTAGE="$DIR" -DICON="$ROOT/res/pictures/app_128.ico" \
  -DSIZE_KB="$SIZE_KB" -DOUTFILE="$SETUP" "$ROOT/scripts/dist/CalveraTessel.nsi" >/dev/null
echo "make_dist: $ZIP"
echo "make_dist: $SETUP"
