#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the sample need.
# Idempotent and quiet when everything is there already.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake ninja-build g++ clang
  libassimp-dev assimp-testmodels
  libboost-dev libboost-filesystem-dev
  libeigen3-dev libcli11-dev
  libgtest-dev libbenchmark-dev
  libpng-dev
  libembree-dev libopenexr-dev libstb-dev
  slurmctld slurmd slurm-client munge
  libjs-three chromium
)

# The Khronos glTF validator checks exported files in the tests, where npm is
# there.
if command -v npm >/dev/null && [ ! -d "$(npm root -g)/gltf-validator" ]; then
  echo "setup: installing gltf-validator (npm)" >&2
  npm install -g --silent --no-audit --no-fund gltf-validator >/dev/null || true
fi

# The studio's browser test drives Debian's Chromium with puppeteer-core,
# pinned by tests/studio/package-lock.json.
if command -v npm >/dev/null && [ ! -d tests/studio/node_modules/puppeteer-core ]; then
  echo "setup: installing puppeteer-core (npm, tests/studio)" >&2
  (cd tests/studio && npm ci --silent --no-audit --no-fund >/dev/null) || true
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}" >&2
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
