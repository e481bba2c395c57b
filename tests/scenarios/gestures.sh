#!/bin/sh
# Batch runner: tools and pointer gestures go through the image window's handlers.
# usage: gestures.sh CHROMAWELL_BATCH TESTDATA
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
tap 5 5 right
dump state "$WORK/0"
palette "Skin: Fair"
tool rectangle
drag 50 40 10 90
dump state "$WORK/1"
drag 10 40 30 60 50 90
dump state "$WORK/2"
tool touch
tap 20 50
dump state "$WORK/3"
tap 20 50
dump state "$WORK/4"
tap 20 50 right
dump state "$WORK/5"
tool brush
quick-brush 10x5
set layered on
set overwrite on
press 0 0 shift
dump state "$WORK/6"
release 0 0
dump state "$WORK/7"
EOS
"$BATCH" "$WORK/s.cw" 2> "$WORK/err" || fail "script failed: $(cat "$WORK/err")"
state 1 SelectionActive=0
state 2 SelectionActive=1
state 2 PaintLimitRect=10,40,50,90
state 3 PaintLimitRect=10,40,50,90
state 3 SelectionActive=0
state 4 PaintLimitRect=0,0,511,511
state 4 CurrentTool=2
state 0 PaletteCode=0
state 5 PaletteCode=1
state 6 ShiftHeld=1
state 6 CurrentTool=1
state 7 ShiftHeld=0
state 7 ImageModified=1

for bad in 'tool pencil' 'quick-brush 3x3' 'press 1 2' 'set scope everywhere' 'drag 1 2 3'; do
    printf 'set force-gray off\n%s\n' "$bad" | "$BATCH" - 2> "$WORK/err2"
    [ $? -eq 2 ] || fail "'$bad' should exit 2"
    grep -q '^line 2: ' "$WORK/err2" || fail "'$bad': $(cat "$WORK/err2")"
done
echo ok
