# A one-node Slurm cluster in a folder of its own, for tests: its own MUNGE
# daemon on a private socket, a controller and a node daemon on free ports,
# all run in the foreground as children of this shell and stopped by their
# process ids. Source this file, then:
#
#   slurm_cluster_start FOLDER     # exports SLURM_CONF; the node is idle when it returns
#   slurm_wait_for_tasks JOB COUNT SECONDS
#   slurm_task_record JOB TASK     # the task's line of the completion record
#   slurm_cluster_stop             # cancels jobs, stops every process of the cluster
#
# Needs root: munged runs as the munge user and slurmd as root.

slurm_pids=()
slurm_folder=""

slurm_log() { echo "slurm: $*" >&2; }

# A TCP port nothing listens on, from a range clear of Slurm's defaults.
slurm_free_port() {
  local port used
  # Listening sockets (state 0A) of /proc/net/tcp and tcp6, their ports in hex.
  used=$(awk '$4 == "0A" { split($2, address, ":"); print address[2] }' /proc/net/tcp /proc/net/tcp6 2>/dev/null || true)
  for port in $(seq "$1" $(( $1 + 200 ))); do
    grep -qix "$(printf '%04x' "$port")" <<<"$used" || { echo "$port"; return 0; }
  done
  slurm_log "no free port from $1"
  return 1
}

# Waits up to $1 seconds for the command after it to succeed.
slurm_retry() {
  local seconds=$1 deadline
  shift
  deadline=$(( $(date +%s) + seconds ))
  until "$@" >/dev/null 2>&1; do
    (( $(date +%s) < deadline )) || return 1
    sleep 0.2
  done
}

# True once the socket exists or its daemon is gone.
slurm_socket_or_exit() { [[ -S $2 ]] || ! kill -0 "$1" 2>/dev/null; }

slurm_start_munge() {
  local folder=$1
  mkdir -p "$folder/munge"
  chown munge: "$folder/munge"
  chmod 711 "$folder/munge"  # clients reach the socket in it
  local key=/etc/munge/munge.key
  if [[ ! -s $key ]]; then
    slurm_log "making a MUNGE key at $key"
    mungekey --create --keyfile="$key"
    chown munge: "$key"
    chmod 600 "$key"
  fi
  setpriv --reuid=munge --regid=munge --init-groups munged --foreground --socket="$folder/munge/socket" --key-file="$key" \
    --pid-file="$folder/munge/munged.pid" --log-file="$folder/munge/munged.log" \
    --seed-file="$folder/munge/munged.seed" >>"$folder/munge/munged.out" 2>&1 &
  slurm_pids+=($!)
  if ! slurm_retry 10 slurm_socket_or_exit $! "$folder/munge/socket" || [[ ! -S $folder/munge/socket ]]; then
    slurm_log "munged did not start: $(tail -n 1 "$folder/munge/munged.out")"
    return 1
  fi
}

slurm_write_config() {
  local folder=$1 host=$2 memory controller_port node_port
  memory=$(slurmd -C | sed -n 's/.*RealMemory=\([0-9]*\).*/\1/p')
  controller_port=$(slurm_free_port 16817)
  node_port=$(slurm_free_port $(( controller_port + 1 )))
  mkdir -p "$folder/state" "$folder/spool" "$folder/log"
  cat >"$folder/slurm.conf" <<EOF
ClusterName=taviron-test
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$controller_port
SlurmdPort=$node_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$folder/munge/socket
StateSaveLocation=$folder/state
SlurmdSpoolDir=$folder/spool
SlurmctldPidFile=$folder/slurmctld.pid
SlurmdPidFile=$folder/slurmd.pid
SlurmctldLogFile=$folder/log/slurmctld.log
SlurmdLogFile=$folder/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/filetxt
JobCompLoc=$folder/jobcomp.txt
MpiDefault=none
MailProg=/bin/true
ReturnToService=2
# Tasks start within a second of a free CPU, not at the next minute's pass.
SchedulerParameters=sched_interval=1
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
NodeName=$host NodeAddr=127.0.0.1 CPUs=$(nproc) RealMemory=${memory:-1000} State=UNKNOWN
PartitionName=test Nodes=ALL Default=YES MaxTime=INFINITE State=UP
EOF
  export SLURM_CONF=$folder/slurm.conf
}

slurm_node_idle() { [[ $(sinfo --noheader --format=%t 2>/dev/null) == idle ]]; }

