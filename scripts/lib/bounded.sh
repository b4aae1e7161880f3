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

# _bounded_end PID...: TERM to each, then KILL to those still there ten seconds on.
_bounded_end() {
  kill -TERM "$@" 2>/dev/null
  local left one
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    left=0
    for one in "$@"; do kill -0 "$one" 2>/dev/null && left=1; done
    [ "$left" = 1 ] || return 0
    sleep 1
  done
  kill -KILL "$@" 2>/dev/null
}

bounded() {
  local limit=$1
  shift
  "$@" </dev/null &
  local pid=$!
  # The watchdog: exits 124 when it ended the command, 0 otherwise. Its own sleep ends with it, so
  # that no sleep outlives a step holding its output.
  (
    trap '[ -z "${nap:-}" ] || kill "$nap" 2>/dev/null; exit 0' TERM
    sleep "$limit" &
    nap=$!
    wait "$nap"
    kill -0 "$pid" 2>/dev/null || exit 0
    trap '' TERM  # from here on it finishes what it began
    {
      echo "TIMED OUT after ${limit}s: $*"
      echo "processes at that moment:"
      ps -eo pid,ppid,pgid,etimes,stat,args --forest | grep -v ' ps -eo ' | cut -c1-200 | head -n 80
    } >&2
    # Taken before anything ends: what a dying process leaves behind goes to init, out of reach.
    # (Servers and wineservers that detached themselves are their starters' to stop, which the
    # TERM lets them do.)
    # shellcheck disable=SC2046 # one pid a word
    _bounded_end "$pid" $(_bounded_below "$pid")
    exit 124
  ) &
  local dog=$!
  wait "$pid"
  local rc=$?
  kill -TERM "$dog" 2>/dev/null
  wait "$dog"
  [ $? -ne 124 ] || rc=124
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
  _bounded_end $(_bounded_below "$self")
  exit 130
}
