#!/usr/bin/env bash
# Whole-process comparison of developing one raw file:
#   full size, AHD, 16-bit TIFF:  dvk-develop --format 0 --interpolation 0
#                                 vs  dcraw_emu -q 3 -6 -T  and  rawtherapee-cli -t -b16 (AHD)
#   half-size preview:            dvk-develop --preview (half-size load + preview sequence)
#                                 and --interpolation 2 --format 0 (half size to TIFF)
#                                 vs  dcraw_emu -h -6 -T
# Each program runs REPEAT times (default 3) under /usr/bin/time -v in the same
# run; the best wall time and the largest peak memory are printed, with the
# ratios ours / theirs.
#
# Usage: bench/develop_compare.sh [RAW_FILE]
#   Without RAW_FILE a synthetic 24-megapixel DNG (6016 x 4016, RGGB) is made
#   with build/bin/dvk-bench-dng.
# Environment: BUILD (default build), REPEAT (default 3).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=${BUILD:-build}
REPEAT=${REPEAT:-3}
DEVELOP="$BUILD/bin/dvk-develop"
[ -x "$DEVELOP" ] || { echo "build $DEVELOP first (cmake --build $BUILD)" >&2; exit 1; }

work=$(mktemp -d /tmp/dvk-develop-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

if [ $# -ge 1 ]; then
  ext="${1##*.}"
  cp "$1" "$work/input.$ext"
  raw="$work/input.$ext"
else
  raw="$work/input.dng"
  "$BUILD/bin/dvk-bench-dng" "$raw" >/dev/null
fi
echo "file: $raw ($(stat -c %s "$raw") bytes), $(nproc) cores"

# A processing profile for rawtherapee-cli: neutral values, AHD demosaicing.
cat > "$work/ahd.pp3" <<'PP3'
[RAW Bayer]
Method=ahd
PP3

# run NAME COMMAND...: REPEAT runs; sets best_time (s) and peak_kb.
run() {
  local name=$1; shift
  best_time=""; peak_kb=0
  for ((i = 0; i < REPEAT; i++)); do
    rm -rf "$work/out"; mkdir -p "$work/out"
    if ! /usr/bin/time -v -o "$work/time.txt" "$@" >"$work/cmd.log" 2>&1; then
      echo "$name failed:" >&2; tail -5 "$work/cmd.log" >&2; best_time=NaN; return
    fi
    local t kb
    t=$(awk -F': ' '/Elapsed \(wall clock\)/ {n=split($2,a,":"); s=0; for(i=1;i<=n;i++) s=s*60+a[i]; print s}' "$work/time.txt")
    kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
    if [ -z "$best_time" ] || awk "BEGIN{exit !($t < $best_time)}"; then best_time=$t; fi
    if [ "$kb" -gt "$peak_kb" ]; then peak_kb=$kb; fi
  done
  printf '%-34s %8.3f s %8.1f MiB\n' "$name" "$best_time" "$(awk "BEGIN{print $peak_kb/1024}")"
}

ratio() { awk "BEGIN{ if ($2 > 0) printf \"%.2f\", $1/$2; else print \"-\" }"; }

echo "== full size, AHD, 16-bit TIFF"
run "dvk-develop --format 0 -i 0" "$DEVELOP" --format 0 --interpolation 0 --out "$work/out/" "$raw"
dvk_t=$best_time; dvk_m=$peak_kb
run "dcraw_emu -q 3 -6 -T" dcraw_emu -q 3 -6 -T "$raw"
dc_t=$best_time; dc_m=$peak_kb
rt_t=NaN; rt_m=0
if command -v rawtherapee-cli >/dev/null; then
  run "rawtherapee-cli -t -b16 (AHD)" rawtherapee-cli -q -Y -o "$work/out/rt.tif" -t -b16 -p "$work/ahd.pp3" -c "$raw"
  rt_t=$best_time; rt_m=$peak_kb
fi
echo "== half size"
run "dvk-develop --preview" "$DEVELOP" --preview "$raw"
pv_t=$best_time; pv_m=$peak_kb
run "dvk-develop --format 0 -i 2" "$DEVELOP" --format 0 --interpolation 2 --out "$work/out/" "$raw"
hs_t=$best_time
run "dcraw_emu -h -6 -T" dcraw_emu -h -6 -T "$raw"
dh_t=$best_time

echo "== ratios (ours / theirs; below 1 is faster or smaller)"
echo "full AHD time   vs dcraw_emu -q 3:     $(ratio "$dvk_t" "$dc_t")"
echo "full AHD time   vs rawtherapee-cli:    $(ratio "$dvk_t" "$rt_t")"
echo "full AHD memory vs dcraw_emu:          $(ratio "$dvk_m" "$dc_m")"
echo "full AHD memory vs rawtherapee-cli:    $(ratio "$dvk_m" "$rt_m")"
echo "preview time    vs dcraw_emu -h:       $(ratio "$pv_t" "$dh_t")"
echo "half-size TIFF  vs dcraw_emu -h:       $(ratio "$hs_t" "$dh_t")"
