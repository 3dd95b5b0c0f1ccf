#!/bin/sh
# Builds the hard-surface benchmark and uvmetrics, then runs it.
# Usage: bench/run_flatten_bench.sh [build-dir]
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-bench}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
ninja -C "$build" vellumar_flatten_bench >/dev/null
metrics="$root/../shared/tools/uvmetrics.cpp"
if [ ! -x "$build/uvmetrics" ] || [ "$metrics" -nt "$build/uvmetrics" ]; then
  g++ -O2 -std=c++17 -o "$build/uvmetrics" "$metrics"
fi
mkdir -p "$build/bench-out"
"$build/bench/vellumar_flatten_bench" "$build/uvmetrics" "$build/bench-out"
