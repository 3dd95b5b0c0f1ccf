#!/bin/sh
# A batch of assimp's test models (mixed formats, the first N that the
# importer takes, default 50) with the sample preset: one after another,
# two at once on this machine, and on the Slurm cluster of SLURM_CONF
# (skipped without one). Prints the wall time of each and the speed-up.
#   bench/run_batch_bench.sh [BUILD_DIR] [N]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
count=${2:-50}
v=$build/apps/vellumar/vellumar
d=$(mktemp -d)
trap 'rm -rf "$d"' EXIT
export VELLUMAR_DEFAULT_PRESET="$d/none.vl"
models=/usr/share/assimp/models
: > "$d/list"
for f in $(find "$models/OBJ" "$models/Collada" "$models/glTF2" "$models/3DS" "$models/PLY" \
    "$models/STL" "$models/FBX" "$models/X" "$models/MS3D" "$models/LWO" "$models/ASE" \
    -maxdepth 2 -type f \( -name '*.obj' -o -name '*.dae' -o -name '*.gltf' -o -name '*.glb' \
    -o -name '*.3ds' -o -name '*.ply' -o -name '*.stl' -o -name '*.fbx' -o -name '*.x' \
    -o -name '*.ms3d' -o -name '*.lwo' -o -name '*.ase' \) | sort); do
  [ "$(wc -l < "$d/list")" -ge "$count" ] && break
  # Only what imports and unwraps quickly enough to be a prop.
  timeout 20 "$v" unwrap "$f" --mode copy --source-channel 1 > /dev/null 2>&1 ||
    timeout 20 "$v" unwrap "$f" > /dev/null 2>&1 || continue
  echo "$f" >> "$d/list"
done
echo "$(wc -l < "$d/list") scenes"
secs() { echo $(( $(date +%s%N) / 1000000 )); }
run() { # name farm
  t0=$(secs)
  "$v" batch "$d/list" --preset "$here/samples/VellumarDefault.vl" --out "$d/$1" --farm "$2" \
    --jobs 2 > "$d/$1.txt" 2>&1 || true
  t=$(( $(secs) - t0 ))
  echo "$1: $t ms, $(tail -1 "$d/$1.txt")"
  eval "t_$1=$t"
}
run none none
run local local
echo "local speed-up: $(awk "BEGIN { printf \"%.2f\", $t_none / $t_local }")"
if [ -n "${SLURM_CONF:-}" ] && scontrol ping 2>/dev/null | grep -q "is UP"; then
  run slurm slurm
  echo "slurm against local: $(awk "BEGIN { printf \"%.2f\", $t_slurm / $t_local }")"
fi
