#!/bin/sh
# A work file of a coloured 6000 x 4000 photo against libvips on the coloured
# picture alone: saving it against `vips pngsave --compression 6`, opening it
# against `vips copy` of that PNG (its decoding), and its size against the
# 24-bit bitmap. Best of three runs each; then what an autosave holds the
# windows for (bench_autosave).
# usage: bench/work_file.sh [BUILD_DIR]   (needs ImageMagick's convert and Debian's libvips-tools)
# Lines starting "RESULT name value unit" are for bench/report.
set -eu
BUILD=${1:-build}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export XDG_CACHE_HOME="$WORK/cache"
command -v vips > /dev/null || { echo "vips is missing (Debian libvips-tools)" >&2; exit 1; }
PICTURES=${BENCH_PICTURES:-$WORK}
sh "$(dirname "$0")/pictures.sh" "$PICTURES" camera.jpg
B="$BUILD/chromawell-batch"

cat > "$WORK/colour.cw" <<CW
load "$PICTURES/camera.jpg"
palette "Sky: Blue"
tool touch
set scope image-wide
tap 100 100
markup
autofinish
save "$WORK/colour.bmp"
save "$WORK/colour.png"
time ready
save "$WORK/work.ora"
time save
CW
printf 'load "%s"\ntime open\n' "$WORK/work.ora" > "$WORK/open.cw"
least() { sort -n | head -n 1; }
ms() { s=$(date +%s%N); "$@" > /dev/null 2>&1; e=$(date +%s%N); echo $(( (e - s) / 1000000 )); }
save=$(for i in 1 2 3; do "$B" "$WORK/colour.cw" | awk '$2 == "save" { print $3 }'; done | least)
open=$(for i in 1 2 3; do "$B" "$WORK/open.cw" | awk '$2 == "open" { print $3 }'; done | least)
vips copy "$WORK/colour.png" "$WORK/colour.v"
vsave=$(for i in 1 2 3; do ms vips pngsave "$WORK/colour.v" "$WORK/v.png" --compression 6; done | least)
vopen=$(for i in 1 2 3; do ms vips copy "$WORK/colour.png" "$WORK/o.v"; done | least)
size=$(stat -c %s "$WORK/work.ora"); bmp=$(stat -c %s "$WORK/colour.bmp")
awk -v s="$save" -v vs="$vsave" -v o="$open" -v vo="$vopen" -v z="$size" -v b="$bmp" 'BEGIN {
    printf "save work file %d ms, vips pngsave of the colour %d ms: %.2f x (goal <= 1.5)\n", s, vs, s / vs
    printf "open work file %d ms, vips copy of its PNG %d ms: %.2f x (goal <= 1.5)\n", o, vo, o / vo
    printf "work file %.1f MB, the bitmap %.1f MB\n", z / 1e6, b / 1e6
    printf "RESULT work_save_ratio %.2f x\nRESULT work_open_ratio %.2f x\nRESULT work_file_mb %.1f MB\nRESULT work_bmp_mb %.1f MB\n", s / vs, o / vo, z / 1e6, b / 1e6 }'
"$BUILD/bench_autosave" "$PICTURES/camera.jpg"
