#!/bin/bash
# slurm-up.sh STATE_DIR
# Brings up a private single-node Slurm cluster (munged + slurmctld + slurmd)
# on loopback, without systemd. Everything (key, config, sockets, spool,
# state, logs, pid files) lives under STATE_DIR, except munge's socket when
# STATE_DIR lies in a folder others cannot enter (see below).
# Knobs: SLURM_SLOTS (jobs at once; default nproc), SLURM_CTLD_PORT (3234,
# the network manager port Vellumar connects to by default), SLURMD_PORT (6818).
# Afterwards: source STATE_DIR/env.sh (exports SLURM_CONF) and use
# sbatch/squeue/scontrol/scancel. Stop it with slurm-down.sh STATE_DIR.
set -euo pipefail
D=${1:?usage: slurm-up.sh STATE_DIR}
# The daemons misbehave when started with fd 0/1/2 closed (CI may run with no
# stdin): slurmctld ends up with a socket on fd 0, slurmd loses its log and
# every batch launch fails, which leaves jobs held and looks like a hang.
exec </dev/null
{ : >&1; } 2>/dev/null || exec >/dev/null
{ : >&2; } 2>/dev/null || exec 2>/dev/null
mkdir -p "$D"; D=$(cd "$D" && pwd)
CTLD_PORT=${SLURM_CTLD_PORT:-3234}
SLURMD_PORT=${SLURMD_PORT:-6818}

# A pid file can outlive its daemon (and its number be reused), and a daemon
# that just died stays a zombie until init gets to it.
running() { # PIDFILE NAME
  local p st comm
  p=$(cat "$1" 2>/dev/null) && [[ $p =~ ^[0-9]+$ ]] || return 1
  read -r st comm < <(ps -o stat=,comm= -p "$p" 2>/dev/null) || return 1
  [[ $st != Z* && $comm = "$2" ]]
}
# A second munged would take a fresh socket folder and hide the first one
# from slurm-down.sh, so a running cluster is left alone.
for d in munge/munged.pid:munged run/slurmctld.pid:slurmctld run/slurmd-localhost.pid:slurmd; do
  if running "$D/${d%%:*}" "${d##*:}"; then
    echo "slurm-up: a cluster is already running from $D (${d##*:}, pid $(cat "$D/${d%%:*}"))." >&2
    echo "slurm-up: stop it first with scripts/slurm-down.sh $D" >&2
    exit 1
  fi
done

if ! command -v slurmctld >/dev/null || ! command -v slurmd >/dev/null ||
   ! command -v sbatch >/dev/null || ! command -v munged >/dev/null; then
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends \
      slurmctld slurmd slurm-client munge >/dev/null ||
  { $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq &&
    $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends \
      slurmctld slurmd slurm-client munge >/dev/null; }
fi

mkdir -p "$D"/{etc,bin,state,spool,log,run,munge}

