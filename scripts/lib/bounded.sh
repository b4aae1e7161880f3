# shellcheck shell=bash
# Sourced by the test scripts: bounded SECONDS COMMAND... runs a command with a hard time limit, so
# that a hang anywhere (Wine, a server, a dialog nobody answers) ends as a failure that says what
# hung, never as a run that waits until CI gives up on it.
#
# Past the limit, the processes still running are printed to stderr (the stuck one among them),
# then the command and every process below it get TERM, and KILL ten seconds later. The command
# stays in the caller's process group, so that a Ctrl-C of the run still reaches it. It reads
# nothing (stdin is /dev/null). Returns the command's status, or 124 when the limit ended it.

# _bounded_below PID: the processes below PID, at any depth.
_bounded_below() {
  local child
  for child in $(ps -o pid= --ppid "$1" 2>/dev/null); do
    echo "$child"
    _bounded_below "$child"
  done
}

bounded() {
  local limit=$1
  shift
  local mark
  mark=$(mktemp) || return 2
  "$@" </dev/null &
  local pid=$!
  # The watchdog's own sleep ends with it, so that no sleep outlives a step holding its output.
  (
    trap '[ -z "${nap:-}" ] || kill "$nap" 2>/dev/null; exit 0' TERM
    sleep "$limit" &
    nap=$!
    wait "$nap"
    nap=""
    kill -0 "$pid" 2>/dev/null || exit 0
    echo ended >"$mark"
    {
      echo "TIMED OUT after ${limit}s: $*"
      echo "processes at that moment:"
      ps -eo pid,ppid,pgid,etimes,stat,args --forest | grep -v ' ps -eo ' | cut -c1-200 | head -n 80
    } >&2
    # Taken before anything ends: what a dying process leaves behind goes to init, out of reach.
    # (Servers and wineservers that detached themselves are their starters' to stop, which the
    # TERM lets them do.)
    local doomed
    doomed="$pid $(_bounded_below "$pid")"
    # shellcheck disable=SC2086 # one pid a word
    kill -TERM $doomed 2>/dev/null
    local left one
    for _ in 1 2 3 4 5 6 7 8 9 10; do
      left=0
      for one in $doomed; do kill -0 "$one" 2>/dev/null && left=1; done
      [ "$left" = 1 ] || exit 0
      sleep 1
    done
    # shellcheck disable=SC2086
    kill -KILL $doomed 2>/dev/null
  ) &
  local dog=$!
  wait "$pid"
  local rc=$?
  if [ -s "$mark" ]; then
    wait "$dog"
    rc=124
  else
    kill -TERM "$dog" 2>/dev/null
    wait "$dog" 2>/dev/null
  fi
  rm -f "$mark"
  return "$rc"
}

# bounded_end_all_on_interrupt: for a script that runs commands bounded. A command run in the
# background, as bounded runs it, ignores Ctrl-C; with this, a Ctrl-C or TERM of the script ends
# every process below it, then the script (its EXIT trap, if any, still runs).
bounded_end_all_on_interrupt() {
  trap '_bounded_end_all' INT TERM
}
_bounded_end_all() {
  trap '' INT TERM  # the script's own cleanup must not be cut short by a second one
  local self=$BASHPID  # taken here: inside $(...) it would name that subshell
  # shellcheck disable=SC2046 # one pid a word
  kill -TERM $(_bounded_below "$self") 2>/dev/null
  exit 130
}
