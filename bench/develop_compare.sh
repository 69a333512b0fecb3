#!/usr/bin/env bash
# Whole-process comparison of developing one raw file, side by side with
# LibRaw's dcraw_emu (Debian libraw-bin) in the same run:
#
#   full size, AHD, 16-bit sRGB TIFF:  dvk-develop --format 22 --interpolation 0
#                                      vs  dcraw_emu -w -q 3 -o 1 -6 -T
#   on 1, 2 and all cores (taskset), each program REPEAT times (default 5),
#   the two alternating so that both see the same load.
#
#   With HALF=1 also the half-size preview: dvk-develop --preview and
#   --interpolation 2 --format 22 vs dcraw_emu -h -w -o 1 -6 -T (all cores).
#   With RT=1 also the full-size develop against rawtherapee-cli (AHD,
#   16-bit TIFF) on all cores.
#
# Every run is timed by /usr/bin/time: wall time, processor time (user +
# system) and peak memory. Printed per case are the medians; the ratios are
# ours / theirs (below 1 is faster or smaller). On a busy machine the wall
# times move with the load, the processor times far less: the one-core wall
# ratio is then best read from the processor times.
#
# Usage: bench/develop_compare.sh [RAW_FILE]
#   Without RAW_FILE a 6144 x 4096 14-bit RGGB DNG tiled with the test
#   photographs (DVK_TESTDATA_DIR/groundtruth) is made with
#   build/bin/dvk-bench-dng (a gradient when the photographs are missing).
# Environment: BUILD (default build), REPEAT (default 5), CORES (default
#   "1 2 N", N the number of processors), HALF (0), RT (0), DCRAW_EMU
#   (dcraw_emu).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=${BUILD:-build}
REPEAT=${REPEAT:-5}
NPROC=$(nproc)
CORES=${CORES:-"1 2 $NPROC"}
HALF=${HALF:-0}
RT=${RT:-0}
DCRAW_EMU=${DCRAW_EMU:-dcraw_emu}
TESTDATA=${DVK_TESTDATA_DIR:-$(sed -n 's/^DVK_TESTDATA_DIR:PATH=//p' "$BUILD/CMakeCache.txt" 2>/dev/null || true)}
DEVELOP="$BUILD/bin/dvk-develop"
[ -x "$DEVELOP" ] || { echo "build $DEVELOP first (cmake --build $BUILD)" >&2; exit 1; }
command -v "$DCRAW_EMU" >/dev/null || { echo "$DCRAW_EMU not found (Debian package libraw-bin)" >&2; exit 1; }

