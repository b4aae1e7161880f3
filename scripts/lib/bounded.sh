# shellcheck shell=bash
# Sourced by the test scripts: bounded SECONDS COMMAND... runs a command with a hard time limit, so
# that a hang anywhere (Wine, a server, a dialog nobody answers) ends as a failure that says what
# hung, never as a run that waits until CI gives up on it.
#
# The command runs in a process group of its own. Past the limit, the processes still running are
# printed to stderr (the stuck one among them), then the group and every process below the command
# (in groups of their own too: a bounded step inside this one, a server started with setsid) get
# TERM, and KILL ten seconds later. The command reads nothing (stdin is /dev/null). Returns the
# command's status, or 124 when the limit ended it.

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
  # Job control gives the command a process group of its own, whether it is a program or a
  # function of the caller's.
  local monitor=${-//[^m]/}
  set -m
  "$@" </dev/null &
  local pid=$!
  [ -n "$monitor" ] || set +m
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
    local below
    below=$(_bounded_below "$pid")
    # shellcheck disable=SC2086 # one pid a word
    kill -TERM -- "-$pid" $below 2>/dev/null
    local left one
    for _ in 1 2 3 4 5 6 7 8 9 10; do
      left=0
      for one in "-$pid" $below; do kill -0 -- "$one" 2>/dev/null && left=1; done
      [ "$left" = 1 ] || exit 0
      sleep 1
    done
    # shellcheck disable=SC2086
    kill -KILL -- "-$pid" $below 2>/dev/null
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
