# shellcheck shell=bash
# Sourced by the scripts: the one way they wait for something another process does, always with a
# bound. It looks every 50 ms for the first two seconds (a server starts within them), then every
# quarter second (a long wait costs next to nothing).
#   wait_until SECONDS COMMAND...      true once COMMAND succeeds; false when SECONDS pass first
#   wait_for_file FILE SECONDS [PID...]  true once FILE is not empty (a port or ready file, written
#                                      by a PID); false when SECONDS pass first, or when PIDs are
#                                      given and none of them runs any more
#   alive PID...                       true while one of the processes runs (a zombie, ended but
#                                      not yet waited for, does not count)

wait_until() {
  local seconds=$1 tries=0 start=${EPOCHREALTIME/./}
  shift
  until "$@"; do
    ((${EPOCHREALTIME/./} - start < seconds * 1000000)) || return 1
    if ((tries++ < 40)); then sleep 0.05; else sleep 0.25; fi
  done
}

wait_for_file() {
  local file=$1 seconds=$2
  shift 2
  wait_until "$seconds" _wait_file_or_gone "$file" "$@"
  [ -s "$file" ]
}
_wait_file_or_gone() { [ -s "$1" ] || { [ $# -gt 1 ] && ! alive "${@:2}"; }; }

alive() {
  local pid stat
  for pid; do
    read -r stat 2>/dev/null <"/proc/$pid/stat" || continue
    stat=${stat##*) }
    [ "${stat%% *}" = Z ] || return 0
  done
  return 1
}
