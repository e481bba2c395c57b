#!/bin/sh
# What a save writes: the coloured picture, never the marks and outlines
# drawn over it for the user, and only in a format its name asks for.
# usage: saves.sh CHROMAWELL_BATCH TESTDATA
set -u
BATCH=$1 DATA=$2 W=$(mktemp -d)
trap 'rm -rf "$W"' EXIT
export XDG_CACHE_HOME="$W/cache"
fail() { echo "FAIL: $*"; exit 1; }
# Runs the steps on stdin, ';' between commands, after loading and colouring the photo.
run() {
    { echo "load \"$DATA/photos/camera.jpg\"; palette \"Sky: Blue\"; tool touch; set scope image-wide; tap 100 30"
      cat; } | sed 's/ *; */\n/g' > "$W/s.cw"
    "$BATCH" "$W/s.cw" 2> "$W/err"
}

# Shown over the picture when it is saved.
while read -r shown; do
    echo "$shown; dump display $W/d.bmp; dump colour $W/c.bmp; save $W/s.bmp" | run || fail "$shown: $(cat "$W/err")"
    cmp -s "$W/d.bmp" "$W/c.bmp" && fail "$shown: nothing was shown over the picture"
    cmp -s "$W/s.bmp" "$W/c.bmp" || fail "$shown: the save is not the coloured picture"
done <<ROWS
markup
tool rectangle; drag 50 60 250 200
tool brush; press 300 300
ROWS

# A name without an extension gets .bmp; .png, .tif and .tiff write those
# formats (read back through the runner's own load); one that asks for a
# format the program does not write is refused, status 1, and no file changes.
mkdir -p "$W/f/dir.v2"
cp "$DATA/photos/camera.jpg" "$W/f/orig.jpg"
while read -r name written; do
    snap=$(ls -lR --time-style=full-iso "$W/f")
    echo "save $W/f/$name; dump colour $W/c.bmp" | run
    rc=$?
    if [ "$written" = - ]; then
        [ $rc -eq 1 ] || fail "$name: status $rc"
        grep -qxF "message: Unable to Save Picture: out of disk space, or an un-known error occured. $W/f/$name: Chromawell saves MS Windows bitmap (*.bmp), PNG image (*.png), TIFF image (*.tif *.tiff), Chromawell work (*.ora) files only." "$W/err" ||
            fail "$name: $(cat "$W/err")"
        [ "$(ls -lR --time-style=full-iso "$W/f")" = "$snap" ] || fail "$name: a file changed"
    else
        [ $rc -eq 0 ] || fail "$name: $rc, $(ls -R "$W/f")"
        case $written in
            *.bmp|*.BMP) cmp -s "$W/f/$written" "$W/c.bmp" || fail "$name: not the coloured picture" ;;
            *) printf 'load "%s"\ndump source %s\n' "$W/f/$written" "$W/r.bmp" > "$W/r.cw"
               "$BATCH" "$W/r.cw" 2> "$W/err" && cmp -s "$W/r.bmp" "$W/c.bmp" || fail "$name: reads back otherwise: $(cat "$W/err")" ;;
        esac
        rm "$W/f/$written"
    fi
done <<ROWS
orig.jpg -
PHOTO.Jpeg -
.gif -
photo.png photo.png
.tiff .tiff
scan.Tif scan.Tif
noext noext.bmp
dir.v2/noext dir.v2/noext.bmp
shout.BMP shout.BMP
ROWS
[ ! -e "$W/f/noext" ] || fail "saved without an extension"

echo ok
