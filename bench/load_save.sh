#!/bin/sh
# Load and save of a 6000 x 4000 JPEG against libjpeg's own djpeg.
# usage: bench/load_save.sh [BUILD_DIR]   (needs ImageMagick's convert and djpeg)
# Prints best-of-3 times and the peak resident memory with the picture open,
# for a photo with film grain (as archive scans have) and for a smooth
# up-scaled one, which decodes fastest and so shows our own overhead most.
# Lines starting "RESULT name value unit" are for bench/report; with
# BENCH_PICTURES set, the pictures are taken from (or made in) that folder.
set -eu
BUILD=${1:-build}
BATCH="$BUILD/chromawell-batch"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export XDG_CACHE_HOME="$WORK/cache"
W=6000; H=4000
PICTURES=${BENCH_PICTURES:-$WORK}
sh "$(dirname "$0")/pictures.sh" "$PICTURES" grainy.jpg smooth.jpg

best() {  # best wall time in ms of the command, 3 runs
    b=""
    for i in 1 2 3; do
        s=$(date +%s%N); "$@" > /dev/null; e=$(date +%s%N)
        t=$(( (e - s) / 1000000 ))
        if [ -z "$b" ] || [ "$t" -lt "$b" ]; then b=$t; fi
    done
    echo "$b"
}

for kind in grainy smooth; do
    djpeg_ms=$(best djpeg -dct int -bmp -outfile /dev/null "$PICTURES/$kind.jpg")

    printf 'load "%s"\ntime load\nsave "%s"\ntime save\n' "$PICTURES/$kind.jpg" "$WORK/out.bmp" > "$WORK/s.cw"
    load_best=""; save_best=""
    for i in 1 2 3; do
        rm -f "$WORK/out.bmp"
        /usr/bin/time -f '%M' -o "$WORK/rss" "$BATCH" "$WORK/s.cw" > "$WORK/times"
        l=$(awk '$2=="load"{print $3}' "$WORK/times"); s=$(awk '$2=="save"{print $3}' "$WORK/times")
        if [ -z "$load_best" ] || [ "$l" -lt "$load_best" ]; then load_best=$l; fi
        if [ -z "$save_best" ] || [ "$s" -lt "$save_best" ]; then save_best=$s; fi
    done
    rss_kb=$(cat "$WORK/rss")
    px=$((W * H))
    echo "$kind picture:   ${W} x ${H} ($(stat -c %s "$PICTURES/$kind.jpg") bytes JPEG)"
    echo "djpeg -dct int:   ${djpeg_ms} ms"
    echo "load + workspace: ${load_best} ms  ($(awk "BEGIN{printf \"%.2f\", $load_best/$djpeg_ms}") x djpeg; target <= 1.5)"
    echo "save 24-bit BMP:  ${save_best} ms  (target < 500)"
    echo "peak memory:      $((rss_kb / 1024)) MB = $(awk "BEGIN{printf \"%.2f\", $rss_kb*1024/$px}") bytes/pixel (target < 24)"
    echo "RESULT $kind.djpeg $djpeg_ms ms"
    echo "RESULT $kind.load $load_best ms"
    echo "RESULT $kind.save $save_best ms"
    echo "RESULT $kind.peak $rss_kb kB"
done
