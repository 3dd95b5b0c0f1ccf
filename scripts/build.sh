#!/usr/bin/env bash
# Configures and builds one build folder: scripts/build.sh [DIR [CMAKE ARGS...]]
# Everything by default; only the targets named in BUILD_TARGETS when set.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
if [ -n "${BUILD_TARGETS:-}" ]; then
  # shellcheck disable=SC2086 # a list of target names
  cmake --build "$dir" --target ${BUILD_TARGETS}
else
  cmake --build "$dir"
fi
