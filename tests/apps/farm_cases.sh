#!/bin/sh
# Network bakes as a user runs them, on the Slurm cluster of SLURM_CONF (see
# scripts/slurm-up.sh) or on the embedded local manager:
#   farm_cases.sh VELLUMAR SAMPLES CASE
# Exit 77 (skipped) when a case needs the cluster and none answers.
set -u
v=$(readlink -f "$1")
samples=$2
case=$3
d=$(mktemp -d)
manager=""
cleanup() {
  [ -z "$manager" ] || { kill "$manager" 2>/dev/null; wait "$manager" 2>/dev/null; }
  if [ -n "${KEEP:-}" ]; then echo "kept $d"; else rm -rf "$d"; fi
}
trap cleanup EXIT
export VELLUMAR_DEFAULT_PRESET="$samples/VellumarDefault.vl"

fail() { echo "FAIL: $*"; exit 1; }
need_slurm() {
  [ -n "${SLURM_CONF:-}" ] && scontrol ping 2>/dev/null | grep -q "is UP" ||
    { echo "no Slurm cluster answers (SLURM_CONF unset or controller down)"; exit 77; }
}
ms() { echo $(( $(date +%s%N) / 1000000 )); }

# The embedded manager for a port, started here so that it ends with the
# case however the case ends.
start_manager() { # port
  "$v" manager --port "$1" --idle-exit 120 > /dev/null 2>&1 &
  manager=$!
  for _ in $(seq 1 100); do
    case ${XDG_RUNTIME_DIR:-} in
    /*) sockets=$XDG_RUNTIME_DIR/vellumar ;;
    *) sockets=/tmp/vellumar-$(id -u) ;;
    esac
    [ -S "$sockets/manager-$1.sock" ] && return
    sleep 0.05
  done
  fail "the manager for port $1 did not start"
}

# Appends box N (corner X Y Z, side S) to an OBJ file; with UV set, each
# face wears the file's four texture vertices.
box_obj() { # file name n x y z s [uv]
  file=$1 name=$2 n=$3 x0=$4 y0=$5 z0=$6 s=$7 uv=${8:-}
  printf 'o %s\n' "$name" >> "$file"
  for z in 0 $s; do for y in 0 $s; do for x in 0 $s; do
    awk "BEGIN { print \"v\", $x0 + $x, $y0 + $y, $z0 + $z }" >> "$file"
  done; done; done
  [ -z "$uv" ] || echo "usemtl pattern" >> "$file"
  b=$((n * 8))
  for f in "1 3 4 2" "5 6 8 7" "1 2 6 5" "3 7 8 4" "1 5 7 3" "2 4 8 6"; do
    set -- $f
    if [ -z "$uv" ]; then
      echo "f $(($1 + b)) $(($2 + b)) $(($3 + b)) $(($4 + b))" >> "$file"
    else
      echo "f $(($1 + b))/1 $(($2 + b))/2 $(($3 + b))/3 $(($4 + b))/4" >> "$file"
    fi
  done
}

# Six boxes of different sizes, unwrapped into two maps in channel 2, and
# their textures baked on this machine for comparison.
six_boxes() {
  : > "$d/six.obj"
  n=0
  for box in "0 0 0 1" "3 0 0 2" "7 0 0 1.5" "0 4 0 0.5" "3 4 0 1.2" "7 4 0 0.8"; do
    box_obj "$d/six.obj" "box$n" $n $box
    n=$((n + 1))
  done
  "$v" unwrap "$d/six.obj" --mode organic --channel 2 --map-count 2 --group six \
    --width 256 --height 256 --save "$d/six.vlscene" > /dev/null || fail "unwrap"
  "$v" bake "$d/six.vlscene" --group six --out "$d/local" > "$d/local.txt" ||
    fail "local bake: $(cat "$d/local.txt")"
  [ "$(ls "$d/local" | wc -l)" -eq 4 ] || fail "local bake made $(ls "$d/local")"
}
same_as_local() {
  for f in "$d"/local/*; do
    cmp -s "$f" "$d/net/$(basename "$f")" || fail "$(basename "$f") differs from the local bake"
  done
}
net_bake() { # extra options...
  "$v" bake "$d/six.vlscene" --group six --out "$d/net" --netrender \
    --netpath "$d/farm" "$@"
}
folders_left() { ls "$d/farm" 2>/dev/null | wc -l; }

# An 8 x 8 checker of two colours as an uncompressed 24-bit TGA.
checker_tga() {
  printf '\0\0\2\0\0\0\0\0\0\0\0\0\10\0\10\0\30\0' > "$1"
  for y in 0 1 2 3 4 5 6 7; do for x in 0 1 2 3 4 5 6 7; do
    if [ $(((x + y) % 2)) -eq 0 ]; then printf '\40\200\340'; else printf '\300\40\40'; fi
  done; done >> "$1"
}
# Three boxes wearing one texture through an OBJ material named relative to
# the scene, with nodes named as given ($1 $2 $3), unwrapped from inside the
# scene's folder into channel 2, and baked there for comparison.
textured_boxes() {
  mkdir -p "$d/scene"
  checker_tga "$d/scene/pattern.tga"
  printf 'newmtl pattern\nKd 1 1 1\nmap_Kd pattern.tga\n' > "$d/scene/scene.mtl"
  printf 'mtllib scene.mtl\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n' > "$d/scene/scene.obj"
  n=0
  for box in "0 0 0 1" "3 0 0 2" "7 0 0 1.5"; do
    eval "node=\$name$n"
    box_obj "$d/scene/scene.obj" "$node" $n $box uv
    n=$((n + 1))
  done
  (cd "$d/scene" && "$v" unwrap scene.obj --mode organic --channel 2 --group tex \
    --width 256 --height 256 --save tex.vlscene > /dev/null) || fail "unwrap"
  (cd "$d/scene" && "$v" bake tex.vlscene --group tex --out "$d/local" $sep > "$d/local.txt") ||
    fail "local bake: $(cat "$d/local.txt")"
  ! grep -q "could not be read" "$d/local.txt" || fail "local bake lost its texture"
}
# A bake of the textured scene on the farm, from the scene's folder, into an
# output folder that does not exist yet.
textured_net_bake() { # extra options...
  (cd "$d/scene" && "$v" bake tex.vlscene --group tex --out "$d/net/new/maps" --netrender \
    --netpath "$d/farm" $sep "$@")
}
same_as_local_in() { # folder
  [ "$(ls "$d/local" | wc -l)" -ge 2 ] || fail "local bake made $(ls "$d/local")"
  for f in "$d"/local/*; do
    cmp -s "$f" "$1/$(basename "$f")" || fail "$(basename "$f") differs from the local bake"
  done
}
name0=box0 name1=box1 name2=box2 sep=""

case $case in
slurm_panel_bake_ends_done|local_manager_panel_bake_ends_done)
  # Network render from the panel: the folders through the browser, Bake
  # Group, and the status static following the job to "done".
  farm="" kind=slurm
  case $case in slurm_*) need_slurm ;; *) port=3252 kind=local; start_manager $port; farm="type 1036 $port" ;; esac
  six_boxes
  mkdir -p "$d/farm" "$d/net"
  cat > "$d/s" <<EOF
check 1062
$farm
answer folder $d/farm
click 1031
answer folder $d/net
click 1025
click 1013
wait
dump
EOF
  "$v" panel "$d/six.vlscene" --farm $kind --script "$d/s" > "$d/out.txt" 2>&1 ||
    fail "panel: $(cat "$d/out.txt")"
  grep -q '^network status: done$' "$d/out.txt" || fail "status: $(cat "$d/out.txt")"
  grep -q '1064 static "done"' "$d/out.txt" || fail "the static did not follow: $(cat "$d/out.txt")"
  same_as_local
  ;;
slurm_batch_equals_local)
  # One batch as a Slurm array job and here one after another: the same
  # scenes go through and every image and atlas is the same file.
  need_slurm
  cp "$samples/crates.obj" "$d/copy.obj"
  printf 'v 1 2\nf 9 9 9\n' > "$d/broken.obj"
  printf '%s\ncopy.obj\nbroken.obj\n' "$samples/crates.obj" > "$d/list"
  for farm in none slurm; do
    "$v" batch "$d/list" --preset "$samples/VellumarDefault.vl" --out "$d/$farm" --farm $farm \
      --jobs 2 > "$d/$farm.txt" 2>&1
    [ $? -eq 1 ] || fail "batch --farm $farm: $(cat "$d/$farm.txt")"
  done
  grep -q 'submitted Slurm array job' "$d/slurm.txt" || fail "no array job: $(cat "$d/slurm.txt")"
  (cd "$d/none" && find . -name '*.png' | sort) > "$d/none.files"
  (cd "$d/slurm" && find . -name '*.png' | sort) > "$d/slurm.files"
  [ "$(wc -l < "$d/none.files")" -ge 6 ] || fail "too few images: $(cat "$d/none.files")"
  cmp -s "$d/none.files" "$d/slurm.files" || fail "other files: $(diff "$d/none.files" "$d/slurm.files")"
  while read -r f; do
    cmp -s "$d/none/$f" "$d/slurm/$f" || fail "$f differs between the farm and here"
  done < "$d/none.files"
  grep -q '"name": "broken", "scene": "[^"]*", "status": "failed", "message": "unwrap: ' \
    "$d/slurm/summary.json" || fail "the farm's failure is not reported: $(cat "$d/slurm/summary.json")"
  ;;
slurm_six_objects_match_local)
  need_slurm
  six_boxes
  t0=$(ms)
  net_bake --wait > "$d/out.txt" 2>&1 || fail "network bake: $(cat "$d/out.txt")"
  echo "slurm: submission to merged textures in $(( $(ms) - t0 )) ms"
  [ "$(grep -c 'has been completed' "$d/out.txt")" -eq 2 ] || fail "two jobs: $(cat "$d/out.txt")"
  same_as_local
  [ "$(folders_left)" -eq 0 ] || fail "job folders left: $(ls "$d/farm")"
  ;;
local_manager_six_objects_match_local)
  six_boxes
  port=3251
  start_manager $port
  t0=$(ms)
  net_bake --wait --farm local --port $port > "$d/out.txt" 2>&1
  rc=$?
  [ $rc -eq 0 ] || fail "network bake: $(cat "$d/out.txt")"
  echo "local manager: submission to merged textures in $(( $(ms) - t0 )) ms"
  same_as_local
  [ "$(folders_left)" -eq 0 ] || fail "job folders left: $(ls "$d/farm")"
  ;;
slurm_failed_job_reports_once)
  need_slurm
  six_boxes
  net_bake --wait --render-server /bin/false > "$d/out.txt" 2>&1
  [ $? -eq 1 ] || fail "exit status: $(cat "$d/out.txt")"
  [ "$(grep -c 'reported an error. Network baking has failed.' "$d/out.txt")" -eq 2 ] ||
    fail "one report per failed job: $(cat "$d/out.txt")"
  [ ! -e "$d/net" ] || [ -z "$(ls "$d/net")" ] || fail "a failed job was merged: $(ls "$d/net")"
  ;;
slurm_unreachable_manager_still_submits)
  need_slurm
  six_boxes
  net_bake --port 3299 > "$d/out.txt" 2>&1 || fail "submission: $(cat "$d/out.txt")"
  grep -q "Couldn't connect to the specified netrender manager: localhost at port: 3299." "$d/out.txt" ||
    fail "no question: $(cat "$d/out.txt")"
  [ "$(grep -c "it hasn't been identified by Vellumar" "$d/out.txt")" -eq 2 ] ||
    fail "unidentified: $(cat "$d/out.txt")"
  # The jobs went in all the same; once they are done, the manual merge
  # makes the textures.
  for job in $(ls "$d/farm"); do
    for _ in $(seq 1 300); do
      squeue -t all -h -o '%T|%j' | grep -qx "COMPLETED|$job" && break
      sleep 0.1
    done
    "$v" merge "$d/farm/$job" --out "$d/net" > "$d/merge.txt" || fail "merge: $(cat "$d/merge.txt")"
  done
  same_as_local
  ;;
slurm_controller_stopped_while_job_runs)
  need_slurm
  six_boxes
  state=$(dirname "$(dirname "$SLURM_CONF")")
  printf '#!/bin/sh\nsleep 6\nexec %s "$@"\n' "$v" > "$d/slow-server"
  chmod +x "$d/slow-server"
  net_bake --wait --render-server "$d/slow-server" > "$d/out.txt" 2>&1 &
  bake=$!
  for _ in $(seq 1 200); do
    [ "$(squeue -h -t running -o %i 2>/dev/null | wc -l)" -ge 2 ] && break
    sleep 0.1
  done
  kill "$(cat "$state/run/slurmctld.pid")"
  wait $bake
  rc=$?
  # Bring the controller back whatever happened, for the cases after this one.
  /usr/sbin/slurmctld
  for _ in $(seq 1 100); do scontrol ping 2>/dev/null | grep -q "is UP" && break; sleep 0.1; done
  [ $rc -eq 1 ] || fail "exit status $rc: $(cat "$d/out.txt")"
  [ "$(grep -c 'Netrender Manager has been shut down.' "$d/out.txt")" -eq 1 ] ||
    fail "manager down once: $(cat "$d/out.txt")"
  [ ! -e "$d/net" ] || [ -z "$(ls "$d/net")" ] || fail "merged while the manager was down"
  # The jobs ran on; their folders merge by hand once their images are there.
  for job in $(ls "$d/farm"); do
    for _ in $(seq 1 300); do [ -e "$d/farm/$job/snapshot.vlscene" ] || break; sleep 0.1; done
    "$v" merge "$d/farm/$job" --out "$d/net" > "$d/merge.txt" || fail "merge: $(cat "$d/merge.txt")"
  done
  same_as_local
  ;;
slurm_textured_scene_matches_local)
  need_slurm
  textured_boxes
  textured_net_bake --wait > "$d/out.txt" 2>&1 || fail "network bake: $(cat "$d/out.txt")"
  same_as_local_in "$d/net/new/maps"
  [ "$(folders_left)" -eq 0 ] || fail "job folders left: $(ls "$d/farm")"
  ;;
local_manager_textured_scene_matches_local)
  textured_boxes
  port=3252
  start_manager $port
  textured_net_bake --wait --farm local --port $port > "$d/out.txt" 2>&1
  rc=$?
  [ $rc -eq 0 ] || fail "network bake: $(cat "$d/out.txt")"
  same_as_local_in "$d/net/new/maps"
  ;;
slurm_unreadable_texture_fails_the_job_by_name)
  need_slurm
  textured_boxes
  mv "$d/scene/pattern.tga" "$d/scene/elsewhere.tga"
  textured_net_bake --wait > "$d/out.txt" 2>&1
  [ $? -eq 1 ] || fail "exit status: $(cat "$d/out.txt")"
  grep -q "reported an error. Network baking has failed." "$d/out.txt" || fail "$(cat "$d/out.txt")"
  grep -q "Texture image .*pattern.tga could not be read" "$d/out.txt" ||
    fail "the texture is not named: $(cat "$d/out.txt")"
  [ ! -e "$d/net" ] || [ -z "$(ls -A "$d/net/new/maps" 2>/dev/null)" ] || fail "a wrong map was merged"
  ;;
local_manager_hostile_node_names_stay_in_the_job_folder)
  # Separate renders name each object's image after its node.
  name0='../../../../../OUTSIDE/ESCAPED2' name1='q"uote\ back' name2='%2F..' sep=--separate
  textured_boxes
  port=3253
  start_manager $port
  textured_net_bake --wait --farm local --port $port > "$d/out.txt" 2>&1
  rc=$?
  [ $rc -eq 0 ] || fail "network bake: $(cat "$d/out.txt")"
  same_as_local_in "$d/net/new/maps"
  for p in /OUTSIDE /tmp/OUTSIDE "$d/OUTSIDE" "$d/farm/OUTSIDE"; do
    [ ! -e "$p" ] || fail "$p was written"
  done
  [ "$(folders_left)" -eq 0 ] || fail "job folders left: $(ls -R "$d/farm")"
  ;;
failed_submission_exits_1)
  six_boxes
  start_manager 3254
  "$v" bake "$d/six.vlscene" --group six --out "$d/net" --netrender --farm local --port 3254 \
    --netpath /proc/vellumar-nowhere > "$d/out.txt" 2>&1
  rc=$?
  [ $rc -eq 1 ] || fail "exit status $rc: $(cat "$d/out.txt")"
  grep -q "Network render submission failed" "$d/out.txt" || fail "$(cat "$d/out.txt")"
  ;;
no_default_preset_reports_without_hanging)
  # With no default preset the first report of a run is the record's own.
  six_boxes
  export VELLUMAR_DEFAULT_PRESET="$d/none.vl"
  mkdir -p "$d/job"
  printf '\211PNG broken' > "$d/job/AMap.png"
  printf '===== Vellumar merge script =====\n/n\n/n/j\\\n=====\n%s\nAMap.png\nBMap.png\n-----\n=================================' \
    "$d/net/t.png" > "$d/job/job.desc"
  timeout 30 "$v" merge "$d/job" --out "$d/net" > "$d/out.txt" 2>&1
  rc=$?
  [ $rc -eq 1 ] || fail "merge exit status $rc: $(cat "$d/out.txt")"
  grep -q "Failed to open image" "$d/out.txt" || fail "$(cat "$d/out.txt")"
  timeout 30 "$v" render-job "$d/job/none.vlscene" > "$d/out.txt" 2>&1
  rc=$?
  [ $rc -eq 2 ] || fail "render-job exit status $rc: $(cat "$d/out.txt")"
  start_manager 3255
  timeout 60 "$v" bake "$d/six.vlscene" --group six --out "$d/net" --netrender --farm local \
    --port 3255 --netpath /proc/vellumar-nowhere > "$d/out.txt" 2>&1
  rc=$?
  [ $rc -eq 1 ] || fail "bake exit status $rc: $(cat "$d/out.txt")"
  ;;
slurm_interrupted_wait_cancels_its_jobs)
  need_slurm
  six_boxes
  printf '#!/bin/sh\nsleep 30\nexec %s "$@"\n' "$v" > "$d/slow-server"
  chmod +x "$d/slow-server"
  # Started straight from here, so that the signal reaches the tool itself.
  "$v" bake "$d/six.vlscene" --group six --out "$d/net" --netrender --netpath "$d/farm" \
    --wait --render-server "$d/slow-server" > "$d/out.txt" 2>&1 &
  bake=$!
  for _ in $(seq 1 200); do
    [ "$(grep -c '^job .*: rendering' "$d/out.txt")" -ge 2 ] && break
    sleep 0.1
  done
  sleep 0.5
  kill -INT $bake
  wait $bake
  rc=$?
  [ $rc -ne 0 ] || fail "an interrupted bake exits 0: $(cat "$d/out.txt")"
  grep -q "interrupted; 2 jobs cancelled on the farm" "$d/out.txt" || fail "$(cat "$d/out.txt")"
  for job in $(ls "$d/farm"); do
    state=""
    for _ in $(seq 1 100); do
      state=$(squeue -t all -h -o '%T|%j' | grep "|$job\$" | cut -d'|' -f1)
      [ "$state" = CANCELLED ] && break
      sleep 0.1
    done
    [ "$state" = CANCELLED ] || fail "job $job is $state"
  done
  [ "$(folders_left)" -eq 2 ] || fail "the job folders are gone"
  ;;
slurm_farm_without_a_cluster_is_refused)
  six_boxes
  mkdir -p "$d/shim"
  for tool in sbatch squeue scontrol scancel sinfo; do
    printf '#!/bin/sh\ntouch %s/ran\nexit 1\n' "$d" > "$d/shim/$tool"
    chmod +x "$d/shim/$tool"
  done
  for farm in "--farm slurm" ""; do
    SLURM_CONF="$d/no-cluster.conf" PATH="$d/shim:$PATH" net_bake --wait $farm > "$d/out.txt" 2>&1
    rc=$?
    [ $rc -eq 2 ] || fail "exit status $rc: $(cat "$d/out.txt")"
    grep -q "no Slurm cluster is configured: $d/no-cluster.conf cannot be read" "$d/out.txt" ||
      fail "$(cat "$d/out.txt")"
  done
  [ ! -e "$d/ran" ] || fail "a Slurm tool ran without a cluster"
  ;;
*)
  fail "unknown case $case"
  ;;
esac
echo "ok"
