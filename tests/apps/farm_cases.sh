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
if [ -n "${KEEP:-}" ]; then echo "kept $d"; else trap 'rm -rf "$d"' EXIT; fi
export VELLUMAR_DEFAULT_PRESET="$samples/VellumarDefault.vl"

fail() { echo "FAIL: $*"; exit 1; }
need_slurm() {
  [ -n "${SLURM_CONF:-}" ] && scontrol ping 2>/dev/null | grep -q "is UP" ||
    { echo "no Slurm cluster answers (SLURM_CONF unset or controller down)"; exit 77; }
}
ms() { echo $(( $(date +%s%N) / 1000000 )); }

# Six boxes of different sizes, unwrapped into two maps in channel 2, and
# their textures baked on this machine for comparison.
six_boxes() {
  : > "$d/six.obj"
  n=0
  for box in "0 0 0 1" "3 0 0 2" "7 0 0 1.5" "0 4 0 0.5" "3 4 0 1.2" "7 4 0 0.8"; do
    set -- $box
    echo "o box$n" >> "$d/six.obj"
    for z in 0 $4; do for y in 0 $4; do for x in 0 $4; do
      awk "BEGIN { print \"v\", $1 + $x, $2 + $y, $3 + $z }" >> "$d/six.obj"
    done; done; done
    b=$((n * 8))
    for f in "1 3 4 2" "5 6 8 7" "1 2 6 5" "3 7 8 4" "1 5 7 3" "2 4 8 6"; do
      set -- $f
      echo "f $(($1 + b)) $(($2 + b)) $(($3 + b)) $(($4 + b))" >> "$d/six.obj"
    done
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

case $case in
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
  t0=$(ms)
  net_bake --wait --farm local --port $port > "$d/out.txt" 2>&1
  rc=$?
  pkill -f "vellumar manager --port $port" 2>/dev/null
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
    "$v" merge "$d/farm/$job" > "$d/merge.txt" || fail "merge: $(cat "$d/merge.txt")"
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
    "$v" merge "$d/farm/$job" > "$d/merge.txt" || fail "merge: $(cat "$d/merge.txt")"
  done
  same_as_local
  ;;
*)
  fail "unknown case $case"
  ;;
esac
echo "ok"
