#!/bin/sh
# Peak memory and time of baking one large map: the sample's crates
# unwrapped into one atlas and a complete map and a normal map baked at
# each side given (default 4096 and 8192; 16384 takes minutes). Images are
# rendered in bands, so beyond the file's own pixels (8 bytes a texel for a
# 16-bit PNG) memory stays at the band's.
# Usage: bench/run_large_bake_bench.sh [build-dir] [SIDE...]
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
[ $# -gt 0 ] && shift
sides=${*:-4096 8192}
BUILD_TARGETS=vellumar "$root/scripts/build.sh" "$build" >/dev/null
v="$build/apps/vellumar/vellumar"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
export VELLUMAR_DEFAULT_PRESET="$root/samples/VellumarDefault.vl"
"$v" unwrap "$root/samples/crates.obj" --up z --group crates --save "$out/c.vlscene" >/dev/null
printf '%-7s %-12s %10s %10s %14s\n' side element seconds "peak MB" "bytes/texel"
for side in $sides; do
  for element in CompleteMap NormalsMap; do
    /usr/bin/time -f '%e %M' -o "$out/time" "$v" bake "$out/c.vlscene" --group crates \
      --element "$element" --element-size "${side}x$side" --out "$out/maps" >/dev/null
    read -r seconds kb < "$out/time"
    awk -v s="$side" -v e="$element" -v t="$seconds" -v k="$kb" 'BEGIN {
      printf "%-7s %-12s %10.1f %10.0f %14.1f\n", s, e, t, k / 1024, k * 1024 / (s * s) }'
  done
done
