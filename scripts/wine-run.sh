#!/usr/bin/env bash
# Runs a Windows program under the project's Wine prefix: wine-run.sh program.exe [args...]
# The program's exit code is this script's exit code.
# With TESSEL_HEAP_CHECK=1 Wine checks the heap as the program runs (freed blocks are filled, block
# tails and arguments checked), and any heap error Wine reports fails the run.
set -u
if [ "${TESSEL_HEAP_CHECK:-0}" = 1 ]; then
  export WINEDEBUG="-all,err+heap,warn+heap"
fi
. "$(dirname "$0")/wine-env.sh"
tessel_ensure_display || exit 1
tessel_ensure_prefix
trap tessel_stop_display EXIT
# Wine's helper processes (services, the desktop) may outlive the program and inherit its output;
# a file instead of our caller's pipe keeps the caller from waiting for them.
out=$(mktemp)
"$WINE" "$@" >"$out" 2>&1
rc=$?
cat "$out"
if [ "${TESSEL_HEAP_CHECK:-0}" = 1 ] && grep -qE '^[0-9a-f]+:(err|warn):heap:' "$out"; then
  echo "wine-run: Wine reported heap errors (above) in $*"
  [ "$rc" = 0 ] && rc=1
fi
rm -f "$out"
exit $rc
