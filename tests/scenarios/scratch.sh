#!/bin/sh
# Two programs side by side keep their scratch bitmaps apart; a program's
# scratch folder goes when it ends, interrupted too, and a dead program's at
# the next start.
# usage: scratch.sh CHROMAWELL_BATCH TESTDATA
set -u
BATCH=$1 DATA=$2 W=$(mktemp -d)
trap 'rm -rf "$W"' EXIT
export XDG_CACHE_HOME="$W/cache"
T="$W/cache/chromawell/temp"
fail() { echo "FAIL: $*"; exit 1; }
# Waits until file $1 is in place (at most 30 s, for slow builds).
await() { for _ in $(seq 300); do [ -f "$1" ] && return; sleep 0.1; done; fail "no $1"; }
# The scratch folder holds exactly the names given.
listed() { [ "$(ls "$T" | sort)" = "$(printf '%s\n' "$@" | sort)" ] || fail "$(ls "$T") is not $*"; }
# Starts a runner that reads its script, line by line, from what is written to descriptor $1.
runner() { rm -f "$W/in$1"; mkfifo "$W/in$1"; "$BATCH" - < "$W/in$1" 2>> "$W/err" & }

# Left over: a dead program's folder; one of a live pid with another start
# time (the pid was reused); a live program's; and what is not a folder of ours.
dead=$(sh -c 'echo $$') live="$$-$(cut -d' ' -f22 /proc/$$/stat)"
mkdir -p "$T/$dead-5" "$T/$$-1" "$T/$live" "$T/$dead" "$W/elsewhere"
touch "$T/$dead-5/wkf.bmp" "$W/elsewhere/wkf.bmp"
ln -s "$W/elsewhere" "$T/$dead-6"

runner 3; A=$!; exec 3> "$W/in3"
printf 'load "%s"\ndump source "%s"\n' "$DATA/photos/camera.jpg" "$W/a.bmp" >&3
await "$W/a.bmp"
a=$(cd "$T" && echo "$A"-*)
listed "$a" "$dead" "$dead-6" "$live"
[ -f "$W/elsewhere/wkf.bmp" ] && [ -f "$T/$a/wkf.bmp" ] && [ "$(stat -c %a "$T/$a")" = 700 ] || fail "A's folder: $(ls -lR "$W")"

# A folder in the scratch bitmap's place is A's to clear, without following a link in it: the next JPEG loads.
rm "$T/$a/wkf.bmp"; mkdir -p "$T/$a/wkf.bmp/deeper"; ln -s "$W/elsewhere" "$T/$a/wkf.bmp/deeper/out"
printf 'load "%s"\ndump source "%s"\n' "$DATA/photos/camera.jpg" "$W/a2.bmp" >&3
await "$W/a2.bmp"
cmp -s "$W/a.bmp" "$W/a2.bmp" && [ -f "$T/$a/wkf.bmp" ] && [ -f "$W/elsewhere/wkf.bmp" ] || fail "wkf.bmp folder: $(ls -lR "$W")"

# B loads another photo and ends, taking its folder along; A gets its own picture back.
printf 'load "%s"\n' "$DATA/photos/coffee.jpg" | "$BATCH" - || fail "B: $(cat "$W/err")"
printf 'restore\ndump display "%s"\n' "$W/a-restored.bmp" >&3
exec 3>&-
wait $A || fail "A: $(cat "$W/err")"
cmp -s "$W/a.bmp" "$W/a-restored.bmp" || fail "A's restore brought back another picture"
listed "$dead" "$dead-6" "$live"

# Interrupted with a picture loaded, C leaves no folder either.
runner 4; C=$!; exec 4> "$W/in4"
printf 'load "%s"\ndump source "%s"\n' "$DATA/photos/camera.jpg" "$W/c.bmp" >&4
await "$W/c.bmp"
kill -TERM $C; wait $C
[ $? -eq 143 ] || fail "an interrupted runner should end with 143"
exec 4>&-
listed "$dead" "$dead-6" "$live"
echo ok
