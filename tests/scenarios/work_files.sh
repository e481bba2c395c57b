#!/bin/sh
# Work files: saved after each kind of work, reopened, the state equals the
# saved one in every buffer and setting, and the work goes on as if the
# picture had never been closed. The file's structure is read with Python's
# zipfile; a file another program wrote opens as its merged picture; damaged
# work is refused with the designed message.
# usage: work_files.sh CHROMAWELL_BATCH TESTDATA
set -u
BATCH=$1 DATA=$2 W=$(mktemp -d)
trap 'rm -rf "$W"' EXIT
export XDG_CACHE_HOME="$W/cache"
fail() { echo "FAIL: $*"; exit 1; }
INVALID='message: In-valid/ un-supported Image-type, or out of real memory!'
run() { sed 's/ *; */\n/g' > "$W/s.cw" && "$BATCH" "$W/s.cw" > /dev/null 2> "$W/err"; }
dumps() {  # dumps DIR: every buffer and the state
    for k in colour display source codes anchors state; do printf 'dump %s "%s/%s"; ' "$k" "$1" "$k"; done
}
GOON='palette "Greens: Summer"; tool touch; set scope image-wide; tap 400 450; autofinish'

i=0
while IFS='|' read -r picture work; do
    i=$((i + 1)); rm -rf "$W/a" "$W/b" "$W/c" "$W/d"; mkdir "$W/a" "$W/b" "$W/c" "$W/d"
    echo "load \"$DATA/$picture\"; $work; save \"$W/w.ora\"; $(dumps "$W/a"); $GOON; $(dumps "$W/c")" | run ||
        fail "row $i: $(cat "$W/err")"
    echo "load \"$W/w.ora\"; $(dumps "$W/b"); $GOON; $(dumps "$W/d"); history-undo; history-undo; dump colour \"$W/e\"" |
        run || fail "row $i reopened: $(cat "$W/err")"
    # Undo after reopening goes back to the work as saved, not to the bare original.
    cmp -s "$W/a/colour" "$W/e" || fail "row $i: undo went past the reopened work"
    # A reopened picture starts as the saved one did: nothing unsaved.
    for k in colour display source codes anchors state; do
        cmp -s "$W/a/$k" "$W/b/$k" || fail "row $i: $k differs once reopened: $(diff "$W/a/$k" "$W/b/$k" | head -5)"
        cmp -s "$W/c/$k" "$W/d/$k" || fail "row $i: $k differs after going on"
    done
done <<ROWS
photos/camera.jpg|palette "Sky: Blue"; tool touch; set scope image-wide; tap 100 30; palette "Hair: Dark [Brown]"; set scope connected; tap 100 300
photos/camera.jpg|tool brush; palette "Skin: Fair"; quick-brush 10x5; drag 240 110 260 115 270 120; tool selection-paint; drag 380 470 300 400
photos/coffee.jpg|set complexity 24; set objectivity 5; markup; palette "Earth: Light"; autofinish; set saturation 3; set ambient -2; set light-red on; set invert on
photos/camera.jpg|tool rectangle; drag 50 60 250 200; reset; palette Custom #336699; tool touch; tap 20 20; set brush-width 7; set finish-mode edge-aware
photos/astronaut.jpg|palette "Skin: Fair"; tool touch; set scope image-wide; tap 200 200; markup
ROWS

# What other programs read: the mimetype first and stored, the stack, the
# layers at the picture's size, the thumbnail within 256 x 256.
python3 - "$W/w.ora" <<'PY' || fail "structure"
import sys, zipfile, struct, xml.etree.ElementTree as ET
z = zipfile.ZipFile(sys.argv[1])
first = z.infolist()[0]
assert first.filename == "mimetype" and first.compress_type == zipfile.ZIP_STORED, first
assert z.read("mimetype") == b"image/openraster"
image = ET.fromstring(z.read("stack.xml"))
w, h = int(image.get("w")), int(image.get("h"))
def size(name):
    png = z.read(name)
    assert png[:8] == b"\x89PNG\r\n\x1a\n", name
    return struct.unpack(">II", png[16:24])
layers = {l.get("name"): l for l in image.iter("layer")}
assert layers["Colour"].get("visibility") == "visible", layers
for name in ("Original", "Codes"):
    assert layers[name].get("visibility") == "hidden", name
for l in layers.values():
    assert size(l.get("src")) == (w, h), l.get("src")
assert size("mergedimage.png") == (w, h)
tw, th = size("Thumbnails/thumbnail.png")
assert max(tw, th) <= 256 and min(tw, th) >= 1
assert z.read("chromawell/work.txt").startswith(b"chromawell-work 1")
PY

# A file without our state opens as its merged picture; damaged work is
# refused, and nothing opens.
python3 - "$W/w.ora" "$W" "$DATA/png/rgb8.png" <<'PY' || fail "making the bad files"
import re, struct, sys, zipfile, zlib
src, out, png = sys.argv[1], sys.argv[2], open(sys.argv[3], "rb").read()
z = zipfile.ZipFile(src)
def write(name, change):
    with zipfile.ZipFile(f"{out}/{name}.ora", "w") as o:
        o.writestr(zipfile.ZipInfo("mimetype"), b"image/openraster")
        for e in z.infolist()[1:]:
            data = change(e.filename, z.read(e.filename))
            if data is not None:
                o.writestr(e.filename, data)
state = z.read("chromawell/work.txt")
write("foreign", lambda n, d: png if n == "mergedimage.png" else (None if n == "chromawell/work.txt" else d))
def gray_png(w, h, value):
    chunk = lambda t, d: struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d))
    rows = b"".join(b"\0" + bytes([value]) * w for _ in range(h))
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 0, 0, 0, 0)) + \
        chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b"")
w, h = struct.unpack(">II", z.read("data/codes.png")[16:24])
write("bad-codes", lambda n, d: gray_png(w, h, 200) if n == "data/codes.png" else d)
write("bad-palette", lambda n, d: re.sub(rb"\npalette-code -?[0-9]+", b"\npalette-code 200", d) if n == "chromawell/work.txt" else d)
write("bad-anchor", lambda n, d: d + b"anchor 99999 0 1 1 0\n" if n == "chromawell/work.txt" else d)
write("bad-state", lambda n, d: d.replace(b"\nwidth ", b"\nwidth 1") if n == "chromawell/work.txt" else d)
write("no-codes", lambda n, d: None if n == "data/codes.png" else d)
write("codes-elsewhere", lambda n, d: z.read("Thumbnails/thumbnail.png") if n == "data/codes.png" else d)
PY
echo "load \"$W/foreign.ora\"; dump source \"$W/f.bmp\"" | run && echo "load \"$DATA/png/rgb8.png\"; dump source \"$W/p.bmp\"" | run &&
    cmp -s "$W/f.bmp" "$W/p.bmp" || fail "foreign: $(cat "$W/err")"
for bad in bad-codes bad-palette bad-anchor bad-state no-codes codes-elsewhere; do
    echo "load \"$W/$bad.ora\"; dump state \"$W/never\"" | run
    [ $? -eq 2 ] && grep -qxF "$INVALID" "$W/err" && [ ! -e "$W/never" ] || fail "$bad: $(cat "$W/err")"
done
echo ok
