#!/bin/sh
# Batch runner: load, force gray, save, dump, restore and the error contract;
# scripts the fuzzer found costly or crashing run to their end.
# usage: files.sh CHROMAWELL_BATCH TESTDATA
set -u
BATCH=$1 DATA=$2 WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export XDG_CACHE_HOME="$WORK/cache"
fail() { echo "FAIL: $*"; exit 1; }
# Writes a script from one line per step, with ';' between the commands of a step.
script() { sed 's/ *; */\n/g' > "$WORK/$1"; }

script ok.cw <<EOF
# comments and blank lines are skipped

set force-gray on; load "$DATA/photos/astronaut.jpg"; time load
dump state "$WORK/state.txt"; dump codes "$WORK/codes.bin"; dump source "$WORK/source.bmp"
save "$WORK/saved.bmp"; save "$WORK/saved.bmp"
set complexity 300; set integration 0; restore
dump state "$WORK/state2.txt"; dump display "$WORK/display.bmp"; clear
EOF
"$BATCH" "$WORK/ok.cw" > "$WORK/out" 2> "$WORK/err" || fail "script failed: $(cat "$WORK/err")"
grep -q '^time load [0-9][0-9]*$' "$WORK/out" || fail "no time line: $(cat "$WORK/out")"
grep -qx 'message: Specified file exists; overwrite?' "$WORK/err" || fail "overwrite not confirmed: $(cat "$WORK/err")"
for kv in width=512 height=512 FreePixelCount=262144 ImageModified=0 GrayStep=16 IntegrationTolerance=52 \
          MinObjectSize=102 MinAnchorSeparation=102 PaletteCode=1 MarkerColour=16776960 CurrentTool=1 \
          SelectionRect=0,0,0,0 "SelectionCaption=Skin: Fair"; do
    grep -qx "$kv" "$WORK/state.txt" || fail "state lacks $kv: $(cat "$WORK/state.txt")"
done
# Complexity and integration are clamped to their ranges; restore recomputes GrayStep.
grep -qx GrayStep=1 "$WORK/state2.txt" && grep -qx IntegrationTolerance=1 "$WORK/state2.txt" || fail "not clamped"
[ "$(wc -c < "$WORK/codes.bin")" -eq 262144 ] && [ -z "$(tr -d '\000' < "$WORK/codes.bin")" ] || fail "codes dump"
# 24-bit bitmap of 512 x 512: 54 + 512 * 3 * 512 bytes.
[ "$(wc -c < "$WORK/saved.bmp")" -eq 786486 ] || fail "saved size"
cmp -s "$WORK/saved.bmp" "$WORK/source.bmp" || fail "saved differs from source"
# Force Gray applied to the first load only: the restored picture is in colour.
cmp -s "$WORK/display.bmp" "$WORK/saved.bmp" && fail "restore kept the gray picture"

# The first bad line stops the script with its number; earlier output stays.
printf 'load "%s"\nsave "%s"\nload "%s"\nsave "%s"\n' "$DATA/bmp/rgb24.bmp" "$WORK/first.bmp" \
    "$DATA/bad/truncated-half.bmp" "$WORK/never.bmp" > "$WORK/bad.cw"
"$BATCH" "$WORK/bad.cw" 2> "$WORK/err2"
[ $? -eq 2 ] || fail "bad load should exit 2"
grep -q '^line 3: ' "$WORK/err2" || fail "no line number: $(cat "$WORK/err2")"
grep -qx 'message: In-valid/ un-supported Image-type, or out of real memory!' "$WORK/err2" || fail "no message"
[ -f "$WORK/first.bmp" ] || fail "file written before the bad line is gone"
[ ! -f "$WORK/never.bmp" ] || fail "line after the bad one ran"
for bad in 'frobnicate' 'save x.bmp' 'dump codes x' 'set force-gray maybe' 'load' 'load "unterminated' \
           'tool pencil' 'quick-brush 3x3' 'press 1 2' 'set scope everywhere' 'drag 1 2 3' 'zoom'; do
    printf '# one\n%s\n' "$bad" | "$BATCH" - 2> "$WORK/err3"
    [ $? -eq 2 ] || fail "'$bad' should exit 2"
    grep -q '^line 2: ' "$WORK/err3" || fail "'$bad': $(cat "$WORK/err3")"
done

# Interrupted while saving over and over: the status says so, and neither the
# part-written file nor a cut-off picture is left. Three times, as an
# interrupt may also fall between two saves.
{ echo "load \"$DATA/photos/astronaut.jpg\""; yes "save \"$WORK/intr/out.bmp\"" | head -n 20000; } > "$WORK/intr.cw"
for round in 1 2 3; do
    rm -rf "$WORK/intr"; mkdir "$WORK/intr"
    "$BATCH" "$WORK/intr.cw" 2> /dev/null &
    # Once the first save is in place (at most 30 s, for slow builds), the next ones overwrite it.
    for _ in $(seq 300); do [ -f "$WORK/intr/out.bmp" ] && break; sleep 0.1; done
    sleep 0.$((round * 2)); kill -TERM $!; wait $!
    [ $? -eq 143 ] || fail "an interrupted script should end with 143"
    [ "$(ls -A "$WORK/intr")" = out.bmp ] && [ "$(wc -c < "$WORK/intr/out.bmp")" -eq 786486 ] ||
        fail "after interrupt $round: $(ls -lA "$WORK/intr")"
done

# The fuzzer's scripts name the small picture it ran them beside; each must
# finish with success or a script error, never a signal.
cp "$DATA/bmp/pal8.bmp" "$WORK/pal8.bmp"
cd "$WORK" || exit 1
for s in "$DATA"/fuzz/*.cw; do
    "$BATCH" "$s" > /dev/null 2> "$WORK/err"
    rc=$?
    [ $rc -eq 0 ] || [ $rc -eq 2 ] || fail "$(basename "$s") exited $rc: $(cat "$WORK/err")"
done
echo ok
