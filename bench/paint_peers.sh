#!/bin/sh
# Times the paint tools and comparable work in peer tools on one 6000 x 4000
# photograph: the cameraman photo up-scaled with ImageMagick, with a little
# grain as a real 24 MP photo has.
#
#   sh bench/paint_peers.sh [path/to/bench_paint]
#
# Peers: ImageMagick's "convert -fuzz N% -fill C -opaque G" (replace a band
# of tones image-wide) and, where python3 has cv2, cv2.inRange with a masked
# assignment (the same replace) and cv2.floodFill, 8-connected, fixed range
# (the connected fill). Each peer time is the best of three runs.
# Lines starting "RESULT name value unit" are for bench/report; with
# BENCH_PICTURES set, the picture is taken from (or made in) that folder.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
bench=${1:-$here/../build/bench_paint}
[ -x "$bench" ] || { echo "no bench_paint at $bench (build the bench_paint target)"; exit 1; }
command -v convert >/dev/null || { echo "ImageMagick's convert is missing"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pictures=${BENCH_PICTURES:-$work}
sh "$here/pictures.sh" "$pictures" camera.jpg
pic=$pictures/camera.jpg
echo "picture: $(identify -format '%wx%h %[colorspace], %b' "$pic")"

echo
echo "== Chromawell (bench_paint)"
if [ -x /usr/bin/time ]; then
    /usr/bin/time -f '%M' -o "$work/rss" "$bench" "$pic" | tee "$work/bench.txt"
    echo "RESULT bench_paint.peak $(cat "$work/rss") kB"
else
    "$bench" "$pic" | tee "$work/bench.txt"
fi

band=$(sed -n 's/^peer band //p' "$work/bench.txt")
conn=$(sed -n 's/^peer connected //p' "$work/bench.txt")
lo=${band% *}
hi=${band#* }
set -- $conn
sx=$1 sy=$2 seedgray=$3 tol=$4

now() { date +%s.%N; }
best3() {  # best wall time in ms of three runs of "$@"
    best=
    for _ in 1 2 3; do
        t0=$(now)
        "$@" >/dev/null 2>&1
        t1=$(now)
        ms=$(echo "($t1 - $t0) * 1000" | bc)
        if [ -z "$best" ] || [ "$(echo "$ms < $best" | bc)" = 1 ]; then best=$ms; fi
    done
    printf '%.0f' "$best"
}

echo
echo "== ImageMagick $(convert -version | sed -n 's/^Version: ImageMagick \([^ ]*\).*/\1/p')"
# The band lo..hi as a centre gray and a fuzz distance. ImageMagick measures
# the distance its own way, so the fuzz is calibrated (by bisection, on a
# quarter-scale copy) to replace as many pixels as the band holds.
centre=$(echo "scale=4; ($lo + $hi) / 2 * 100 / 255" | bc)
bandpixels=$(sed -n 's/^image-wide Touch-paint: .* = \([0-9]*\) pixels.*/\1/p' "$work/bench.txt")
target=$(echo "scale=6; $bandpixels / (6000 * 4000)" | bc)
convert "$pic" "$work/photo.mpc"  # ImageMagick's own memory-mapped format: reading it costs little
convert "$work/photo.mpc" -sample 25% "$work/small.mpc"
share() {  # fraction of the picture $1 that -opaque replaces with fuzz $2 percent
    convert "$1" -fuzz "$2%" -fill white -opaque "gray($centre%)" -fill black +opaque white -format '%[fx:mean]' info:
}
low=0 high=100
for _ in 1 2 3 4 5 6 7 8 9 10 11 12 13 14; do
    mid=$(echo "scale=5; ($low + $high) / 2" | bc)
    if [ "$(echo "$(share "$work/small.mpc" "$mid") < $target" | bc)" = 1 ]; then low=$mid; else high=$mid; fi
done
fuzz=$high
base=$(best3 convert "$work/photo.mpc" null:)
repl=$(best3 convert "$work/photo.mpc" -fuzz "$fuzz%" -fill red -opaque "gray($centre%)" null:)
replaced=$(printf '%.0f' "$(echo "$(share "$work/photo.mpc" "$fuzz") * 24000000" | bc)")
echo "convert -fuzz $fuzz% -fill red -opaque 'gray($centre%)' (band $lo..$hi, $bandpixels pixels):" \
     "$repl ms in all, $((repl - base)) ms beyond reading the picture ($base ms); $replaced pixels replaced," \
     "$(echo "scale=2; ($repl - $base) * 1000000 / $replaced" | bc) ns per replaced pixel"
echo "RESULT convert.opaque.fuzz $fuzz %"
echo "RESULT convert.opaque.ms $((repl - base)) ms"
echo "RESULT convert.opaque.ns $(echo "scale=2; ($repl - $base) * 1000000 / $replaced" | bc) ns/px"

# The first python3 with cv2: the one on PATH, or Debian's own.
py=
for candidate in python3 /usr/bin/python3; do
    if "$candidate" -c 'import cv2' 2>/dev/null; then py=$candidate; break; fi
done
echo
if [ -n "$py" ]; then
    "$py" - "$pic" "$lo" "$hi" "$sx" "$sy" "$seedgray" "$tol" <<'EOF'
import sys, time
import cv2
import numpy as np

path, lo, hi, sx, sy, seed, tol = sys.argv[1], *map(int, sys.argv[2:])
print("== OpenCV", cv2.__version__, "(single thread)")
cv2.setNumThreads(1)
bgr = cv2.imread(path, cv2.IMREAD_COLOR)
gray = cv2.cvtColor(bgr, cv2.COLOR_BGR2GRAY)

def best(fn, prepare=lambda: None):
    times = []
    for _ in range(3):
        arg = prepare()
        t0 = time.perf_counter()
        out = fn(arg)
        times.append((time.perf_counter() - t0) * 1000)
    return min(times), out

# Image-wide: every pixel of the band takes one colour.
def replace(img):
    mask = cv2.inRange(gray, lo, hi)
    img[mask > 0] = (0, 0, 255)
    return int(np.count_nonzero(mask))
ms, n = best(replace, lambda: bgr.copy())
print(f"inRange + masked assignment (band {lo}..{hi}), 3-channel picture: {ms:.0f} ms, {n} pixels, "
      f"{ms * 1e6 / n:.2f} ns per pixel")

# Connected: the levels Chromawell's strict bucket test accepts, as a fixed range.
q = seed // 16 * 16
reach = (tol - 1) // 16 * 16
low, up = seed - max(0, q - reach), min(255, q + reach + 15) - seed
for name, img in (("1-channel", gray), ("3-channel", bgr)):
    def fill(pair):
        picture, mask = pair
        flags = 8 | cv2.FLOODFILL_FIXED_RANGE | (255 << 8)
        diff = (low,) * picture.shape[2] if picture.ndim == 3 else low
        updiff = (up,) * picture.shape[2] if picture.ndim == 3 else up
        area, *_ = cv2.floodFill(picture, mask, (sx, sy), (0, 0, 255) if picture.ndim == 3 else 255,
                                 diff, updiff, flags)
        return area
    ms, area = best(fill, lambda: (img.copy(), np.zeros((img.shape[0] + 2, img.shape[1] + 2), np.uint8)))
    print(f"floodFill 8-connected fixed range -{low}/+{up} from ({sx}, {sy}), {name}: {ms:.0f} ms, "
          f"{area} pixels, {ms * 1e6 / area:.2f} ns per pixel")
    print(f"RESULT floodfill.{name}.ms {ms:.1f} ms")
    print(f"RESULT floodfill.{name}.ns {ms * 1e6 / area:.2f} ns/px")
EOF
else
    echo "== OpenCV: no python3 here has cv2 (Debian package python3-opencv); cv2.inRange and cv2.floodFill not timed"
fi
