#!/usr/bin/env bash
# Runs a Windows program under the project's Wine prefix: wine-run.sh program.exe [args...]
# The program's exit code is this script's exit code.
set -u
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
rm -f "$out"
exit $rc
