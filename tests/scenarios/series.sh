#!/bin/sh
# One script over a folder of pictures, each in a process of its own: the
# outputs equal one-picture runs, a damaged picture fails alone, a bad line
# stops the series, an interrupted series keeps what it finished, a second
# run skips what is done, a full disk fails a save and keeps the old file,
# and GNU parallel spreads the same command.
# usage: series.sh CHROMAWELL_BATCH TESTDATA
set -u
BATCH=$1 DATA=$2 W=$(mktemp -d)
trap 'rm -rf "$W"' EXIT
export XDG_CACHE_HOME="$W/cache"
fail() { echo "FAIL: $*"; exit 1; }
cd "$W"

mkdir pics
cp "$DATA/photos/camera.jpg" pics/a.jpg
cp "$DATA/photos/coffee.jpg" "pics/b c.jpg"
cp "$DATA/bad/corrupt-huffman.jpg" pics/c.jpg
cp "$DATA/png/gray8.png" pics/d.png
cp "$DATA/photos/camera.bmp" pics/e.bmp
cat > colour.cw <<'EOF'
load "@PICTURE@"
palette "Sky: Blue"
tool touch
set scope image-wide
tap 10 10
autofinish
time "@NAME@"
save "@OUT@/@NAME@.png"
dump codes "@OUT@/@NAME@.codes"
EOF
# What one picture's run alone writes, in ref/.
mkdir ref
for p in a "b c" d e; do
    sed -e "s|@PICTURE@|$(ls pics/"$p".*)|; s|@NAME@|$p|g; s|@OUT@|ref|g" colour.cw > one.cw
    "$BATCH" one.cw > /dev/null 2>&1 || fail "$p alone: $?"
done
same() { for p in a "b c" d e; do cmp -s "ref/$p.$2" "$1/$p.$2" || fail "$1/$p.$2 differs from a run alone"; done; }

