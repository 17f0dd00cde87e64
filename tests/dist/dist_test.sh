#!/usr/bin/env bash
# Tries what users get, in a fresh Wine prefix of its own:
#   dist_test.sh install <dist_driver.exe>  the installer: silent install, start through the Start-menu
#                                           shortcut, repair a sample, uninstall, nothing left behind
#   dist_test.sh zip <dist_driver.exe>      the portable zip: unpack, start in its folder, repair a sample
#   dist_test.sh upgrade <dist_driver.exe>  an earlier version installed with /D= into a folder of the
#                                           user's choice, this one installed over it twice (same
#                                           folder, one entry), then uninstalled: the user's files stay
set -u
KIND="$1"
DRIVER="$2"
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
export TESSEL_TEST_PREFIX=1
export WINEPREFIX="$ROOT/build/wineprefix-dist-$KIND"
# No menu entries for the host desktop: the Start-menu shortcut must not reach the user's home.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
. "$ROOT/scripts/wine-env.sh"

WORK=$(mktemp -d)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_eq() { # what, got, wanted
  if [ "$2" == "$3" ]; then echo "ok: $1 = $3"; else fail "$1 is '$2', expected '$3'"; fi
}
value() { sed -n "s/^$1=//p" "$WORK/driver.out" | tr -d '\r' | head -n 1; }
finish() {
  wineserver -k >/dev/null 2>&1
  tessel_stop_display
  # Kept for a look when something failed; a passing run leaves no prefix behind.
  [ "$failures" -eq 0 ] && rm -rf "$WINEPREFIX" "$WORK"
}
trap finish EXIT

tessel_ensure_display || exit 1
VERSION=$(sed -n 's/^#define TESSEL_VERSION_TEXT "\(.*\)"$/\1/p' "$ROOT/res/version.h")
"$ROOT/scripts/make_dist.sh" "$WORK/dist" >/dev/null || { echo "FAIL: make_dist.sh"; exit 1; }
SETUP="$WORK/dist/CalveraTessel-$VERSION-setup.exe"
ZIP="$WORK/dist/CalveraTessel-$VERSION.zip"

rm -rf "$WINEPREFIX"
tessel_ensure_prefix
C="$WINEPREFIX/drive_c"
# Everything on the C: drive except the temporary folders, whose contents Wine and installers churn.
snapshot() {
  (cd "$C" && find . -path './users/*/Temp' -prune -o -path './windows/temp' -prune -o -print | LC_ALL=C sort)
}

# A damaged sample and its undamaged original (LibreOffice, first 32 bytes zeroed).
SAMPLE="Budget 2026.xls"
ORIGINAL="$ROOT/tests/fixtures/lo_3sheets.xls"

# Runs the driver, then judges the repaired copy; $1 the driver's start arguments, $2 the program's folder.
repair_sample() {
  local docs="$C/users/Public/Documents/Tessel trial"
  mkdir -p "$docs"
  cp "$ROOT/samples/$SAMPLE" "$docs/"
  "$WINE" "$DRIVER" "$@" "C:\\users\\Public\\Documents\\Tessel trial\\$SAMPLE" \
    >"$WORK/driver.out" 2>"$WORK/driver.err"
  local rc=$?
  sed 's/^/driver: /' "$WORK/driver.out"
  expect_eq "driver exit code" "$rc" 0
  expect_eq "main window caption" "$(value window)" "Calvera Tessel for Excel"
  expect_eq "version.ProductName" "$(value version.ProductName)" "Calvera Tessel for Excel"
  expect_eq "version.ProductVersion" "$(value version.ProductVersion)" "$VERSION"
  expect_eq "version.CompanyName" "$(value version.CompanyName)" "Calvera Software"
  expect_eq "version.fixed" "$(value version.fixed)" "$VERSION.0"
  expect_eq "source row" "$(value source.name)" "$SAMPLE"
  expect_eq "result rows" "$(value result.rows)" 1
  expect_eq "repaired name" "$(value result.name)" "REP_$SAMPLE"
  expect_eq "status" "$(value result.status)" "Repaired"
  expect_eq "summary's last button" "$(value summary.close)" "Close"
  expect_eq "exit question" "$(value question)" "Calvera Tessel for Excel"
  expect_eq "program exit code" "$(value exit)" 0
  local out="$docs/Repaired/REP_$SAMPLE"
  if [ -f "$out" ]; then
    /usr/bin/python3 "$ROOT/tests/dist/same_cells.py" "$out" "$ORIGINAL" || fail "the repaired copy's cells"
  else
    fail "no repaired copy $out"
  fi
  # The sample itself is left as it was.
  cmp -s "$docs/$SAMPLE" "$ROOT/samples/$SAMPLE" || fail "the sample was changed"
  rm -rf "$docs"
}

KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\CalveraTessel'
reg_value() { "$WINE" reg query "$KEY" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_[A-Z_]* *//p"; }
INSTALLED="Calvera Tessel for Excel.chm|CalveraTessel.exe|ReadMe.txt|Uninstall.exe|VuzuviViduv.dll|"

case "$KIND" in
install)
  snapshot >"$WORK/before.txt"
  "$WINE" "$SETUP" /S >/dev/null 2>&1
  expect_eq "installer exit code" "$?" 0
  DIR="$C/Program Files/Calvera Tessel for Excel"
  expect_eq "installed files" "$(cd "$DIR" 2>/dev/null && ls | tr '\n' '|')" "$INSTALLED"
  cmp -s "$DIR/CalveraTessel.exe" "$ROOT/build/bin/CalveraTessel.exe" || fail "the installed program differs"
  expect_eq "DisplayName" "$(reg_value DisplayName)" "Calvera Tessel for Excel"
  expect_eq "DisplayVersion" "$(reg_value DisplayVersion)" "$VERSION"
  expect_eq "Publisher" "$(reg_value Publisher)" "Calvera Software"
  expect_eq "UninstallString" "$(reg_value UninstallString)" '"C:\Program Files\Calvera Tessel for Excel\Uninstall.exe"'
  LINK='C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Calvera Tessel for Excel.lnk'
  repair_sample "$LINK"
  expect_eq "shortcut command" "$(value link.target)" 'C:\Program Files\Calvera Tessel for Excel\CalveraTessel.exe'
  expect_eq "shortcut working folder" "$(value link.dir)" 'C:\Program Files\Calvera Tessel for Excel'
  # The uninstaller runs from a copy in the temporary folder and returns at once: wait for it.
  "$WINE" 'C:\Program Files\Calvera Tessel for Excel\Uninstall.exe' /S >/dev/null 2>&1
  timeout 60 wineserver -w || fail "the uninstaller did not end"
  snapshot >"$WORK/after.txt"
  if ! diff "$WORK/before.txt" "$WORK/after.txt" >"$WORK/left.txt"; then
    fail "the uninstall left the C: drive changed:"
    cat "$WORK/left.txt"
  fi
  "$WINE" reg query "$KEY" >/dev/null 2>&1 && fail "the Add/Remove Programs entry is still there"
  ;;
upgrade)
  # The same program packed as an earlier version.
  TESSEL_DIST_VERSION=0.9.0 "$ROOT/scripts/make_dist.sh" "$WORK/old" >/dev/null || fail "make_dist.sh of 0.9.0"
  # /D= takes the rest of the command line as it stands, so the folder has no blank to quote.
  "$WINE" "$WORK/old/CalveraTessel-0.9.0-setup.exe" /S '/D=C:\Tools\Tessel' >/dev/null 2>&1
  expect_eq "earlier installer exit code" "$?" 0
  DIR="$C/Tools/Tessel"
  expect_eq "files in the chosen folder" "$(cd "$DIR" 2>/dev/null && ls | tr '\n' '|')" "$INSTALLED"
  expect_eq "earlier DisplayVersion" "$(reg_value DisplayVersion)" "0.9.0"
  expect_eq "InstallLocation" "$(reg_value InstallLocation)" 'C:\Tools\Tessel'
  # What a user keeps in the program's folder.
  echo "my notes" >"$DIR/My notes.txt"
  mkdir -p "$DIR/Repaired" && cp "$ROOT/samples/$SAMPLE" "$DIR/Repaired/"
  for round in newer same; do
    "$WINE" "$SETUP" /S >/dev/null 2>&1
    expect_eq "installer exit code over the $round" "$?" 0
    expect_eq "files after installing over the $round" "$(cd "$DIR" && ls | tr '\n' '|')" \
      "Calvera Tessel for Excel.chm|CalveraTessel.exe|My notes.txt|ReadMe.txt|Repaired|Uninstall.exe|VuzuviViduv.dll|"
    cmp -s "$DIR/CalveraTessel.exe" "$ROOT/build/bin/CalveraTessel.exe" || fail "the program was not replaced"
    expect_eq "DisplayVersion after the $round" "$(reg_value DisplayVersion)" "$VERSION"
    expect_eq "InstallLocation after the $round" "$(reg_value InstallLocation)" 'C:\Tools\Tessel'
    [ -e "$C/Program Files/Calvera Tessel for Excel" ] && fail "a second copy went to Program Files"
  done
  repair_sample 'C:\Tools\Tessel\CalveraTessel.exe' 'C:\Tools\Tessel'
  "$WINE" 'C:\Tools\Tessel\Uninstall.exe' /S >/dev/null 2>&1
  timeout 60 wineserver -w || fail "the uninstaller did not end"
  expect_eq "left after uninstalling" "$(cd "$DIR" 2>/dev/null && ls -R | tr '\n' '|')" \
    ".:|My notes.txt|Repaired||./Repaired:|$SAMPLE|"
  expect_eq "the user's notes" "$(cat "$DIR/My notes.txt" 2>/dev/null)" "my notes"
  "$WINE" reg query "$KEY" >/dev/null 2>&1 && fail "the Add/Remove Programs entry is still there"
  ;;
zip)
  expect_eq "zip contents" "$(unzip -Z1 "$ZIP" | LC_ALL=C sort | tr '\n' '|')" \
    "Calvera Tessel for Excel/|Calvera Tessel for Excel/Calvera Tessel for Excel.chm|Calvera Tessel for Excel/CalveraTessel.exe|Calvera Tessel for Excel/ReadMe.txt|Calvera Tessel for Excel/VuzuviViduv.dll|"
  mkdir -p "$C/users/Public/Desktop"
  unzip -q "$ZIP" -d "$C/users/Public/Desktop" || fail "unzip"
  DIR='C:\users\Public\Desktop\Calvera Tessel for Excel'
  repair_sample "$DIR\\CalveraTessel.exe" "$DIR"
  ;;
*)
  echo "usage: dist_test.sh install|zip|upgrade <dist_driver.exe>" >&2
  exit 2
  ;;
esac

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed; prefix kept: $WINEPREFIX"
  exit 1
fi
echo "all checks passed"
