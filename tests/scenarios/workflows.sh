#!/bin/sh
# Whole colouring sessions through the script runner, each step judged by the
# colouring rules from what the program dumped, not against earlier output.
# usage: workflows.sh CHROMAWELL_BATCH TESTDATA SCENARIO_CHECK
set -u
BATCH=$1 DATA=$2 CHECK=$3 W=$(mktemp -d)
trap 'rm -rf "$W"' EXIT
export XDG_CACHE_HOME="$W/cache"
fail() { echo "FAIL: $*"; exit 1; }
check() { "$CHECK" "$@" > "$W/check.out" || fail "$1: $(cat "$W/check.out")"; }
value() { sed -n "s/^$2=//p" "$W/$1"; }
# Runs the script on stdin, written one line per step with ';' between the
# commands of a step.
run() { sed 's/ *; */\n/g' > "$W/s.cw" && "$BATCH" "$W/s.cw" > "$W/out" 2> "$W/err" || fail "script failed: $(cat "$W/err")"; }

run <<EOF
load "$DATA/photos/camera.jpg"; dump source "$W/source.bmp"
palette "Sky: Blue"; tool touch; set scope image-wide; tap 100 30
palette "Hair: Dark [Brown]"; set scope connected; tap 100 300
tool brush; palette "Skin: Fair"; quick-brush 10x5; dump display "$W/d3a.bmp"
drag 240 110 260 115 270 120; dump display "$W/d3b.bmp"
undo; dump display "$W/d3c.bmp"; undo; dump display "$W/d3d.bmp"
tool selection-paint; palette "Earth: Light"; drag 380 470 300 400; dump display "$W/d4b.bmp"
set saturation 3; set ambient 2; set light-red on; dump codes "$W/c5"; markup; dump anchors "$W/a5"
autofinish; dump codes "$W/c6"; dump state "$W/st6"; save "$W/finished.bmp"
tool rectangle; drag 50 60 250 200; dump colour "$W/d7a.bmp"
reset; dump source "$W/s7.bmp"; dump state "$W/st7"
EOF
# A 10 x 5 brush stroke changes only its windows around the path, each one
# pixel wider and taller on the right and bottom; Un-do takes it back
# exactly and a second Un-do brings it again. Selection painting dragged
# up-left keeps to its rectangle and the column and row after it.
check within "$W/d3a.bmp" "$W/d3b.bmp" 231 106 281 126
cmp -s "$W/d3a.bmp" "$W/d3c.bmp" && cmp -s "$W/d3b.bmp" "$W/d3d.bmp" || fail "undo"
check within "$W/d3d.bmp" "$W/d4b.bmp" 300 400 381 471
check anchors "$W/a5" "$W/c5" 512x512
check finished "$W/source.bmp" "$W/c6" "$W/finished.bmp" "$(value st6 BlendStrength)" "$(value st6 DamperOn)" 2 0 3 10100 0
# The crop is the selected rectangle, one to one, without the rubber band.
check crop "$W/d7a.bmp" "$W/s7.bmp" 50 60
[ "$(value st7 width)x$(value st7 height) $(value st7 FreePixelCount)" = "201x141 28341" ] || fail "crop $(cat "$W/st7")"

# A colour photo loaded as gray, enlarged by two, aborted and full mark-up.
run <<EOF
set force-gray on; load "$DATA/photos/coffee.jpg"
set paint-mode masked; tool touch; palette "Objects: Light [Red]"; tap 200 150; dump display "$W/d1.bmp"
set paint-mode interactive; set scale-factor 2; reset; dump source "$W/s2.bmp"; dump state "$W/st2"
palette "Skin: Fair"; tap 300 300
abort-after 3; markup; dump anchors "$W/a-aborted"; markup; dump anchors "$W/a-full"
autofinish; dump codes "$W/c4"; dump state "$W/st4"; save "$W/finished.bmp"
EOF
check scaled "$W/d1.bmp" "$W/s2.bmp" 2
[ "$(value st2 FreePixelCount)" = $((1024 * 682)) ] || fail "the enlarged picture starts uncoloured"
[ "$(wc -l < "$W/a-aborted")" -lt "$(wc -l < "$W/a-full")" ] || fail "aborted mark-up found as many regions"
check finished "$W/s2.bmp" "$W/c4" "$W/finished.bmp" "$(value st4 BlendStrength)" "$(value st4 DamperOn)" 0 0 0 10000 0
echo ok