# The series: the damaged picture fails alone, reported by its first error;
# the time lines come in the order of the pictures.
"$BATCH" -j 2 --out out --each colour.cw pics/* > stdout 2> stderr
rc=$?
[ $rc -eq 1 ] || fail "series: status $rc: $(cat stderr)"
same out png; same out codes
grep -qxF 'pics/c.jpg: line 1: cannot load pics/c.jpg (In-valid/ un-supported Image-type, or out of real memory!)' stderr &&
    grep -qxF '5 pictures: 4 done, 1 failed' stderr || fail "report: $(cat stderr)"
[ "$(cut -d' ' -f2 stdout | tr '\n' ,)" = "a,b,d,e," ] || fail "order: $(cat stdout)"

# Skipping what is done: only the failed picture and the one touched since
# run again; without --skip-done, every picture runs again.
"$BATCH" --out out --each colour.cw pics/* > stdout 2> /dev/null
[ "$(cut -d' ' -f2 stdout | tr '\n' ,)" = "a,b,d,e," ] || fail "again: $(cat stdout)"
sleep 1; touch pics/d.png
"$BATCH" --skip-done --out out --each colour.cw pics/* > stdout 2> stderr
[ "$(cut -d' ' -f2 stdout | tr '\n' ,)" = "d," ] || fail "skip-done ran: $(cat stdout)"
grep -qxF '3 skipped: their outputs are newer than them' stderr || fail "skip-done: $(cat stderr)"

# Bad lines: the status, what the report says, and the outputs written.
while read -r keep line status said outputs; do
    [ "$keep" = - ] && keep=
    [ "$outputs" = - ] && outputs=
    line=$(echo "$line" | tr _ ' ') said=$(echo "$said" | tr _ ' ')
    rm -rf bad; sed "s/^autofinish\$/$line/" colour.cw > bad.cw
    "$BATCH" -j 1 $keep --out bad --each bad.cw pics/a.jpg pics/e.bmp > /dev/null 2> stderr
    rc=$?
    [ $rc -eq "$status" ] || fail "$line $keep: status $rc: $(cat stderr)"
    grep -q "$said" stderr || fail "$line $keep: $(cat stderr)"
    [ "$(ls bad 2>/dev/null | tr '\n' ,)" = "$outputs" ] || fail "$line $keep: wrote $(ls bad)"
done <<ROWS
- frobnicate 2 ^line_6:_unknown_command_frobnicate$ -
- tap_1 2 ^pics/a.jpg:_line_6:_usage -
--keep-going tap_1 2 ^pics/e.bmp:_line_6:_usage -
- autofinish 0 ^2_pictures:_2_done a.codes,a.png,e.codes,e.png,
ROWS

# A name that would break the script's line fails alone, before it runs.
"$BATCH" --out q --each colour.cw "$(printf 'pics/a\nsave x.bmp')" pics/e.bmp > /dev/null 2> stderr
[ $? -eq 1 ] && grep -qF 'its name holds a line break' stderr && [ -f q/e.png ] && [ ! -e x.bmp ] || fail "line break: $(cat stderr)"

# A full disk: the save fails with status 1 and the old file stays.
mkdir full; echo old > full/e.png
(ulimit -f 64; "$BATCH" --out full --each colour.cw pics/e.bmp > /dev/null 2> stderr)
rc=$?
[ $rc -eq 1 ] && [ "$(cat full/e.png)" = old ] || fail "full disk: status $rc, $(cat stderr)"
grep -qF 'pics/e.bmp: line 8: Unable to Save Picture' stderr || fail "full disk: $(cat stderr)"

# Interrupted: the running pictures stop, the finished ones stay whole, and
# nothing else is left in the folder or the scratch folder.
{ sed '/^time/,$d' colour.cw; for i in $(seq 80); do echo "tap $i 10"; echo history-undo; done
  echo 'save "@OUT@/@NAME@.bmp"'; } > slow.cw
for i in 1 2 3 4 5 6 7 8; do cp pics/a.jpg pics/s$i.jpg; done
sed 's|@PICTURE@|pics/s1.jpg|; s|@OUT@/@NAME@|slow|' slow.cw > one.cw; "$BATCH" one.cw 2> /dev/null
for signal in INT:130 TERM:143; do
    rm -rf int; "$BATCH" -j 2 --out int --each slow.cw pics/s?.jpg 2> stderr &
    P=$!
    until ls int/*.bmp > /dev/null 2>&1; do sleep 0.02; done
    kill -"${signal%:*}" $P; wait $P
    rc=$?
    [ $rc -eq "${signal#*:}" ] || fail "$signal: status $rc: $(cat stderr)"
    n=$(ls int | wc -l)
    [ "$n" -ge 1 ] && [ "$n" -lt 8 ] || fail "$signal: $n outputs"
    for f in int/*; do cmp -s "$f" slow.bmp || fail "$signal: $f is not a finished output"; done
    # A picture stopped just after its save keeps that whole file, and is not counted done.
    done=$(sed -n 's/^8 pictures: \([0-9]*\) done, 0 failed$/\1/p' stderr)
    [ -n "$done" ] && [ "$done" -ge 1 ] && [ "$done" -le "$n" ] && grep -qx "interrupted: $((8 - done)) not finished" stderr ||
        fail "$signal: $(cat stderr)"
    [ -z "$(ls -A cache/chromawell/temp)" ] || fail "$signal: scratch left: $(ls -R cache)"
done

# GNU parallel, this machine as the one remote: the same outputs.
rm pics/c.jpg pics/s*
parallel --will-cite -S : --transferfile {} --return par/{/.}.png --return par/{/.}.codes \
    "$BATCH" -j 1 --out par --each colour.cw {} ::: pics/* > /dev/null 2> stderr || fail "parallel: $(cat stderr)"
same par png; same par codes

# The conventions of a command, without a display.
for args in --help --version "--help --each" ; do
    env -u DISPLAY "$BATCH" $args > stdout 2>&1 && grep -q "chromawell-batch" stdout || fail "$args: $(cat stdout)"
done
for args in "" "-j 0 --each colour.cw pics/a.jpg" "--each colour.cw pics/a.jpg pics/../pics/a.jpg" "--each colour.cw" "-j 2 colour.cw" "--frob colour.cw" "--each missing.cw pics/a.jpg"; do
    "$BATCH" $args > /dev/null 2> stderr; rc=$?
    [ $rc -eq 2 ] && [ -s stderr ] || fail "'$args': status $rc"
done
echo ok
