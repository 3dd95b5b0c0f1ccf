#!/bin/sh
# Builds the bake benchmark and runs it on textured models of Debian's
# assimp-testmodels: as they are, then with every object twice.
# Usage: bench/run_bake_bench.sh [build-dir]
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-bench}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
ninja -C "$build" vellumar_bake_bench >/dev/null
models=/usr/share/assimp/models
out="$build/bake-bench-out"
mkdir -p "$out"
for copies in 1 2; do
  "$build/bench/vellumar_bake_bench" "$out" $copies "$models/Collada/duck.dae" \
    "$models/glTF2/BoxTextured-glTF/BoxTextured.gltf" "$root/samples/crates.obj"
  echo
done
