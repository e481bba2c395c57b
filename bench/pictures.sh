#!/bin/sh
# Makes the benchmark pictures in DIR from the two samples, with ImageMagick:
#   grainy.jpg     6000 x 4000 coffee photo with film grain (as archive scans have)
#   smooth.jpg     6000 x 4000 coffee photo, up-scaled only: decodes fastest
#   camera.jpg     6000 x 4000 cameraman, gray, a little grain as a real 24 MP photo has
#   camera-3000.jpg 3000 x 2000 cameraman the same way, for re-sampling up by 2
# A picture already in DIR is kept, so several benchmarks can share one set.
# With names after DIR only those are made.
#
#   sh bench/pictures.sh DIR [NAME.jpg ...]
set -eu
[ $# -ge 1 ] || { echo "usage: $0 DIR [NAME.jpg ...]" >&2; exit 1; }
dir=$1; shift
wanted=${*:-grainy.jpg smooth.jpg camera.jpg camera-3000.jpg}
samples=$(cd "$(dirname "$0")/../samples" && pwd)
command -v convert >/dev/null || { echo "ImageMagick's convert is missing" >&2; exit 1; }
mkdir -p "$dir"

picture() {  # picture NAME COMMAND...: runs COMMAND with the output path last, unless NAME exists or is not wanted
    name=$1; shift
    case " $wanted " in *" $name "*) ;; *) return 0 ;; esac
    [ -s "$dir/$name" ] && return 0
    "$@" "$dir/$name.part.jpg"
    mv "$dir/$name.part.jpg" "$dir/$name"
}

picture grainy.jpg convert "$samples/coffee.jpg" -resize '6000x4000!' -attenuate 0.6 +noise Gaussian -quality 90
picture smooth.jpg convert "$samples/coffee.jpg" -resize '6000x4000!' -quality 92
picture camera.jpg convert "$samples/camera.jpg" -filter Lanczos -resize '6000x4000!' -attenuate 0.3 +noise Gaussian \
    -colorspace Gray -quality 92
picture camera-3000.jpg convert "$samples/camera.jpg" -filter Lanczos -resize '3000x2000!' -attenuate 0.3 \
    +noise Gaussian -colorspace Gray -quality 92
