#!/bin/sh
# Time and peak memory of the organic unwrap on degenerate input: many
# identical triangles (one OBJ face repeated), and many separate small
# triangles packed at 4096 x 4096 with gutter 0. Sizes scale with the
# arguments; the full cases are 2000000 and 100000.
# Usage: bench/run_degenerate_bench.sh [IDENTICAL] [SEPARATE] [build-dir]
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
identical=${1:-200000}
separate=${2:-10000}
build=${3:-$root/build-bench}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
ninja -C "$build" vellumar >/dev/null
out="$build/bench-out/degenerate"
mkdir -p "$out"
# Whatever the user's default preset says, the cases run with the defaults.
export VELLUMAR_DEFAULT_PRESET="$out/no-default-preset.vl"

awk -v n="$identical" 'BEGIN { print "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1";
  for (i = 0; i < n; i++) print "f 1/1 2/2 3/3" }' > "$out/identical.obj"
awk -v n="$separate" 'BEGIN { k = 0;
  for (i = 0; i < n; i++) { x = (i % 1000) * 2; y = int(i / 1000) * 2;
    printf "v %d %d 0\nv %d %d 0\nv %d %d 0\n", x, y, x + 1, y, x, y + 1;
    printf "f %d %d %d\n", k + 1, k + 2, k + 3; k += 3 } }' > "$out/separate.obj"

run() {
  name=$1
  shift
  /usr/bin/time -f "%e s %M KB" -o "$out/$name.time" \
    "$build/apps/vellumar/vellumar" unwrap "$@" --mode organic --channel 2 >"$out/$name.log" 2>&1 || true
  printf '%-36s %s   %s\n' "$name" "$(cat "$out/$name.time" | tail -n 1)" \
    "$( (grep -E '^coverage' "$out/$name.log" ||
          grep Notification "$out/$name.log" | grep -v 'settings file') | tail -n 1)"
}
echo "case                                 seconds, peak memory, outcome"
run "identical x $identical" "$out/identical.obj"
run "separate x $separate (4096, gutter 0)" "$out/separate.obj" --width 4096 --height 4096 --gutter 0
