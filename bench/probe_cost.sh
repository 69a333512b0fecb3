#!/usr/bin/env bash
# What the probe costs: the first reading of each raw file in a process of
# its own (dvk-probe), against the same work without it, whole process, in
# the same run:
#
#   preview   dvk-develop --preview FILE          (open to the preview: the
#                                                   half-size load and the
#                                                   preview sequence)
#   batch     dvk-develop --format 1 --out DIR/ FILE   (one batch file: the
#                                                   full-size load, develop, save)
#
# The baseline is the same dvk-develop copied into a folder without
# dvk-probe beside it (the build's resources linked in): it says so in its
# log and reads raw files in its own process, as before the probe. The one
# measured with the probe is a copy too, beside a copy of dvk-probe. The two
# alternate, REPEAT times each (default 11), so that both see the same load
# of the machine. Printed per file and case: the median wall times in ms;
# the probe's run inside the program (its "first reading" stage time,
# DVK_STAGE_TIMES) and its share of the baseline, the cost that must stay
# below 5%; and the difference of the two medians as a share of the
# baseline, which a busy machine makes noisy.
#
# Usage: bench/probe_cost.sh [RAW_FILE...]
#   Without files: the real raws of the test data that LibRaw decodes, and a
#   synthetic 6000 x 4000 DNG made with build/bin/dvk-bench-dng.
# Environment: BUILD (default build), REPEAT (default 11).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=${BUILD:-build}
REPEAT=${REPEAT:-11}
DEVELOP="$BUILD/bin/dvk-develop"
PROBE="$BUILD/bin/dvk-probe"
for p in "$DEVELOP" "$PROBE"; do
  [ -x "$p" ] || { echo "build $p first (cmake --build $BUILD)" >&2; exit 1; }
done
TESTDATA=${DVK_TESTDATA_DIR:-$(sed -n 's/^DVK_TESTDATA_DIR:PATH=//p' "$BUILD/CMakeCache.txt" 2>/dev/null || true)}

work=$(mktemp -d /tmp/dvk-probe-cost.XXXXXX)
trap 'rm -rf "$work"' EXIT
# Both programs are copies in the same folder tree, so that neither gains
# from where its executable lies.
mkdir -p "$work/probe" "$work/noprobe" "$work/out"
for d in probe noprobe; do
  cp "$DEVELOP" "$work/$d/dvk-develop"
  ln -s "$(realpath "$BUILD/bin/resources")" "$work/$d/resources"
done
cp "$PROBE" "$work/probe/dvk-probe"
DEVELOP="$work/probe/dvk-develop"
BASE="$work/noprobe/dvk-develop"

files=("$@")
if [ ${#files[@]} -eq 0 ]; then
  for f in "$TESTDATA"/raw/*; do
    [ -f "$f" ] && "$DEVELOP" --info --half "$f" >/dev/null 2>&1 && files+=("$f")
  done
  "$BUILD/bin/dvk-bench-dng" "$work/synthetic-24mp.dng" 6000 4000 >/dev/null
  files+=("$work/synthetic-24mp.dng")
fi

now_ns() { date +%s%N; }
# timed FILE COMMAND...: one run's wall time in ms appended to FILE; the
# probe's stage time, when the run printed one, to FILE.probe.
timed() {
  local into=$1; shift
  local s e
  s=$(now_ns)
  DVK_STAGE_TIMES=1 "$@" >/dev/null 2>"$work/stderr" || { echo "failed: $*" >&2; tail -3 "$work/stderr" >&2; exit 1; }
  e=$(now_ns)
  awk -v s="$s" -v e="$e" 'BEGIN { printf "%.2f\n", (e - s) / 1e6 }' >>"$into"
  sed -n 's/.*stage first reading: \([0-9.]*\) ms.*/\1/p' "$work/stderr" >>"$into.probe"
}
median() { sort -g "$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "$(nproc) processors, repeat $REPEAT, load before: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-24s %-8s %11s %11s %11s %7s %7s\n' file case "with probe" without "probe run" share "A-B"
for f in "${files[@]}"; do
  name=$(basename "$f")
  for case in preview batch; do
    rm -f "$work/with" "$work/with.probe" "$work/without" "$work/without.probe"
    if [ "$case" = preview ]; then args=(--preview "$f"); else args=(--format 1 --out "$work/out/" "$f"); fi
    # One run of each first, unmeasured: the file and the programs in the page cache.
    "$DEVELOP" "${args[@]}" >/dev/null 2>&1; "$BASE" "${args[@]}" >/dev/null 2>&1
    for _ in $(seq "$REPEAT"); do
      timed "$work/with" "$DEVELOP" "${args[@]}"
      timed "$work/without" "$BASE" "${args[@]}"
    done
    [ -s "$work/with.probe" ] || { echo "no probe run seen in $DEVELOP" >&2; exit 1; }
    [ -s "$work/without.probe" ] && { echo "the baseline ran a probe" >&2; exit 1; }
    w=$(median "$work/with"); b=$(median "$work/without"); p=$(median "$work/with.probe")
    awk -v n="$name" -v c="$case" -v w="$w" -v b="$b" -v p="$p" \
      'BEGIN { printf "%-24s %-8s %8.1f ms %8.1f ms %8.2f ms %6.1f%% %6.1f%%\n", n, c, w, b, p, 100 * p / b, 100 * (w - b) / b }'
  done
  rm -f "$work/alone"
  for _ in $(seq "$REPEAT"); do timed "$work/alone" "$PROBE" "$f"; done
  awk -v n="$name" -v p="$(median "$work/alone")" 'BEGIN { printf "%-24s %-8s %8.1f ms (dvk-probe alone)\n", n, "probe", p }'
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
