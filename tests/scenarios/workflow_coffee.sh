#!/bin/sh
# A colour photo loaded as gray: a Mask'ed Touch-paint, enlarging by two,
# aborted and full mark-up, finish-up, save. Judged by the colouring rules.
# usage: workflow_coffee.sh CHROMAWELL_BATCH TESTDATA SCENARIO_CHECK
set -u
BATCH=$1
DATA=$2
CHECK=$3
W=$(mktemp -d)
trap 'rm -rf "$W"' EXIT
export XDG_CACHE_HOME="$W/cache"
fail() { echo "FAIL: $*"; exit 1; }
check() { "$CHECK" "$@" > "$W/check.out" || fail "$1: $(cat "$W/check.out")"; }
value() { sed -n "s/^$2=//p" "$W/$1"; }

cat > "$W/s.cw" <<EOS
set force-gray on
load "$DATA/photos/coffee.jpg"
dump source "$W/source.bmp"
dump codes "$W/c0"
set paint-mode masked
tool touch
set scope image-wide
palette "Objects: Light [Red]"
tap 200 150
dump codes "$W/c1"
dump display "$W/d1.bmp"
dump state "$W/st1"
set paint-mode interactive
set scale-factor 2
reset
dump source "$W/s2.bmp"
dump state "$W/st2"
palette "Skin: Fair"
tap 300 300
abort-after 3
markup
dump anchors "$W/a-aborted"
markup
dump anchors "$W/a-full"
autofinish
dump codes "$W/c4"
dump state "$W/st4"
save "$W/finished.bmp"
EOS
"$BATCH" "$W/s.cw" > "$W/out" 2> "$W/err" || fail "script failed: $(cat "$W/err")"

# Force Gray made the photo gray; the Mask'ed fill shows source XOR marker.
check touch-wide "$W/source.bmp" "$W/c0" "$W/c1" 200 150 "$(value st1 PaletteCode)" 16 52
check masked "$W/source.bmp" "$W/c1" "$W/d1.bmp" "$(value st1 PaletteCode)" "$(value st1 MarkerColour)"
# Enlarging by two repeats every pixel of what was shown, which becomes the
# new original with no colouring.
check scaled "$W/d1.bmp" "$W/s2.bmp" 2
[ "$(value st2 FreePixelCount)" = $((1024 * 682)) ] || fail "the enlarged picture starts uncoloured"
# An aborted mark-up ends with fewer regions than a full one.
aborted=$(wc -l < "$W/a-aborted"); full=$(wc -l < "$W/a-full")
[ "$aborted" -lt "$full" ] || fail "aborted mark-up found $aborted regions of $full"
check sound "$W/c4" 0
check finished "$W/s2.bmp" "$W/c4" "$W/finished.bmp" "$(value st4 BlendStrength)" "$(value st4 DamperOn)" 0 0 0 10000 0
echo ok
