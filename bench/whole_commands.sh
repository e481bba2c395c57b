#!/bin/sh
# What the user waits for, timed whole: the perf harness beside the source
# tree (../shared/perf, or $CW_PERF_HARNESS) times chromawell-batch's `time`
# lines for load, mark-up, image-wide and connected Touch-paint, Un-do,
# AutoFinish and save on its 6000 x 4000 pictures, with djpeg, ImageMagick
# and OpenCV on the same pictures in the same run. This runs its table
# three times (CW_WHOLE_RUNS) and prints each row's medians:
#
#   bench/whole_commands.sh BUILD_DIR
#
# Output: the three tables, then one line a row,
#   RESULT <row> <ours> <peer> <ratio> <runs that met the goal>/<runs> <goal>
# with the row's words joined by '_' (medians; "-" where the row has none).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:?usage: bench/whole_commands.sh BUILD_DIR}
harness=${CW_PERF_HARNESS:-$root/../shared/perf}
runs=${CW_WHOLE_RUNS:-3}
[ -x "$harness/ratios" ] || { echo "no perf harness at $harness (set CW_PERF_HARNESS)" >&2; exit 1; }
batch=$build/chromawell-batch
[ -x "$batch" ] || { echo "no chromawell-batch in $build" >&2; exit 1; }

tables=$(mktemp -d)
trap 'rm -rf "$tables"' EXIT
i=1
while [ "$i" -le "$runs" ]; do
    echo "whole commands: run $i of $runs ..." >&2
    # The table's own exit status says whether every goal was met: not a failure here.
    (cd "$root" && CW_BATCH=$batch "$harness/ratios") >"$tables/$i.txt" 2>&1 || true
    grep -q 'goals met$' "$tables/$i.txt" || { cat "$tables/$i.txt" >&2; echo "the harness did not finish" >&2; exit 1; }
    echo "--- run $i"
    cat "$tables/$i.txt"
    i=$((i + 1))
done

# Rows are fixed columns: operation 30, ours 12, peer 12, ratio 7, then the goal and the result.
cat "$tables"/*.txt | awk '
    function trim(s) { gsub(/^ +| +$/, "", s); return s }
    function median(list,   n, v, i, j, t) {
        n = split(list, v, " ")
        for (i = 2; i <= n; ++i) for (j = i; j > 1 && v[j - 1] + 0 > v[j] + 0; --j) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
        if (n == 0) return "-"
        return (n % 2) ? v[(n + 1) / 2] : sprintf("%.2f", (v[n / 2] + v[n / 2 + 1]) / 2)
    }
    NR == 1 || $1 == "operation" || / goals met$/ || length($0) < 70 { next }
    {
        op = trim(substr($0, 1, 30)); ours = trim(substr($0, 32, 12)); peer = trim(substr($0, 45, 12))
        ratio = trim(substr($0, 58, 7)); verdict = $NF; rest = substr($0, 67)
        goal = trim(substr(rest, 1, length(rest) - length(verdict)))
        if (!(op in seen)) { seen[op] = 1; order[++rows] = op; goals[op] = goal }
        if (ours != "-") o[op] = o[op] " " ours
        if (peer != "-") p[op] = p[op] " " peer
        if (ratio != "-") r[op] = r[op] " " ratio
        n[op]++; if (verdict == "pass") met[op]++
    }
    END {
        for (k = 1; k <= rows; ++k) {
            op = order[k]; name = op; gsub(/ /, "_", name)
            printf "RESULT %s %s %s %s %d/%d %s\n", name, median(o[op]), median(p[op]), median(r[op]), met[op], n[op], goals[op]
        }
    }'