slurm_cluster_start() {
  slurm_folder=$1
  local host
  host=$(hostname -s)
  mkdir -p "$slurm_folder"
  chmod 755 "$slurm_folder"  # munged reaches its socket folder through it
  slurm_start_munge "$slurm_folder"
  slurm_write_config "$slurm_folder" "$host"
  slurmctld -D -i >>"$slurm_folder/log/slurmctld.out" 2>&1 &
  slurm_pids+=($!)
  slurmd -D -N "$host" >>"$slurm_folder/log/slurmd.out" 2>&1 &
  slurm_pids+=($!)
  if ! slurm_retry 30 slurm_node_idle; then
    slurm_log "the node did not come up; its state: $(sinfo --noheader 2>&1)"
    tail -n 20 "$slurm_folder"/log/*.log >&2
    return 1
  fi
}

slurm_task_record() {
  [[ -f $slurm_folder/jobcomp.txt ]] || return 0
  grep -E "(^| )ArrayJobId=$1 .*ArrayTaskId=$2( |$)" "$slurm_folder/jobcomp.txt" | tail -n 1
}

slurm_tasks_recorded() {
  [[ -f $slurm_folder/jobcomp.txt ]] || { echo 0; return; }
  grep -cE "(^| )ArrayJobId=$1 " "$slurm_folder/jobcomp.txt" || true
}

# The completion record, not sbatch --wait: it is written as each task ends
# and lasts, while the controller forgets finished tasks.
slurm_wait_for_tasks() {
  local job=$1 count=$2 seconds=$3 deadline
  deadline=$(( $(date +%s) + seconds ))
  while (( $(slurm_tasks_recorded "$job") < count )); do
    if (( $(date +%s) >= deadline )); then
      slurm_log "job $job: $(slurm_tasks_recorded "$job") of $count tasks ended within $seconds s"
      squeue --noheader --jobs="$job" >&2 || true
      return 1
    fi
    sleep 0.2
  done
}

# Processes outside this shell's own tree that carry the cluster's
# configuration in their environment: the node's job step managers, which
# leave their parent, and the jobs' processes under them.
slurm_processes_left() {
  local carriers
  carriers=$(grep -slzxF "SLURM_CONF=$slurm_folder/slurm.conf" /proc/[0-9]*/environ | cut -d/ -f3 | tr '\n' ' ')
  [[ -n $carriers ]] || return 0
  # Each process's parent, from /proc/PID/stat: the field after the state,
  # which follows the command's name in parentheses.
  local pid stat line
  for stat in /proc/[0-9]*/stat; do
    pid=${stat#/proc/}
    { read -r line <"$stat" && line=${line##*) } && echo "${pid%/stat} ${line#* }"; } 2>/dev/null || true
  done | awk -v shell=$$ -v carriers="$carriers" '
    { parent[$1] = $2 }
    END {
      n = split(carriers, pids, " ")
      for (i = 1; i <= n; ++i) {
        p = pids[i]
        if (!(p in parent)) continue  # gone already
        while (p > 1 && p != shell) p = parent[p]
        if (p != shell) print pids[i]
      }
    }'
}

slurm_stop_pids() {
  local pid deadline
  for pid in "$@"; do kill -TERM "$pid" 2>/dev/null || true; done
  deadline=$(( $(date +%s) + 10 ))
  for pid in "$@"; do
    while kill -0 "$pid" 2>/dev/null && (( $(date +%s) < deadline )); do sleep 0.1; done
    if kill -0 "$pid" 2>/dev/null; then
      slurm_log "process $pid did not stop; killing it"
      kill -KILL "$pid" 2>/dev/null || true
    fi
  done
}

slurm_cluster_stop() {
  [[ -n $slurm_folder ]] || return 0
  if (( ${#slurm_pids[@]} > 1 )); then
    timeout 10 scancel --quiet --user="$(id -un)" 2>/dev/null || true
    slurm_retry 10 test -z "$(squeue --noheader 2>/dev/null)" || slurm_log "jobs still queued at the stop"
  fi
  # Controller and node daemon first, then MUNGE that they talk to.
  local daemons=()
  (( ${#slurm_pids[@]} < 2 )) || daemons=("${slurm_pids[@]:1}")
  slurm_stop_pids "${daemons[@]}"
  local left
  left=$(slurm_processes_left)
  if [[ -n $left ]]; then
    slurm_log "stopping processes the node left running: $(echo $left)"
    slurm_stop_pids $left
  fi
  (( ${#slurm_pids[@]} == 0 )) || slurm_stop_pids "${slurm_pids[0]}"
  for pid in "${slurm_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  slurm_pids=()
}
