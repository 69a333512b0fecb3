#!/usr/bin/env bash
# Whole-process load times: dvk-develop --info against LibRaw's dcraw_emu
# (-4 -T: linear 16-bit TIFF; -h: half size) on the same synthetic
# 24-megapixel DNG, in the same run, printed as ratios (ours / dcraw_emu).
# Usage: bench/compare_load.sh [build-dir] [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-5}
command -v dcraw_emu >/dev/null || { echo "dcraw_emu not found (Debian package libraw-bin)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dng="$work/bench-24mp.dng"

# The benchmark binary writes the fixture and measures the in-process load.
DVK_BENCH_DNG="$dng" "$build/bin/dvk-bench" --benchmark_filter=BM_LoadRawFile --benchmark_min_time=1


timed() {  # best-of time, in seconds with millisecond resolution
  local best="" s e t
  for _ in $(seq "$runs"); do
    s=$(date +%s.%N); "$@" >/dev/null 2>&1 || true; e=$(date +%s.%N)
    t=$(awk -v s="$s" -v e="$e" 'BEGIN{printf "%.3f", e-s}')
    if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN{exit !(a<b)}'; then best=$t; fi
  done
  echo "$best"
}

cp "$dng" "$work/emu.dng"   # dcraw_emu writes its TIFF beside the input
full_ours=$(timed "$build/bin/dvk-develop" --info "$dng")
half_ours=$(timed "$build/bin/dvk-develop" --info --half "$dng")
full_emu=$(timed dcraw_emu -4 -T "$work/emu.dng")
half_emu=$(timed dcraw_emu -4 -T -h "$work/emu.dng")

printf '\nwhole process, best of %s, 24 MP synthetic DNG\n' "$runs"
printf '%-6s %-12s %-12s %s\n' size dvk-develop dcraw_emu ratio
awk -v o="$full_ours" -v e="$full_emu" 'BEGIN{printf "full   %-12s %-12s %.2f\n", o "s", e "s", o/e}'
awk -v o="$half_ours" -v e="$half_emu" 'BEGIN{printf "half   %-12s %-12s %.2f\n", o "s", e "s", o/e}'
