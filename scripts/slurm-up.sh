#!/bin/bash
# slurm-up.sh STATE_DIR
# Brings up a private single-node Slurm cluster (munged + slurmctld + slurmd)
# on loopback, without systemd. Everything (key, config, sockets, spool,
# state, logs, pid files) lives under STATE_DIR.
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

# munged refuses a socket whose folders are not all o+x (mktemp -d makes
# the state folder 0700).
mkdir -p "$D"/{etc,bin,state,spool,log,run,munge}
chmod 755 "$D" "$D/munge"

# A private munged with its own socket: no clash with a system one.
[ -s "$D/munge/munge.key" ] || mungekey --create --keyfile="$D/munge/munge.key" 2>/dev/null ||
  dd if=/dev/urandom of="$D/munge/munge.key" bs=1 count=1024 status=none
chmod 600 "$D/munge/munge.key"
SOCK="$D/munge/munge.socket"
/usr/sbin/munged --socket="$SOCK" --key-file="$D/munge/munge.key" --pid-file="$D/munge/munged.pid" \
                 --log-file="$D/munge/munged.log" --seed-file="$D/munge/munged.seed"
for _ in $(seq 1 100); do
  munge -S "$SOCK" -n 2>/dev/null | unmunge -S "$SOCK" >/dev/null 2>&1 && break
  sleep 0.05
done
munge -S "$SOCK" -n | unmunge -S "$SOCK" >/dev/null || { echo "munge self-test failed" >&2; exit 1; }

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
