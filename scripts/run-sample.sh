#!/usr/bin/env bash
# Sets up the machine, builds, and unwraps the bundled sample scene: its
# first UV set is copied into channel 2 of every object.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
./build/apps/vellumar/vellumar unwrap samples/crates.obj --mode copy --source-channel 1 --channel 2 --group crates
