#!/bin/sh
# Builds the atlas benchmark and the uvmetrics tool, then runs the corpus.
# Usage: bench/run_atlas_bench.sh [build-dir]
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-atlas}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
fi
nice -n 10 ninja -j1 -C "$build" vellumar_atlas_bench
if [ ! -x "$build/uvmetrics" ] || [ "$root/../shared/tools/uvmetrics.cpp" -nt "$build/uvmetrics" ]; then
  g++ -O2 -std=c++17 -o "$build/uvmetrics" "$root/../shared/tools/uvmetrics.cpp"
fi
mkdir -p "$build/bench-out"
"$build/bench/vellumar_atlas_bench" "$build/uvmetrics" "$build/bench-out"
