#!/bin/sh
# A whole colouring session on the cameraman photo: every tool, undo and redo,
# effects, mark-up, finish-up, save and crop. Each step is judged by the
# colouring rules from what the program dumped, not against earlier output.
# usage: workflow_camera.sh CHROMAWELL_BATCH TESTDATA SCENARIO_CHECK
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
load "$DATA/photos/camera.jpg"
dump source "$W/source.bmp"
dump codes "$W/c0"
palette "Sky: Blue"
tool touch
set scope image-wide
tap 100 30
dump codes "$W/c1"
dump state "$W/st1"
palette "Hair: Dark [Brown]"
set scope connected
tap 100 300
dump codes "$W/c2"
dump state "$W/st2"
tool brush
palette "Skin: Fair"
quick-brush 10x5
dump display "$W/d3a.bmp"
drag 240 110 260 115 270 120
dump display "$W/d3b.bmp"
undo
dump display "$W/d3c.bmp"
undo
dump display "$W/d3d.bmp"
tool selection-paint
palette "Earth: Light"
dump display "$W/d4a.bmp"
drag 380 470 300 400
dump display "$W/d4b.bmp"
set saturation 3
set ambient 2
set light-red on
dump codes "$W/c5"
markup
dump anchors "$W/a5"
autofinish
dump codes "$W/c6"
dump state "$W/st6"
save "$W/finished.bmp"
tool rectangle
drag 50 60 250 200
dump colour "$W/d7a.bmp"
reset
dump source "$W/s7.bmp"
dump state "$W/st7"
EOS
"$BATCH" "$W/s.cw" > "$W/out" 2> "$W/err" || fail "script failed: $(cat "$W/err")"

# Image-wide Touch-paint gives the whole tone band its code; the connected
# fill only the unpainted region around its seed.
check touch-wide "$W/source.bmp" "$W/c0" "$W/c1" 100 30 "$(value st1 PaletteCode)" 16 52
check touch-connected "$W/source.bmp" "$W/c1" "$W/c2" 100 300 "$(value st2 PaletteCode)" 16 52
# A 10 x 5 brush stroke changes only its windows around the path, each one
# pixel wider and taller on the right and bottom; Un-do takes
# it back exactly and a second Un-do brings it again.
check within "$W/d3a.bmp" "$W/d3b.bmp" 231 106 281 126
check same "$W/d3a.bmp" "$W/d3c.bmp"
check same "$W/d3b.bmp" "$W/d3d.bmp"
# Selection painting dragged up-left stays inside its rectangle and the
# column and row after it, which the painter includes.
check within "$W/d4a.bmp" "$W/d4b.bmp" 300 400 381 471
check anchors "$W/a5" "$W/c5" 512x512
# After finish-up every coloured pixel has its code's colour under the final
# effects (saturation 3, ambient 2, white and red light).
check finished "$W/source.bmp" "$W/c6" "$W/finished.bmp" "$(value st6 BlendStrength)" "$(value st6 DamperOn)" 2 0 3 10100 0
# The crop is the selected rectangle of the picture, one to one, without the
# rubber band drawn over it.
check crop "$W/d7a.bmp" "$W/s7.bmp" 50 60
[ "$(value st7 width)x$(value st7 height)" = 201x141 ] || fail "crop size $(value st7 width)x$(value st7 height)"
[ "$(value st7 FreePixelCount)" = 28341 ] || fail "the cropped picture starts uncoloured"
echo ok
