#!/bin/sh
# Batch runner: undo, zoom and re-set (zero-set, crop, scale) of a real photo.
# usage: undo_zoom.sh CHROMAWELL_BATCH TESTDATA
set -u
BATCH=$1
DATA=$2
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export XDG_CACHE_HOME="$WORK/cache"
fail() { echo "FAIL: $*"; exit 1; }
state() { grep -qx "$2" "$WORK/$1" || fail "$1 lacks $2: $(tr '\n' ' ' < "$WORK/$1")"; }

cat > "$WORK/s.cw" <<EOS
load "$DATA/photos/camera-24.bmp"
set scale-factor -1
reset
dump state "$WORK/1"
set scale-factor 2
reset
dump state "$WORK/2"
set scale-factor -3
reset
dump state "$WORK/3"
tool rectangle
drag 10 20 40 60
set scale-factor 5
reset
dump state "$WORK/4"
set zoom-factor 3
zoom
undo
undo
dump display "$WORK/d.bmp"
dump source "$WORK/s.bmp"
EOS
"$BATCH" "$WORK/s.cw" 2> "$WORK/err" || fail "script failed: $(cat "$WORK/err")"
state 1 width=512
state 2 width=1024
state 2 height=1024
state 3 width=341
state 3 height=341
state 4 width=31
state 4 height=41
state 4 SelectionActive=0
state 4 FreePixelCount=1271
cmp -s "$WORK/d.bmp" "$WORK/s.bmp" || fail "two undos should leave the picture as rebuilt"
printf 'zoom\n' | "$BATCH" - 2> "$WORK/err2"
[ $? -eq 2 ] || fail "zoom without a picture should exit 2"
echo ok