# munged opens its socket only in a folder that everyone may enter, and each
# folder above it must be enterable too; it checks the mode bits, so running
# as root does not help. The socket's path must also fit in a socket address
# (107 bytes). A state folder inside a private home (0700), or one made by
# mktemp -d, cannot offer that, and the user's folders are not ours to open
# up. The socket, with munged's lock file beside it, then goes to a folder of
# its own under $TMPDIR or /tmp, whose name munge/socket-dir keeps for
# slurm-down.sh.
SOCKDIR_NOTE="$D/munge/socket-dir"
open_to_all() { # FOLDER: it and every folder above it have x for all; else sets $closed
  local p m
  p=$(realpath -e "$1" 2>/dev/null) || { closed="$1 (missing)"; return 1; }
  while :; do
    m=$(stat -c %a "$p")
    (( (8#$m & 8#111) == 8#111 )) || { closed="$p (mode $m)"; return 1; }
    [ "$p" = / ] && return 0
    p=$(dirname "$p")
  done
}
drop_sockdir() { # removes only what munged puts in the noted folder, then the folder
  local s
  s=$(cat "$SOCKDIR_NOTE" 2>/dev/null) || return 0
  if [ -n "$s" ] && [ -d "$s" ]; then
    rm -f "$s/munge.socket" "$s/munge.socket.lock"
    rmdir "$s" 2>/dev/null || echo "slurm-up: left $s in place: it holds files munged did not put there" >&2
  fi
  rm -f "$SOCKDIR_NOTE"
}
# No munged runs from here (checked above), so a noted folder is left over
# from a run that was never brought down.
drop_sockdir
closed=""
SOCKDIR="$D/munge"
if open_to_all "$D" && [ ${#SOCKDIR} -le $((107 - 13)) ]; then
  chmod 755 "$SOCKDIR"
else
  # The key stays here, in a folder that is now nobody else's business.
  chmod 700 "$D/munge"
  why=${closed:+"$closed cannot be entered by others"}
  why=${why:-"$D is too deep for a socket path"}
  SOCKDIR=""
  for base in ${TMPDIR:+"$TMPDIR"} /tmp; do
    if [[ $base != /* ]] || [ ! -d "$base" ] || [ ! -w "$base" ] || ! open_to_all "$base" ||
       [ ${#base} -gt $((107 - 13 - 22)) ]; then
      continue
    fi
    SOCKDIR=$(mktemp -d "$base/vellumar-munge.XXXXXX" 2>/dev/null) || { SOCKDIR=""; continue; }
    chmod 755 "$SOCKDIR"
    echo "$SOCKDIR" > "$SOCKDIR_NOTE"
    break
  done
  if [ -z "$SOCKDIR" ]; then
    echo "slurm-up: munge needs a socket folder that every user can enter, as can each folder above it," >&2
    echo "slurm-up: but $why, and no such folder could be made in ${TMPDIR:+$TMPDIR or }/tmp." >&2
    echo "slurm-up: put the state folder where others can pass through (e.g. under /var/tmp), or point" >&2
    echo "slurm-up: TMPDIR at a writable folder whose parents are all o+x." >&2
    exit 1
  fi
  # A run that fails before munged is up takes its fresh folder away again;
  # once munged runs, slurm-down.sh does.
  trap '[ $? = 0 ] || running "$D/munge/munged.pid" munged || drop_sockdir' EXIT
fi

# A private munged with its own socket: no clash with a system one.
[ -s "$D/munge/munge.key" ] || mungekey --create --keyfile="$D/munge/munge.key" 2>/dev/null ||
  dd if=/dev/urandom of="$D/munge/munge.key" bs=1 count=1024 status=none
chmod 600 "$D/munge/munge.key"
SOCK="$SOCKDIR/munge.socket"
# What munged says on failing to start goes to its log, next to what it logs
# once running, and the caller gets an explanation from here instead; the
# umask keeps the log as private as munged itself makes it.
if ! (umask 027 && exec /usr/sbin/munged --socket="$SOCK" --key-file="$D/munge/munge.key" \
        --pid-file="$D/munge/munged.pid" --log-file="$D/munge/munged.log" \
        --seed-file="$D/munge/munged.seed" 2>>"$D/munge/munged.log"); then
  echo "slurm-up: munged (which Slurm needs to authenticate) did not start; its reason is at the end of $D/munge/munged.log" >&2
  exit 1
fi
for _ in $(seq 1 100); do
  munge -S "$SOCK" -n 2>/dev/null | unmunge -S "$SOCK" >/dev/null 2>&1 && break
  sleep 0.05
done
munge -S "$SOCK" -n 2>/dev/null | unmunge -S "$SOCK" >/dev/null 2>&1 ||
  { echo "slurm-up: munged started but does not answer on $SOCK; see $D/munge/munged.log and run slurm-down.sh $D" >&2; exit 1; }

# The node's size comes from the hardware; more slots than CPUs needs
# config_overrides. The scheduler parameters start a queued job within about
# a second instead of waiting for the next backfill pass (20-30 s).
REALCPUS=$(nproc); SLOTS=${SLURM_SLOTS:-$REALCPUS}
MEM=$(slurmd -C | sed -n 's/.*RealMemory=\([0-9]*\).*/\1/p' | head -1); MEM=${MEM:-1000}
OVR=""; [ "$SLOTS" -gt "$REALCPUS" ] && OVR="SlurmdParameters=config_overrides"
cat > "$D/etc/slurm.conf" <<CONF
ClusterName=vellumar
SlurmctldHost=localhost
SlurmUser=root
SlurmdUser=root
SlurmctldPort=$CTLD_PORT
SlurmdPort=$SLURMD_PORT
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$SOCK
StateSaveLocation=$D/state
SlurmdSpoolDir=$D/spool/slurmd-%n
SlurmctldPidFile=$D/run/slurmctld.pid
SlurmdPidFile=$D/run/slurmd-%n.pid
SlurmctldLogFile=$D/log/slurmctld.log
SlurmdLogFile=$D/log/slurmd-%n.log
SlurmctldDebug=info
SlurmdDebug=info
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
MailProg=/bin/true
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SchedulerType=sched/backfill
SchedulerParameters=batch_sched_delay=0,sched_interval=1,bf_interval=1
SwitchType=switch/none
MpiDefault=none
MinJobAge=86400
KillWait=5
ReturnToService=2
$OVR
NodeName=localhost NodeAddr=127.0.0.1 CPUs=$SLOTS RealMemory=$MEM State=UNKNOWN
PartitionName=debug Nodes=localhost Default=YES MaxTime=INFINITE State=UP
CONF
echo "export SLURM_CONF=$D/etc/slurm.conf" > "$D/env.sh"
export SLURM_CONF="$D/etc/slurm.conf"
mkdir -p "$D/spool/slurmd-localhost"

# Both daemons go to the background and write their pid files. The node is
# named localhost, which the machine's host name is not.
/usr/sbin/slurmctld
/usr/sbin/slurmd -N localhost
for _ in $(seq 1 600); do
  if [ "$(sinfo -h -n localhost -o %T 2>/dev/null)" = idle ]; then
    echo "slurm up: $(sinfo -h -o '%P %a %D %T %N') (controller localhost:$CTLD_PORT)"
    exit 0
  fi
  sleep 0.1
done
echo "slurm did not come up; see $D/log" >&2
exit 1
