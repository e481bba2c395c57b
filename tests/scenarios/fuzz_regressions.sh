#!/bin/sh
# Scripts the fuzzer found costly or crashing run to their end quickly: each
# must finish within its time with success or a script error, never a signal.
# usage: fuzz_regressions.sh CHROMAWELL_BATCH TESTDATA
set -u
BATCH=$1
DATA=$2
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export XDG_CACHE_HOME="$WORK/cache"
fail() { echo "FAIL: $*"; exit 1; }

# The fuzzer's scripts name the small picture it ran them beside.
cp "$DATA/bmp/pal8.bmp" "$WORK/pal8.bmp"
cd "$WORK" || exit 1
for script in "$DATA"/fuzz/*.cw; do
    timeout 20 "$BATCH" "$script" > /dev/null 2> "$WORK/err"
    rc=$?
    [ $rc -eq 124 ] && fail "$(basename "$script") did not finish"
    [ $rc -eq 0 ] || [ $rc -eq 2 ] || fail "$(basename "$script") exited $rc: $(cat "$WORK/err")"
done
echo ok
