#!/bin/sh
# Peak memory of the batch runner with a 6000 x 4000 picture open and twenty
# brush strokes in its undo history, and with the history also holding an
# image-wide fill, a connected fill and AutoFinish.
# usage: bench/history_memory.sh [BUILD_DIR]   (needs ImageMagick's convert and GNU time)
set -eu
BUILD=${1:-build}
BATCH="$BUILD/chromawell-batch"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export XDG_CACHE_HOME="$WORK/cache"
PICTURES=${BENCH_PICTURES:-$WORK}
sh "$(dirname "$0")/pictures.sh" "$PICTURES" grainy.jpg
PIXELS=24000000

strokes() {
    printf 'load "%s"\ntool brush\nset brush-width 20\nset brush-height 20\n' "$PICTURES/grainy.jpg"
    i=0
    while [ $i -lt 20 ]; do
        printf 'palette "Sky: Blue"\ndrag %d %d %d %d %d %d\n' $((200 + i * 250)) $((300 + i * 150)) \
            $((500 + i * 250)) $((400 + i * 150)) $((800 + i * 250)) $((500 + i * 150))
        i=$((i + 1))
    done
}
peak() {  # bytes per pixel at the peak of the script on standard input
    cat > "$WORK/script"
    kb=$(/usr/bin/time -f %M "$BATCH" "$WORK/script" 2>&1 >/dev/null | tail -1)
    echo "$kb" | awk -v n=$PIXELS '{ printf "%.1f", $1 * 1024 / n }'
}
echo "open, 20 brush strokes: $(strokes | peak) bytes per pixel"
echo "and fills, AutoFinish: $( (strokes; printf 'tool touch\nset scope image-wide\ntap 3000 1000\nset scope connected\ntap 1000 3000\nautofinish\n') | peak) bytes per pixel"
