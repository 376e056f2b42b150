# Sourced by scripts/test.sh: the run's phases and their wall times.
#
# The builds follow one another in the foreground. A build tree's tests
# spend most of their time waiting for programs, Wine and timeouts, so
# they run in the background beside the next builds: each such job writes
# its output to a log of its own, which is shown whole, under its name, as
# soon as the job is seen to have ended, so that the output of jobs never
# mixes. Every phase, in the foreground or in a job, records its start and
# end, and the table at the end shows when each began and how long it took.

phases_dir=build/phases
rm -rf "$phases_dir"
mkdir -p "$phases_dir"
phases_began=$(date +%s)

# Records the phase NAME, begun at BEGAN (seconds since 1970), as ended now.
phase_record() { # NAME BEGAN
  printf '%s\t%s\t%s\n' "$(($2 - phases_began))" "$(($(date +%s) - $2))" "$1" \
    >>"$phases_dir/times"
}

# Runs COMMAND as the phase NAME and records its start and end.
timed() { # NAME COMMAND...
  local name=$1 began result=0
  shift
  began=$(date +%s)
  "$@" || result=$?
  phase_record "$name" "$began"
  return $result
}

# The foreground phase: a heading now, its time when the next one begins.
foreground_name=""
foreground_began=0
phase() { # NAME
  phase_end
  foreground_name=$1
  foreground_began=$(date +%s)
  echo "=== $1"
}
phase_end() {
  [[ -n $foreground_name ]] || return 0
  phase_record "$foreground_name" "$foreground_began"
  foreground_name=""
}

# The background jobs, in the order they were started.
job_names=()
job_pids=()
job_shown=()
jobs_failed=0

# Starts FUNCTION with its ARGUMENTS as the background job NAME.
background() { # NAME FUNCTION [ARGUMENT...]
  local name=$1 log
  shift
  log="$phases_dir/job-${#job_names[@]}.log"
  echo "=== $name: started in the background"
  (
    result=0
    "$@" || result=$?
    # Written whole before it appears, as other jobs wait for it.
    echo "$result" >"$log.status.new" && mv "$log.status.new" "$log.status"
    exit "$result"
  ) >"$log" 2>&1 </dev/null &
  job_names+=("$name")
  job_pids+=($!)
  job_shown+=("")
}

# Shows the output of every job that has ended and not yet been shown;
# with "wait", waits for each job first.
jobs_report() { # [wait]
  local i log result
  for i in "${!job_names[@]}"; do
    [[ -z ${job_shown[$i]} ]] || continue
    log="$phases_dir/job-$i.log"
    [[ ${1:-} == wait || -f $log.status ]] || continue
    wait "${job_pids[$i]}" 2>/dev/null || true
    result=$(cat "$log.status" 2>/dev/null || echo 1)
    echo "=== ${job_names[$i]}: ended in the background$([[ $result == 0 ]] || echo ", FAILED")"
    cat "$log"
    [[ $result == 0 ]] || jobs_failed=1
    job_shown[$i]=yes
  done
}

# Ends every job still running, with the programs each started: the whole
# tree is gathered first, since a child whose parent has ended belongs to
# init and can no longer be found from the job.
jobs_kill() {
  local pid tree=()
  for pid in "${job_pids[@]}"; do
    process_tree "$pid" tree
  done
  [[ ${#tree[@]} -eq 0 ]] || kill "${tree[@]}" 2>/dev/null || true
}
process_tree() { # PID ARRAY_NAME
  local -n into=$2
  local child
  kill -0 "$1" 2>/dev/null || return 0
  into+=("$1")
  for child in $(pgrep -P "$1" 2>/dev/null); do
    process_tree "$child" "$2"
  done
}

# The table of phases by their start, then the whole run's wall time.
show_times() {
  phase_end
  echo "=== times (s), load average $(cut -d' ' -f1-3 /proc/loadavg)"
  printf '%6s %6s  %s\n' start took phase
  sort -n -k1,1 "$phases_dir/times" | while IFS=$'\t' read -r start took name; do
    printf '%6d %6d  %s\n' "$start" "$took" "$name"
  done
  printf '%6s %6d  total\n' "" "$(($(date +%s) - phases_began))"
}

# Waits, from within another job, until the job NAME has ended; its exit
# status. Jobs are children of the run, not of each other, so this looks
# for the status the job leaves.
job_await() { # NAME
  local i
  for i in "${!job_names[@]}"; do
    [[ ${job_names[$i]} == "$1" ]] || continue
    while [[ ! -f $phases_dir/job-$i.log.status ]]; do
      sleep 1
    done
    return "$(cat "$phases_dir/job-$i.log.status")"
  done
  echo "no job named $1" >&2
  return 1
}
