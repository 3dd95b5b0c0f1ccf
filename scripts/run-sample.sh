#!/usr/bin/env bash
# Sets up the machine, builds, unwraps the bundled sample scene (two crates
# and a floor) into one shared atlas in channel 2 and bakes the preset's
# maps into it: the saved scene, a glTF with the new channel, the UV
# template, a report and the baked images land in build/sample-out/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# Only the tool: the tests and benchmarks are the test command's to build.
BUILD_TARGETS=vellumar scripts/build.sh build
out=build/sample-out
# The sample brings its own default preset (organic, channel 2, a complete
# map and a normal map for baking), so the run leaves the user's alone.
export VELLUMAR_DEFAULT_PRESET="$PWD/samples/VellumarDefault.vl"
mkdir -p "$out"
# The sample is modelled Z-up (its floor at z = 0), which an OBJ file cannot
# say itself.
./build/apps/vellumar/vellumar unwrap samples/crates.obj --up z --mode organic --channel 2 --group crates \
  --save "$out/crates.vlscene" --export "$out/crates.glb" --template "$out/crates_template.png" \
  --report "$out/crates_report.json"
./build/apps/vellumar/vellumar groups "$out/crates.vlscene"
./build/apps/vellumar/vellumar bake "$out/crates.vlscene" --group crates --out "$out/baked" \
  --export "$out/crates_baked.glb"
./build/apps/vellumar/vellumar preset show samples/VellumarDefault.vl | tail -n 9
