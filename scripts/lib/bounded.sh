# shellcheck shell=bash
# Sourced by the test scripts: bounded [--own-pids] SECONDS COMMAND... runs a command with a hard
# time limit, so that a hang anywhere (Wine, a server, a dialog nobody answers) ends as a failure
# that says what hung, never as a run that waits until CI gives up on it.
#
# The command (a program: a shell function cannot be given a group of its own) runs in a session,
# and so a process group, of its own and reads nothing (stdin is /dev/null). Past the limit the
# processes still running are printed to stderr (the stuck one among them), then the group gets
# TERM, and KILL BOUNDED_GRACE (default 10) seconds on; bounded returns 124 then, else the
# command's status. A TERM or Ctrl-C of the calling shell while it waits ends the group the same
# way, then that shell (its EXIT trap still runs).
# A process that moves to a group of its own (a server started with setsid, vsftpd's sessions,
# wineserver) is its starter's to stop on TERM. With --own-pids, where the kernel allows it (as
# root), the command also runs in a PID namespace of its own, and every process it started, in any
# group, ends with it: at the limit, and when it ends by itself. Not for a command that runs
# Windows programs under a wineserver outside it: Wine's server reaches its clients by process id,
# and the ids differ across namespaces.
source "$(dirname "${BASH_SOURCE[0]}")/wait.sh"

bounded() {
  local own=(setsid)
  if [ "$1" = --own-pids ]; then
    shift
    # The namespace's first process is a shell that waits for the command: the first process
    # ignores a TERM it has no handler for, and the command so gets it as anywhere else.
    ! unshare --pid --fork --kill-child --mount-proc true 2>/dev/null ||
      own+=(unshare --pid --fork --kill-child --mount-proc bash -c '"$@" & wait $!' bounded)
  fi
  local limit=$1 traps pid dog rc
  shift
  traps=$(trap -p INT TERM)
  "${own[@]}" "$@" </dev/null &
  pid=$!
  # The watchdog, one process (it waits in a read that times out, not in a sleep that could outlive
  # it and hold a step's output): exits 124 when it ended the command.
  (
    read -rt "$limit" <> <(:)
    kill -0 "$pid" 2>/dev/null || exit 0
    trap '' TERM # from here on it finishes what it began
    {
      echo "TIMED OUT after ${limit}s: $*"
      echo "processes at that moment:"
      # shellcheck disable=SC2009 # the tree, which pgrep does not show
      ps -eo pid,ppid,pgid,etimes,stat,args --forest | grep -v ' ps -eo ' | cut -c1-200 | head -n 80
    } >&2
    _bounded_end "$pid"
    exit 124
  ) &
  dog=$!
  # shellcheck disable=SC2064 # the processes of this call
  trap "_bounded_end $pid; kill $dog 2>/dev/null; exit 130" INT TERM
  wait "$pid"
  rc=$?
  kill "$dog" 2>/dev/null
  wait "$dog"
  [ $? -ne 124 ] || rc=124
  trap - INT TERM
  eval "$traps"
  return "$rc"
}

# _bounded_end GROUP: TERM to the process group, KILL to what is left of it BOUNDED_GRACE seconds on
# (a zombie, ended and waiting for its parent or for init, does not count).
_bounded_end() {
  trap '' INT TERM # what it began, it finishes
  kill -TERM -- "-$1" 2>/dev/null
  wait_until "${BOUNDED_GRACE:-10}" _bounded_gone "$1" || kill -KILL -- "-$1" 2>/dev/null
}
# shellcheck disable=SC2009 # by state, which pgrep does not tell
_bounded_gone() { ! ps -eo pgid=,stat= | grep -qE "^ *$1 +[^Z]"; }
