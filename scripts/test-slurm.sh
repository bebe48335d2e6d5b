#!/usr/bin/env bash
# Renders a synthetic clip as a Slurm job array (examples/slurm) on a one-node
# cluster started here, and checks that
#   1. the chunks give the same files as one render of the whole range,
#   2. a chunk that fails fails the job, visibly, and resubmitting that chunk
#      alone completes the sequence without touching finished frames,
#   3. two tasks writing the same frames into one folder at the same time
#      leave only whole files.
# Every daemon it starts is stopped by its process id when it ends, however
# it ends. Usage: scripts/test-slurm.sh [path to taviron]
set -euo pipefail
cd "$(dirname "$0")/.."
repository=$PWD
taviron=$(realpath "${1:-build/bin/taviron}")
[[ -x $taviron ]] || { echo "no taviron program at $taviron" >&2; exit 1; }
if [[ $(id -u) -ne 0 ]]; then exec sudo "$0" "$taviron"; fi

source scripts/slurm-cluster.sh
job_script=$repository/examples/slurm/taviron-render.sbatch
task_seconds=60
work=$(mktemp -d /tmp/taviron-slurm.XXXXXX)
chmod 755 "$work"  # the munge user reaches its socket below it
failed=0

finish() {
  local status=$?
  slurm_cluster_stop
  if (( status != 0 )); then
    echo "== test-slurm failed (status $status); daemon logs:"
    tail -n 15 "$work"/cluster/log/*.log 2>/dev/null || true
  fi
  rm -rf "$work"
  exit "$status"
}
trap finish EXIT
trap 'exit 130' INT TERM

fail() {
  echo "FAIL: $*"
  failed=1
}

# A clip of noise, so that every method gives other files.
make_clip() {
  local folder=$1 size=$2
  mkdir -p "$folder"
  oiiotool --frames 1-24 --pattern "noise:type=uniform:min=0:max=1:seed=#" "$size" 4 -d half -o "$folder/plate.#.exr"
}

# Submits the example job array with the settings in the environment (INPUT,
# OUTPUT, ...); prints the job's id. Arguments after the array and the log
# folder go to taviron, but for a first --hold, which goes to sbatch.
submit() {
  local array=$1 logs=$2 hold=()
  shift 2
  [[ ${1:-} != --hold ]] || { hold=(--hold); shift; }
  mkdir -p "$logs" "$(dirname "$OUTPUT")"
  sbatch --parsable "${hold[@]}" --array="$array" --cpus-per-task=1 --chdir="$logs" "$job_script" "$@"
}

frame_file() { printf '%s/out.%04d.exr' "$1" "$2"; }

# Temporary files the writers leave beside their frames, if any.
leftovers() { find "$1" -name '.*' -o -name '*.tmp'; }

task_field() { sed -n "s/.* $2=\([^ ]*\).*/\1/p" <<<"$1"; }

# Every task of `job` ended with `state`; prints each task's record.
expect_tasks() {
  local job=$1 tasks=$2 state=$3 task record
  for task in $(seq 0 $(( tasks - 1 ))); do
    record=$(slurm_task_record "$job" "$task")
    echo "  task $job.$task: $(task_field "$record" JobState) exit $(task_field "$record" ExitCode)"
    [[ $(task_field "$record" JobState) == "$state" ]] || fail "task $job.$task ended $(task_field "$record" JobState), not $state"
  done
}

render_whole_range() {
  "$taviron" render -q -i "$1" -o "$2" --range 1-24 "${@:3}"
}

echo "== starting a one-node Slurm cluster"
started=$SECONDS
slurm_cluster_start "$work/cluster"
echo "node idle after $(( SECONDS - started )) s"
sinfo
make_clip "$work/clip" 64x48

echo "== check 1: chunks of 5 frames give the files of one render, for every method"
declare -A jobs
for method in median average max min; do
  mkdir -p "$work/whole/$method" "$work/farm/$method"
  render_whole_range "$work/clip/plate.####.exr" "$work/whole/$method/out.####.exr" --frames 2 --method "$method"
  jobs[$method]=$(INPUT=$work/clip/plate.####.exr OUTPUT=$work/farm/$method/out.####.exr FRAME_START=1 FRAME_END=24 \
    CHUNK_SIZE=5 TAVIRON=$taviron submit 0-4 "$work/logs" --frames 2 --method "$method")
done
for method in median average max min; do
  slurm_wait_for_tasks "${jobs[$method]}" 5 "$task_seconds"
  echo "$method: job ${jobs[$method]}"
  expect_tasks "${jobs[$method]}" 5 COMPLETED
  for task in 0 1 2 3 4; do
    [[ -s $work/logs/taviron-render-${jobs[$method]}_$task.log ]] || fail "no log taviron-render-${jobs[$method]}_$task.log"
  done
  same=0
  for frame in $(seq 1 24); do
    if cmp -s "$(frame_file "$work/whole/$method" "$frame")" "$(frame_file "$work/farm/$method" "$frame")"; then
      same=$(( same + 1 ))
    else
      fail "$method frame $frame differs from the render of the whole range, or is missing"
    fi
  done
  echo "  $same of 24 frames bit-identical to one render of 1-24"
  [[ -z $(leftovers "$work/farm/$method") ]] || fail "temporary files left: $(leftovers "$work/farm/$method")"
done

echo "== check 2: a chunk with a corrupt input frame fails the job; resubmitted alone, it completes the sequence"
cp -r "$work/clip" "$work/broken"
good_frame=$(mktemp "$work/frame.XXXXXX")
cp "$work/broken/plate.0013.exr" "$good_frame"
head -c 300 "$good_frame" >"$work/broken/plate.0013.exr"  # frame 13 lies in task 2's chunk, 11-15
output=$work/resumed
job=$(INPUT=$work/broken/plate.####.exr OUTPUT=$output/out.####.exr FRAME_START=1 FRAME_END=24 CHUNK_SIZE=5 \
  TAVIRON=$taviron submit 0-4 "$work/logs" --frames 2 --method median)
slurm_wait_for_tasks "$job" 5 "$task_seconds"
echo "job $job:"
expect_tasks "$job" 2 COMPLETED
record=$(slurm_task_record "$job" 2)
echo "  task $job.2: $(task_field "$record" JobState) exit $(task_field "$record" ExitCode)"
[[ $(task_field "$record" JobState) == FAILED && $(task_field "$record" ExitCode) == 2:0 ]] ||
  fail "the chunk with the corrupt frame ended $(task_field "$record" JobState) with exit $(task_field "$record" ExitCode), not FAILED with 2"
message=$(grep '^taviron: .*plate\.0013\.exr' "$work/logs/taviron-render-${job}_2.log" | head -n 1 || true)
echo "  its log: $message"
[[ -n $message ]] || fail "no message of taviron names plate.0013.exr: $(cat "$work/logs/taviron-render-${job}_2.log")"
for task in 3 4; do
  record=$(slurm_task_record "$job" "$task")
  echo "  task $job.$task: $(task_field "$record" JobState) exit $(task_field "$record" ExitCode)"
  [[ $(task_field "$record" JobState) == COMPLETED ]] || fail "task $job.$task did not complete"
done
finished=()
for frame in $(seq 1 10) $(seq 16 24); do
  cmp -s "$(frame_file "$work/whole/median" "$frame")" "$(frame_file "$output" "$frame")" ||
    fail "frame $frame of the other chunks is not the frame of one render"
  finished+=("$(frame_file "$output" "$frame")")
done
echo "  the other chunks' ${#finished[@]} frames are complete"
stamps_before=$(stat -c '%n %i %Y.%y' "${finished[@]}")

cp "$good_frame" "$work/broken/plate.0013.exr"
job=$(INPUT=$work/broken/plate.####.exr OUTPUT=$output/out.####.exr FRAME_START=1 FRAME_END=24 CHUNK_SIZE=5 \
  TAVIRON=$taviron submit 2 "$work/logs" --frames 2 --method median)
slurm_wait_for_tasks "$job" 1 "$task_seconds"
record=$(slurm_task_record "$job" 2)
echo "resubmitted task 2 as job $job: $(task_field "$record" JobState) exit $(task_field "$record" ExitCode)"
[[ $(task_field "$record" JobState) == COMPLETED ]] || fail "the resubmitted task did not complete"
same=0
for frame in $(seq 1 24); do
  cmp -s "$(frame_file "$work/whole/median" "$frame")" "$(frame_file "$output" "$frame")" && same=$(( same + 1 ))
done
echo "  $same of 24 frames bit-identical to one render of 1-24"
(( same == 24 )) || fail "the resumed sequence differs from one render"
[[ $(stat -c '%n %i %Y.%y' "${finished[@]}") == "$stamps_before" ]] ||
  fail "frames outside the resubmitted chunk were rewritten"
echo "  the other chunks' frames kept their inode numbers and modification times"
[[ -z $(leftovers "$output") ]] || fail "temporary files left: $(leftovers "$output")"

echo "== check 3: two tasks write the same frames into one folder at the same time"
make_clip "$work/large" 256x256
for method in max min; do
  mkdir -p "$work/large-$method"
  render_whole_range "$work/large/plate.####.exr" "$work/large-$method/out.####.exr" --frames 2 --method "$method"
done
shared=$work/shared
mkdir -p "$shared"
# Held, then released together, so that one pass of the scheduler starts both.
first=$(INPUT=$work/large/plate.####.exr OUTPUT=$shared/out.####.exr FRAME_START=1 FRAME_END=24 CHUNK_SIZE=24 \
  TAVIRON=$taviron submit 0 "$work/logs" --hold --frames 2 --method max)
second=$(INPUT=$work/large/plate.####.exr OUTPUT=$shared/out.####.exr FRAME_START=1 FRAME_END=24 CHUNK_SIZE=24 \
  TAVIRON=$taviron submit 0 "$work/logs" --hold --frames 2 --method min)
scontrol release "$first,$second"
# Whole files only, at every moment: each frame is all of one task's or all
# of the other's. One pass reads each file once (the other task may rename its
# own over it between two reads) and compares digests.
(cd "$work/large-max" && md5sum out.*.exr) >"$work/whole-frames.md5"
(cd "$work/large-min" && md5sum out.*.exr) >>"$work/whole-frames.md5"
whole_or_missing() {
  (cd "$shared" && md5sum out.*.exr 2>/dev/null || true) | awk '
    FILENAME == ARGV[1] { whole[$2 " " $1] = 1; next }
    !(($2 " " $1) in whole) { print "  " $2 " is neither the max nor the min render"; bad = 1 }
    END { exit bad }' "$work/whole-frames.md5" -
}
looks=0
deadline=$(( SECONDS + task_seconds ))
while (( $(slurm_tasks_recorded "$first") + $(slurm_tasks_recorded "$second") < 2 && SECONDS < deadline )); do
  whole_or_missing || fail "a partial or mixed file was seen while the tasks ran"
  looks=$(( looks + 1 ))
done
slurm_wait_for_tasks "$first" 1 "$task_seconds"
slurm_wait_for_tasks "$second" 1 "$task_seconds"
first_record=$(slurm_task_record "$first" 0)
second_record=$(slurm_task_record "$second" 0)
echo "max job $first: $(task_field "$first_record" JobState) $(task_field "$first_record" StartTime) to $(task_field "$first_record" EndTime)"
echo "min job $second: $(task_field "$second_record" JobState) $(task_field "$second_record" StartTime) to $(task_field "$second_record" EndTime)"
[[ ! $(task_field "$first_record" EndTime) < $(task_field "$second_record" StartTime) &&
   ! $(task_field "$second_record" EndTime) < $(task_field "$first_record" StartTime) ]] ||
  fail "the two tasks did not run at the same time"
whole_or_missing || fail "a partial or mixed file is left"
present=$(find "$shared" -name 'out.*.exr' | wc -l)
from_max=0
for frame in $(seq 1 24); do
  ! cmp -s "$(frame_file "$shared" "$frame")" "$(frame_file "$work/large-max" "$frame")" || from_max=$(( from_max + 1 ))
done
echo "  looked at the folder $looks times while they ran; $present of 24 frames present, each whole" \
  "($from_max from the max task, $(( present - from_max )) from the min task)"
(( present == 24 )) || fail "frames are missing"
[[ -z $(leftovers "$shared") ]] || fail "temporary files left: $(leftovers "$shared")"

echo "== test-slurm: $(( SECONDS - started )) s"
exit "$failed"
