#!/usr/bin/env bash
# Runs every test through CTest, each test executable under Wine, on one virtual display.
set -u
export TESSEL_TEST_PREFIX=1
. "$(dirname "$0")/wine-env.sh"
tessel_ensure_display || exit 1
tessel_ensure_prefix
trap 'wineserver -k >/dev/null 2>&1; tessel_stop_display' EXIT
# Keep one Wine server for the whole run; starting one per test costs seconds each.
wineserver -p >/dev/null 2>&1
cd "$TESSEL_ROOT/build/cmake" || exit 1
ctest --output-on-failure "$@"
