#!/bin/bash
# slurm-down.sh STATE_DIR: cancels every job, then stops slurmd and
# slurmctld, then munged, by the pid files under STATE_DIR. Running jobs
# outlive the daemons (their slurmstepd ignores SIGTERM), so they are
# cancelled and waited for first. A socket folder slurm-up.sh made for munged
# outside STATE_DIR goes too.
D=${1:?usage: slurm-down.sh STATE_DIR}
[ -d "$D" ] || exit 0
D=$(cd "$D" && pwd)
export SLURM_CONF="$D/etc/slurm.conf"
alive() { [ -s "$1" ] && kill -0 "$(cat "$1")" 2>/dev/null; }
stop_pids() { # pidfile...: SIGTERM all, wait up to 10 s, then SIGKILL
  local ps="" p f left
  for f in "$@"; do alive "$f" && { p=$(cat "$f"); kill "$p"; ps="$ps $p"; }; done
  for _ in $(seq 1 100); do
    left=""; for p in $ps; do kill -0 "$p" 2>/dev/null && left="$left $p"; done
    [ -z "$left" ] && return 0
    sleep 0.1
  done
  echo "SIGKILL to:$left" >&2
  kill -9 $left 2>/dev/null
  return 0
}
if alive "$D/run/slurmctld.pid"; then
  scancel --partition=debug 2>/dev/null || true
  for _ in $(seq 1 300); do
    [ -z "$(squeue -h -o %i 2>/dev/null)" ] && break
    sleep 0.1
  done
  left=$(squeue -h -o %i 2>/dev/null)
  [ -n "$left" ] && echo "jobs still active at shutdown: $left" >&2
fi
stop_pids "$D/run/slurmd-localhost.pid" "$D/run/slurmctld.pid"
stop_pids "$D/munge/munged.pid"
# Only once munged is gone: a running munged would lose its socket. Only
# munged's own files are removed, so a wrong name here cannot take more.
if [ -f "$D/munge/socket-dir" ]; then
  s=$(cat "$D/munge/socket-dir")
  if [ -n "$s" ] && [ -d "$s" ]; then
    rm -f "$s/munge.socket" "$s/munge.socket.lock"
    rmdir "$s" 2>/dev/null || echo "left $s in place: it holds files munged did not put there" >&2
  fi
  rm -f "$D/munge/socket-dir"
fi
echo "slurm down"
