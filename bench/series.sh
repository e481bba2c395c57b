#!/bin/sh
# A series of 40 photos of 2000 x 1500 (load, two fills, AutoFinish, save):
# pictures a second with -j 1 and -j 2 (median of 3 runs each, taking turns),
# and the series' own cost a picture: 200 runs of a script that loads nothing.
# usage: bench/series.sh [BUILD_DIR]   (needs ImageMagick's convert)
# Lines starting "RESULT name value unit" are for bench/report.
set -eu
BUILD=${1:-build}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export XDG_CACHE_HOME="$WORK/cache"
cp "$BUILD/chromawell-batch" "$WORK/batch"
samples=$(cd "$(dirname "$0")/../samples" && pwd)
mkdir "$WORK/pics"
for i in $(seq -w 1 40); do
    case $i in *[02468]) sample=camera ;; *) sample=coffee ;; esac
    convert "$samples/$sample.jpg" -resize '2000x1500!' -attenuate 0.3 +noise Gaussian -colorspace Gray \
        -quality 90 "$WORK/pics/p$i.jpg"
done
cat > "$WORK/colour.cw" <<'CW'
load "@PICTURE@"
tool touch
palette "Sky: Blue"
set scope image-wide
tap 100 100
palette "Skin: Fair"
set scope connected
tap 1000 1200
autofinish
save "@OUT@/@NAME@.bmp"
CW
echo 'time start' > "$WORK/empty.cw"

ms() { s=$(date +%s%N); "$@" > /dev/null 2>&1 || true; e=$(date +%s%N); echo $(( (e - s) / 1000000 )); }
median() { sort -n | sed -n 2p; }
: > "$WORK/j1"; : > "$WORK/j2"
for run in 1 2 3; do
    for j in 1 2; do
        rm -rf "$WORK/out"
        ms "$WORK/batch" -j $j --out "$WORK/out" --each "$WORK/colour.cw" "$WORK"/pics/*.jpg >> "$WORK/j$j"
    done
done
j1=$(median < "$WORK/j1"); j2=$(median < "$WORK/j2")
[ "$(ls "$WORK/out" | wc -l)" -eq 40 ] || { echo "the series did not save 40 pictures" >&2; exit 1; }
awk -v a="$j1" -v b="$j2" 'BEGIN {
    printf "40 pictures of 2000 x 1500: -j 1 %d ms (%.2f pictures/s), -j 2 %d ms (%.2f pictures/s): %.2f x\n", a, 40000 / a, b, 40000 / b, a / b
    printf "RESULT series_j1 %.2f pictures/s\nRESULT series_j2 %.2f pictures/s\nRESULT series_speedup %.2f x\n", 40000 / a, 40000 / b, a / b }'

# The series' own cost: a process, its set-up and the script's parse, per picture.
names=$(seq -f "$WORK/none%03g.jpg" 1 200)
: > "$WORK/o"
for run in 1 2 3; do ms "$WORK/batch" -j 1 --each "$WORK/empty.cw" $names >> "$WORK/o"; done
o=$(median < "$WORK/o")
awk -v t="$o" 'BEGIN { printf "series overhead: %.2f ms a picture (200 pictures, -j 1)\nRESULT series_overhead %.2f ms\n", t / 200, t / 200 }'
