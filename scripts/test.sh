#!/usr/bin/env bash
# Sets up the machine, builds, and runs the whole test suite; then the same
# suite under the address and undefined-behaviour sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
# The network bake tests run on a private Slurm cluster of their own, which
# goes down again however the run ends. Its state lies inside a folder only
# its owner may enter, as a home folder is, where munged will not put its
# socket.
slurm_home=$(mktemp -d -t vellumar-slurm.XXXXXX)
slurm_state="$slurm_home/state"
trap 'scripts/slurm-down.sh "$slurm_state" >/dev/null; rm -rf "$slurm_home"' EXIT
scripts/slurm-up.sh "$slurm_state"
export SLURM_CONF="$slurm_state/etc/slurm.conf"
ctest --test-dir build --output-on-failure -j2
if [ "${VELLUMAR_SKIP_SANITIZE:-0}" != "1" ]; then
  scripts/build.sh build-sanitize -DVELLUMAR_SANITIZE=ON -DVELLUMAR_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-sanitize --output-on-failure -j2 -LE farm
fi
