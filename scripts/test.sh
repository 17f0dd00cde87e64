#!/usr/bin/env bash
# Runs the tests through CTest, each test executable under Wine, in lanes that run side by side:
# every lane has a virtual display, a Wine prefix and a Wine server of its own, and CTest gives each
# test program (or each shard of a long one) one lane. TESSEL_TEST_LANES sets how many (4 on two
# cores: a test program waits for messages, timers and child processes for much of its time, and
# with one lane per core the cores sat idle through much of the run). Arguments go to ctest.
set -u
export TESSEL_TEST_PREFIX=1
. "$(dirname "$0")/wine-env.sh"
LANES="${TESSEL_TEST_LANES:-4}"
BUILD="$TESSEL_ROOT/build/cmake"
started=$(date +%s)

displays=()
prefixes=()
finish() {
  local prefix pid stopping=()
  # Each lane's server takes about 2 s to end its processes: all at once, not one after another.
  for prefix in "${prefixes[@]}"; do
    WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 &
    stopping+=("$!")
  done
  for pid in "${stopping[@]}"; do
    wait "$pid"
  done
  for pid in "${displays[@]}"; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
}
trap finish EXIT

for lane in $(seq 1 "$LANES"); do
  # Each lane a display of its own, even when this shell has one.
  unset DISPLAY
  TESSEL_XVFB_PID=""
  tessel_ensure_display || exit 1
  displays+=("$TESSEL_XVFB_PID")
  export "TESSEL_LANE_${lane}_DISPLAY=$DISPLAY"
  prefix="$TESSEL_ROOT/build/wineprefix-test"
  [ "$lane" = 1 ] || prefix="$prefix-$lane"
  WINEPREFIX="$prefix" tessel_ensure_prefix
  prefixes+=("$prefix")
  # One Wine server per lane for the whole run; starting one per test costs seconds each.
  WINEPREFIX="$prefix" wineserver -p >/dev/null 2>&1
done
# The tests find their lane's prefix and display from the lane CTest gives them.
unset DISPLAY WINEPREFIX
echo "test: $LANES lanes ready in $(($(date +%s) - started)) s"

lanes_file="$BUILD/lanes.json"
{
  printf '{"version": {"major": 1, "minor": 0}, "local": [{"lane": ['
  for lane in $(seq 1 "$LANES"); do
    [ "$lane" = 1 ] || printf ', '
    printf '{"id": "%s", "slots": 1}' "$lane"
  done
  printf ']}]}\n'
} >"$lanes_file"

cd "$BUILD" || exit 1
log=$(mktemp)
ctest --output-on-failure -j "$LANES" --resource-spec-file "$lanes_file" "$@" | tee "$log"
rc=${PIPESTATUS[0]}
# Each test program's time, longest first, so that the next slowdown shows where it happens.
echo "Time per test program:"
sed -n 's/^ *[0-9]*\/[0-9]* Test *#[0-9]*: \([^ ]*\) .* \([0-9.]*\) sec$/\2 \1/p' "$log" | sort -rn |
  awk '{ printf "  %-24s %7.1f s\n", $2, $1 }'
echo "test: $(($(date +%s) - started)) s in all"
# CTest's own count again, as the closing line.
sed -n 's/^[0-9]*% tests passed, \([0-9]*\) tests\? failed out of \([0-9]*\)$/\2 \1/p' "$log" |
  awk '{ printf "tests: %d passed, %d failed\n", $1 - $2, $2 }'
rm -f "$log"
exit "$rc"
