#!/usr/bin/env bash
# The hard time limit of the test scripts (scripts/lib/bounded.sh) against commands that leave
# processes behind: in the command's process group, in sessions of their own, ignoring TERM. Each
# row: bounded's options, the command, the status it must return and the seconds it may take
# (from, below); afterwards no process the command started may run. Then a TERM of the shell that
# waits for a command.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/lib/bounded.sh"
source "$root/scripts/lib/tally.sh"
export BOUNDED_GRACE=3 mark=tovalo-time-limit-$$
limit=1 grace=$BOUNDED_GRACE

# stray [session]: a process left behind, found by the mark as its name; with "session" in a
# session (and so a process group) of its own.
stray() {
  local own=()
  [ "${1:-}" != session ] || own=(setsid)
  # shellcheck disable=SC2016 # expanded by that shell
  "${own[@]}" bash -c 'exec -a "$mark" sleep 300' &
}
export -f stray
# shellcheck disable=SC2016 # expanded by the command's shell
stuck='exec -a "$mark" sleep 300'

none_left() { ! pgrep -f "^$mark" >/dev/null; }

# check NAME STATUS FROM BELOW COMMAND...: runs the command and judges how it ended.
check() {
  local name=$1 want=$2 from=$3 below=$4 start=${EPOCHREALTIME/./} rc ms left problem=""
  shift 4
  "$@" 2>/dev/null # the TIMED OUT report
  rc=$?
  ms=$(((${EPOCHREALTIME/./} - start) / 1000))
  # A PID namespace's processes are killed by the kernel once its first process is gone, which
  # takes a moment after the killed unshare returns: what still runs after it did not end.
  wait_until 2 none_left
  mapfile -t left < <(pgrep -f "^$mark")
  [ "$rc" = "$want" ] || problem="status $rc, not $want; "
  ((ms >= from * 1000 && ms < below * 1000)) || problem+="took $ms ms, not $from to $below s; "
  if [ ${#left[@]} -gt 0 ]; then
    problem+="left running: ${left[*]}"
    kill -KILL "${left[@]}" 2>/dev/null
  fi
  [ -z "$problem" ]
  if tally "$name" $?; then
    echo "PASS $name ($ms ms)"
  else
    echo "FAIL $name: $problem"
  fi
}

namespaces=0
unshare --pid --fork --kill-child --mount-proc true 2>/dev/null && namespaces=1
while IFS='|' read -r name options command status from below; do
  if [ -n "$options" ] && [ $namespaces = 0 ]; then
    echo "SKIP $name: no PID namespace here (not root, or unshare is refused)"
    continue
  fi
  # shellcheck disable=SC2086 # no option or one
  check "$name" "$status" "$from" "$below" bounded $options $limit bash -c "$command"
done <<ROWS
ends by itself||true|0|0|$limit
its status comes back||exit 3|3|0|$limit
stuck, children in its group: TERM ends them||stray; stray; $stuck|124|$limit|$((limit + grace))
stuck and deaf to TERM, as its child: KILL after the grace||trap '' TERM; stray; $stuck|124|$((limit + grace))|$((limit + grace + 3))
stuck, children in sessions of their own|--own-pids|stray session; stray session; $stuck|124|$limit|$((limit + grace))
ended, children left in sessions of their own|--own-pids|stray session; stray; exit 0|0|0|$limit
stuck and deaf to TERM, as its child in a session of its own|--own-pids|trap '' TERM; stray session; $stuck|124|$((limit + grace))|$((limit + grace + 3))
ROWS

# A TERM (or Ctrl-C) of the shell that waits ends the command's group, then that shell.
interrupted() {
  bash -c 'source "$1"; bounded 300 bash -c "stray; $2"' _ "$root/scripts/lib/bounded.sh" "$stuck" &
  local waiting=$!
  sleep 1
  kill -TERM "$waiting"
  wait "$waiting"
}
check "a TERM of the waiting shell ends the command's group" 130 1 $((1 + grace)) interrupted

tally_summary "time limits"