work=$(mktemp -d /tmp/dvk-develop-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

if [ $# -ge 1 ]; then
  raw="$work/input.${1##*.}"
  cp "$1" "$raw"
else
  raw="$work/input.dng"
  photos=()
  if [ -n "$TESTDATA" ] && [ -d "$TESTDATA/groundtruth" ]; then
    photos=("$TESTDATA"/groundtruth/*.png "$TESTDATA"/groundtruth/*.tif)
  fi
  "$BUILD/bin/dvk-bench-dng" "$raw" 6144 4096 "${photos[@]}" >/dev/null
fi
# dcraw_emu writes beside its input: its own copy, so the outputs never meet.
mkdir -p "$work/dc" "$work/out"
ln "$raw" "$work/dc/input.${raw##*.}" 2>/dev/null || cp "$raw" "$work/dc/input.${raw##*.}"
dcraw_raw="$work/dc/input.${raw##*.}"
echo "file: $(basename "$raw") ($(stat -c %s "$raw") bytes), $NPROC processors, repeat $REPEAT"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"

# once NAME CPUS COMMAND...: one timed run under taskset; appends "wall cpu kb" to $work/NAME.
once() {
  local name=$1 cpus=$2; shift 2
  rm -f "$work"/out/* "$work"/dc/*.tiff
  if ! /usr/bin/time -f '%e %U %S %M' -o "$work/time.txt" taskset -c "$cpus" "$@" >"$work/cmd.log" 2>&1; then
    echo "$name failed:" >&2; tail -5 "$work/cmd.log" >&2; exit 1
  fi
  awk '{printf "%s %.3f %s\n", $1, $2 + $3, $4}' "$work/time.txt" >>"$work/$name"
}

# median FILE COLUMN
median() { sort -g -k"$2","$2" "$1" | awk -v c="$2" '{v[NR]=$c} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }
peak() { sort -g -k3,3 "$1" | tail -1 | awk '{print $3}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }

# compare LABEL CPUS DVK_ARGS -- OTHER_COMMAND...: alternating runs, then one
# line each and the ratios (OTHER_COMMAND defaults to dcraw_emu with the
# arguments given; OTHER names it in the output).
summary=()
OTHER=dcraw_emu
compare() {
  local label=$1 cpus=$2; shift 2
  local dvk_args=() dc_args=()
  while [ "$1" != "--" ]; do dvk_args+=("$1"); shift; done
  shift
  dc_args=("$@")
  [ "$OTHER" = dcraw_emu ] && dc_args=("$DCRAW_EMU" "$@")
  rm -f "$work/dvk.txt" "$work/dc.txt"
  for ((i = 0; i < REPEAT; i++)); do
    once dvk.txt "$cpus" "$DEVELOP" "${dvk_args[@]}"
    once dc.txt "$cpus" "${dc_args[@]}"
  done
  local dw dc_w dcpu dc_cpu dm dc_m
  dw=$(median "$work/dvk.txt" 1); dcpu=$(median "$work/dvk.txt" 2); dm=$(peak "$work/dvk.txt")
  dc_w=$(median "$work/dc.txt" 1); dc_cpu=$(median "$work/dc.txt" 2); dc_m=$(peak "$work/dc.txt")
  printf '%-26s DVK %6.2f s wall %6.2f s cpu %6.0f MiB | %s %6.2f s wall %6.2f s cpu %6.0f MiB\n' \
    "$label" "$dw" "$dcpu" "$(awk -v k="$dm" 'BEGIN{print k/1024}')" "$OTHER" \
    "$dc_w" "$dc_cpu" "$(awk -v k="$dc_m" 'BEGIN{print k/1024}')"
  summary+=("$(printf '%-26s wall %s  cpu %s  peak memory %s MiB (%s of %s)' "$label" \
    "$(ratio "$dw" "$dc_w")" "$(ratio "$dcpu" "$dc_cpu")" "$(awk -v k="$dm" 'BEGIN{printf "%.0f", k/1024}')" \
    "$(ratio "$dm" "$dc_m")" "$OTHER")")
}

echo "== full size, AHD, 16-bit sRGB TIFF (medians)"
for n in $CORES; do
  cpus=0; [ "$n" -gt 1 ] && cpus="0-$((n - 1))"
  compare "$n core(s)" "$cpus" --format 22 --interpolation 0 --out "$work/out/" "$raw" \
    -- -w -q 3 -o 1 -6 -T "$dcraw_raw"
done
if [ "$HALF" = 1 ]; then
  echo "== half size, all cores (medians)"
  compare "preview" "0-$((NPROC - 1))" --preview "$raw" -- -h -w -o 1 -6 -T "$dcraw_raw"
  compare "half-size TIFF" "0-$((NPROC - 1))" --format 22 --interpolation 2 --out "$work/out/" "$raw" \
    -- -h -w -o 1 -6 -T "$dcraw_raw"
fi
if [ "$RT" = 1 ] && command -v rawtherapee-cli >/dev/null; then
  echo "== full size, AHD, 16-bit TIFF against rawtherapee-cli, all cores (medians)"
  printf '[RAW Bayer]\nMethod=ahd\n' >"$work/ahd.pp3"
  OTHER=rawtherapee-cli
  compare "rawtherapee-cli" "0-$((NPROC - 1))" --format 22 --interpolation 0 --out "$work/out/" "$raw" \
    -- rawtherapee-cli -q -Y -o "$work/out/rt.tif" -t -b16 -p "$work/ahd.pp3" -c "$raw"
  OTHER=dcraw_emu
fi
echo "== ratios DVK / dcraw_emu (targets: 1 core <= 1.2, 2 cores <= 1.0, 8 cores <= 0.7; peak <= 600 MiB)"
printf '%s\n' "${summary[@]}"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
