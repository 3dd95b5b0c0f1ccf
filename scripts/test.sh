#!/usr/bin/env bash
# Sets up the machine, builds, and runs the whole test suite; then the same
# suite under the address and undefined-behaviour sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
ctest --test-dir build --output-on-failure -j2
if [ "${VELLUMAR_SKIP_SANITIZE:-0}" != "1" ]; then
  scripts/build.sh build-sanitize -DVELLUMAR_SANITIZE=ON -DVELLUMAR_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-sanitize --output-on-failure -j2
fi
