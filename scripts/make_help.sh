#!/usr/bin/env bash
# Builds the compiled HTML help file from docs/help with chmcmd (Debian's fp-utils):
#   scripts/make_help.sh "build/bin/Calvera Tessel for Excel.chm"
# Compiles in a temporary folder, checks the result and only then puts it at OUTPUT_PATH.
# Quiet on success; on failure it says why and exits non-zero (OUTPUT_PATH is left as it was).
# The same sources give the same bytes: the two build-time stamps chmcmd writes are zeroed, and
# the project says "Binary Index=No" because chmcmd's binary index carries uninitialised bytes
# (the index is then read from index.hhk, as every HTML Help viewer can).
set -euo pipefail

if [ $# -ne 1 ] || [ -z "$1" ]; then
  echo "usage: $0 OUTPUT_PATH" >&2
  exit 2
fi
OUTPUT="$1"
case "$OUTPUT" in /*) ;; *) OUTPUT="$PWD/$OUTPUT" ;; esac # the build runs in another folder
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
SRC="$ROOT/docs/help"
PROJECT="CalveraTessel.hhp"

fail() {
  echo "make_help: $*" >&2
  exit 1
}

for tool in chmcmd chmls; do
  command -v "$tool" >/dev/null 2>&1 || fail "$tool not found (Debian package fp-utils)"
done
[ -f "$SRC/$PROJECT" ] || fail "no help project $SRC/$PROJECT"

WORK="$(mktemp -d "${TMPDIR:-/tmp}/tessel-help.XXXXXX")"
trap 'rm -rf "$WORK"' EXIT
mkdir "$WORK/src"
cp -R "$SRC/." "$WORK/src/"
cd "$WORK/src"

# The files of the [FILES] section, the contents and index files, and the compiled file's name.
listed=()
declare -A is_listed=()
while IFS= read -r line; do
  listed+=("$line")
  is_listed["$line"]=1
done < <(sed -e 's/\r$//' "$PROJECT" |
  awk '/^\[/ { files = ($0 == "[FILES]"); next } files && NF { print }')
[ ${#listed[@]} -gt 0 ] || fail "$PROJECT lists no files"
option() { awk -v key="$1=" '{ sub(/\r$/, "") } index($0, key) == 1 { print substr($0, length(key) + 1); exit }' "$PROJECT"; }
CHM="$(option 'Compiled file')"
CONTENTS="$(option 'Contents file')"
INDEX="$(option 'Index file')"
DEFAULT_TOPIC="$(option 'Default topic')"
[ -n "$CHM" ] || fail "$PROJECT names no compiled file"

# Sources and project agree: every listed file exists, and every page or picture is listed.
for f in "${listed[@]}" "$CONTENTS" "$INDEX" "$DEFAULT_TOPIC"; do
  [ -z "$f" ] || [ -f "$f" ] || fail "$PROJECT names $f, which is not in docs/help"
done
while IFS= read -r f; do
  f="${f#./}"
  [ -n "${is_listed["$f"]:-}" ] || fail "docs/help/$f is not listed in [FILES] of $PROJECT"
done < <(find . -type f \( -name '*.html' -o -name '*.htm' -o -name '*.png' -o -name '*.gif' \
  -o -name '*.jpg' -o -name '*.css' \) | LC_ALL=C sort)

# chmcmd reports broken links and missing files only as warnings, and may exit 0 on errors:
# any warning or error fails the build.
log="$WORK/chmcmd.log"
rc=0
chmcmd "$PROJECT" >"$log" 2>&1 || rc=$?
if [ $rc -ne 0 ] || grep -qiE 'warning|error|exception|can.t find' "$log" || [ ! -s "$CHM" ]; then
  cat "$log" >&2
  fail "chmcmd failed on $PROJECT (exit code $rc)"
fi

# Little-endian unsigned integer of N bytes at OFFSET.
le() {
  local n
  n="$(od -An -tu"$2" -j "$1" -N "$2" --endian=little "$CHM" | tr -d ' ')"
  [ -n "$n" ] || fail "$CHM is too short"
  echo "$n"
}
zero_bytes() { # OFFSET COUNT
  dd if=/dev/zero of="$CHM" bs=1 seek="$1" count="$2" conv=notrunc status=none
}

[ "$(head -c 4 "$CHM")" = "ITSF" ] || fail "$CHM does not start with ITSF"

# Determinism: the ITSF header's time stamp (offset 0x10) and the #SYSTEM time stamp (code 10).
zero_bytes 16 4
content_offset="$(le 88 8)" # section 0 starts here (ITSF header offset 0x58)
system_offset="$(chmls --no-page list "$CHM" 2>/dev/null | awk '$4 == "/#SYSTEM" && $1 == 0 { print $2 }')"
[ -n "$system_offset" ] || fail "$CHM has no #SYSTEM file in section 0"
system_length="$(chmls --no-page list "$CHM" 2>/dev/null | awk '$4 == "/#SYSTEM" { print $3 }')"
pos=$((content_offset + system_offset + 4)) # after the #SYSTEM version
end=$((content_offset + system_offset + system_length))
while [ $((pos + 4)) -le $end ]; do
  code="$(le $pos 2)"
  length="$(le $((pos + 2)) 2)"
  if [ "$code" -eq 10 ] && [ "$length" -eq 4 ]; then
    zero_bytes $((pos + 4)) 4
  fi
  pos=$((pos + 4 + length))
done

# The result holds the internal files of a help file, every listed file, contents and index.
names="$WORK/names.txt"
chmls -n --no-page list "$CHM" >"$names" 2>/dev/null || fail "chmls cannot read $CHM"
for f in "#SYSTEM" "#WINDOWS" "#TOPICS" "#URLTBL" "\$FIftiMain" "${listed[@]}" "$CONTENTS" "$INDEX"; do
  [ -z "$f" ] || grep -qxF "/$f" "$names" || fail "$CHM lacks /$f"
done

mkdir -p "$(dirname "$OUTPUT")"
staged="$(dirname "$OUTPUT")/.$(basename "$OUTPUT").$$"
if ! { cp "$CHM" "$staged" && mv -f "$staged" "$OUTPUT"; }; then
  rm -f "$staged"
  fail "cannot write $OUTPUT"
fi
