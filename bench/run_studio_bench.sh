#!/bin/sh
# Vellumar Studio in Debian's headless Chromium: time from opening the
# address to a ready page, the scene's glTF in the view, and a control
# change's round trip (median and worst of ten), on the bundled sample and
# on assimp's 110k-triangle engine.
#   bench/run_studio_bench.sh [BUILD_DIR]
# Needs chromium, libjs-three and tests/studio/node_modules (scripts/setup.sh).
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for model in "$here/samples/crates.obj" \
    /usr/share/assimp/models/glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb; do
  STUDIO_MODEL=$model node "$here/tests/studio/click_through.mjs" "$build/apps/vellumar/vellumar" \
    "$here/samples" "$out" --bench
done
