#!/bin/sh
# Scripts the fuzzer found costly or crashing run to their end: each must
# finish with success or a script error, never a signal.
# usage: fuzz_regressions.sh CHROMAWELL_BATCH TESTDATA
set -u
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export XDG_CACHE_HOME="$WORK/cache"
# The fuzzer's scripts name the small picture it ran them beside.
cp "$2/bmp/pal8.bmp" "$WORK/pal8.bmp"
cd "$WORK" || exit 1
for script in "$2"/fuzz/*.cw; do
    "$1" "$script" > /dev/null 2> "$WORK/err"
    rc=$?
    [ $rc -eq 0 ] || [ $rc -eq 2 ] || { echo "FAIL: $(basename "$script") exited $rc: $(cat "$WORK/err")"; exit 1; }
done
echo ok
