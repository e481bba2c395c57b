#!/bin/sh
# Colour quality and finish-up speed, one after the other (never at once: each
# wants the cores to itself):
#   bench/colour_regions.py     region pictures: share of pixels finish-up codes as their region
#   bench/colour_photos.py      colour photos made gray: Delta-E and Delta L* against the photo,
#                               and against colourisation by optimisation from the same strokes
#   bench/edge_aware_speed.py   6000 x 4000: edge-aware finish-up against cv2.watershed, and
#                               an image-wide Touch-paint click with natural light off and on
#
#   sh bench/colour_quality.sh [CHROMAWELL_BATCH]    (default: build/chromawell-batch)
#
# Work files and the photos downloaded from Debian's archive stay in
# $CW_QUALITY_DIR (default /tmp/cw-quality); the tables are also kept in
# $CW_QUALITY_DIR/report.txt. Modes the runner does not offer show as n/a.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
CW_BATCH=${1:-${CW_BATCH:-$root/build/chromawell-batch}}
case $CW_BATCH in /*) ;; *) CW_BATCH=$(pwd)/$CW_BATCH ;; esac
CW_QUALITY_DIR=${CW_QUALITY_DIR:-/tmp/cw-quality}
export CW_BATCH CW_QUALITY_DIR
[ -x "$CW_BATCH" ] || { echo "bench/colour_quality.sh: no chromawell-batch at $CW_BATCH" >&2; exit 1; }

# Debian's python3 with its numpy, scipy and OpenCV (not whatever python3 is first on PATH).
missing=""
for p in python3-numpy python3-scipy python3-opencv; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO=sudo
    $SUDO apt-get update
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $missing
fi

mkdir -p "$CW_QUALITY_DIR"
report=$CW_QUALITY_DIR/report.txt
: >"$report"
failed=""
for script in colour_regions.py colour_photos.py edge_aware_speed.py; do
    echo "== $script (running)" >&2
    out=$CW_QUALITY_DIR/${script%.py}.txt
    /usr/bin/python3 "$root/bench/$script" >"$out" || failed="$failed $script"
    { echo "== $script"; cat "$out"; echo; } | tee -a "$report"
done
echo "tables kept in $report"
[ -z "$failed" ] || { echo "bench/colour_quality.sh: failed:$failed" >&2; exit 1; }
