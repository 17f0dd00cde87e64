#!/usr/bin/env bash
# The heap-checking run catches a write into a freed block, and passes a program that uses its
# heap cleanly: heap_check_selfcheck.sh <heap_misuse_probe.exe>
set -u
PROBE="$1"
RUN="$(cd "$(dirname "$0")/../.." && pwd)/scripts/wine-run.sh"
failures=0
out=$(TESSEL_HEAP_CHECK=1 "$RUN" "$PROBE" --gtest_filter=HeapMisuse.WritesIntoABlockAfterFreeingIt 2>&1)
rc=$?
echo "$out" | tail -n 5
if [ "$rc" = 0 ]; then
  echo "FAIL: a write after free passed the heap check"
  failures=$((failures + 1))
fi
echo "$out" | grep -q "damaged by the end of HeapMisuse.WritesIntoABlockAfterFreeingIt" ||
  { echo "FAIL: the damaged heap was not put down to the test that did it"; failures=$((failures + 1)); }
out=$(TESSEL_HEAP_CHECK=1 "$RUN" "$PROBE" --gtest_filter=HeapMisuse.UsesTheHeapCleanly 2>&1)
rc=$?
if [ "$rc" != 0 ]; then
  echo "$out" | tail -n 20
  echo "FAIL: a clean program failed the heap check"
  failures=$((failures + 1))
fi
[ "$failures" = 0 ] && echo "the heap check catches a write after free and passes clean use"
[ "$failures" = 0 ]
