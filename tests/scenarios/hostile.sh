#!/bin/sh
# Hostile input to the batch runner, a real process per row: pipes and folders
# where files belong, a picture cut short while it loads, runaway and NUL
# lines, words a lax parser would take, protected files and folders, links.
# Each row ends with its status and message, and nothing it was not told to
# write changes.
# usage: hostile.sh CHROMAWELL_BATCH TESTDATA
set -u
BATCH=$1 DATA=$2 W=$(mktemp -d)
trap 'chmod -R u+w "$W"; rm -rf "$W"' EXIT
export XDG_CACHE_HOME="$W/cache"
F="$W/files"
fail() { echo "FAIL: $*"; exit 1; }
INVALID='message: In-valid/ un-supported Image-type, or out of real memory!'
UNSAVED='message: Unable to Save Picture: out of disk space, or an un-known error occured.'
# Every name, inode, mode, size and checksum under $F.
snapshot() { (cd "$F" && ls -lAiR --full-time . && find . -type f -exec cksum {} +); }
# A plain user: root writes into any folder, so it runs the rows about permissions as nobody.
plain() { if [ "$(id -u)" -eq 0 ]; then setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; else "$@"; fi; }

mkdir -p "$F/dir" "$F/ro" "$W/user"
chmod 755 "$W"
cp "$DATA/bmp/rgb24.bmp" "$F/cam.bmp"
cp "$F/cam.bmp" "$F/prot.bmp"; echo old > "$F/prot.txt"; echo old > "$F/ro/kept.bmp"
chmod 444 "$F/prot.bmp" "$F/prot.txt"; chmod 666 "$F/ro/kept.bmp"; chmod 555 "$F/ro"
[ "$(id -u)" -eq 0 ] && chown 65534 "$W/user"
mkfifo "$F/f.jpg" "$F/f.bmp" "$F/f.cw"
head -c 1048577 /dev/zero | tr '\000' '#' > "$W/long"
{ echo 'load "'"$F/cam.bmp"'"'; cat "$W/long"; echo; echo 'save "'"$F/never.bmp"'"'; } > "$W/long.cw"
{ head -c 1048576 "$W/long"; echo; echo 'palette Custom #00ff00'; } > "$W/edge.cw"
printf 'load "%s"\n# a\000b\nsave "%s"\n' "$F/cam.bmp" "$F/never.bmp" > "$W/nul.cw"

# who | script: a path, <path for standard input, or lines joined by ';' | status | a line of its errors (a pattern)
while IFS='|' read -r who script status says; do
    case $script in
        /*) ;;
        \<*) ;;
        *) echo "$script" | sed 's/ *; */\n/g' > "$W/row.cw"; script=$W/row.cw ;;
    esac
    before=$(snapshot)
    case $who$script in
        me\<*) "$BATCH" - < "${script#<}" ;;
        me*) "$BATCH" "$script" ;;
        plain*) XDG_CACHE_HOME="$W/user" plain "$BATCH" "$script" ;;
        # A file-size limit makes a full disk for root as well.
        small*) (trap '' XFSZ; ulimit -f 64; "$BATCH" "$script") ;;
    esac > /dev/null 2> "$W/err"
    rc=$?
    [ $rc -eq "$status" ] || fail "$script exited $rc, not $status: $(cat "$W/err")"
    [ -z "$says" ] || grep -qx -- "$says" "$W/err" || fail "$script: no '$says' in: $(cat "$W/err")"
    [ "$(snapshot)" = "$before" ] || fail "$script changed files"
done <<EOF
me|$F/dir|2|cannot read $F/dir: Is a directory
me|<$F/dir|2|line 1: cannot read standard input: Is a directory
me|$F/f.cw|2|cannot read $F/f.cw: not a regular file
me|load "$F/f.jpg"|2|$INVALID
me|load "$F/f.bmp"|2|$INVALID
me|$W/long.cw|2|line 2: the line is longer than 1 MB
me|$W/edge.cw|0|
me|$W/nul.cw|2|line 2: the line holds a NUL byte
me|palette Custom #-00001|2|line 1: not a colour: #-00001
me|palette Custom "# fffff"|2|line 1: not a colour: # fffff
me|abort-after 0|2|line 1: abort-after needs a poll count of 1 or more: 0
me|abort-after -3|2|line 1: abort-after needs a poll count of 1 or more: -3
me|load "$F/cam.bmp"; save "$F/prot.bmp"|1|$UNSAVED $F/prot.bmp: Permission denied
me|load "$F/cam.bmp"; dump state "$F/prot.txt"|1|line 2: cannot write $F/prot.txt: Permission denied
plain|load "$F/cam.bmp"; save "$F/ro/kept.bmp"|1|$UNSAVED $F/ro/kept.bmp: Permission denied
small|load "$DATA/photos/camera-24.bmp"; reset|2|$UNSAVED Scratch folder $W/cache/chromawell/temp/[0-9-]*: File too large
EOF

# A save and a dump onto links write through to what they name, even where that does not exist yet.
mkdir "$W/links" "$W/links/to"
ln -s to/saved.bmp "$W/links/saved.bmp"; ln -s "$W/links/to/state.txt" "$W/links/state.txt"
ln -s to/live.bmp "$W/links/live.bmp"; echo old > "$W/links/to/live.bmp"
printf 'load "%s"\nsave "%s"\nsave "%s"\ndump state "%s"\nsave "%s"\n' "$F/cam.bmp" "$W/links/saved.bmp" \
    "$W/links/live.bmp" "$W/links/state.txt" "$W/plain.bmp" | "$BATCH" - 2> "$W/err" || fail "links: $(cat "$W/err")"
[ -L "$W/links/saved.bmp" ] && [ -L "$W/links/live.bmp" ] && [ -L "$W/links/state.txt" ] || fail "a link was replaced"
cmp -s "$W/links/to/saved.bmp" "$W/plain.bmp" && cmp -s "$W/links/to/live.bmp" "$W/plain.bmp" &&
    grep -qx width=37 "$W/links/to/state.txt" || fail "not written through: $(ls -lR "$W/links")"

# A picture another program cuts short while it loads is read whole or refused
# as damaged, whichever wins the race, and never kills the runner: once the
# runner waits for its next line, the load starts as soon as that arrives, and
# the cut follows at once, while a picture this large is still being read.
le32() { printf "$(printf '\\%03o' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)))"; }
{ printf BM; le32 $((54 + 12000 * 3000)); le32 0; le32 54; le32 40; le32 4000; le32 3000; printf '\001\000\030\000'
  le32 0; le32 $((12000 * 3000)); le32 2835; le32 2835; le32 0; le32 0; head -c $((12000 * 3000)) /dev/zero; } > "$W/big.bmp"
for round in 1 2 3 4 5; do
    cp "$W/big.bmp" "$W/shrinks.bmp"
    rm -f "$W/in" "$W/ready"; mkfifo "$W/in"
    "$BATCH" - < "$W/in" > /dev/null 2> "$W/err" &
    exec 3> "$W/in"
    echo "dump state \"$W/ready\"" >&3
    for _ in $(seq 300); do [ -f "$W/ready" ] && break; sleep 0.1; done
    echo "load \"$W/shrinks.bmp\"" >&3
    truncate -s 1000 "$W/shrinks.bmp"
    exec 3>&-
    wait $!
    rc=$?
    [ $rc -eq 0 ] || { [ $rc -eq 2 ] && grep -qxF "$INVALID" "$W/err"; } || fail "cut short, round $round: $rc $(cat "$W/err")"
done
echo ok
