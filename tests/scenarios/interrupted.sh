#!/bin/sh
# An interrupted re-sample leaves none of its files: the signal comes while
# the picture handed to the set-up is on disk.
# usage: interrupted.sh CHROMAWELL_BATCH TESTDATA
set -u
BATCH=$1 DATA=$2 W=$(mktemp -d)
trap 'rm -rf "$W"' EXIT
export XDG_CACHE_HOME="$W/cache"
T="$W/cache/chromawell/temp"
fail() { echo "FAIL: $*"; exit 1; }

# The photo enlarged four times, then zero-set over and over.
{ printf 'load "%s"\nset scale-factor 4\nreset\nset scale-factor 0\n' "$DATA/photos/camera.jpg"
  yes reset | head -n 50; echo "dump state \"$W/done\""; } > "$W/s.cw"
"$BATCH" "$W/s.cw" 2> "$W/err" &
P=$!
# Stopped, the runner cannot remove the file between the look and the signal.
caught=
while [ ! -e "$W/done" ]; do
    set -- "$T/$P"-*/currimg.bmp
    [ -e "$1" ] || continue
    kill -STOP $P
    if [ -e "$1" ]; then
        caught=$1
        kill -TERM $P; kill -CONT $P
        break
    fi
    kill -CONT $P
done
wait $P
rc=$?
[ -n "$caught" ] || fail "no re-sample seen on disk: $(cat "$W/err")"
[ $rc -eq 143 ] || fail "status $rc: $(cat "$W/err")"
[ -z "$(ls -A "$T")" ] || fail "left behind: $(ls -lR "$T")"
echo ok
