# shellcheck shell=bash
# Sourced by the test drivers: the one count of what passed and what failed.
#   tally NAME STATUS   NAME passed when STATUS is 0, else failed (its name kept in tally_failed);
#                       returns STATUS
#   tally_summary WHAT [MORE]  prints "WHAT: N passed, M failed[ MORE]"; true when nothing failed
tally_passed=0
tally_failed=()

tally() {
  if [ "$2" -eq 0 ]; then tally_passed=$((tally_passed + 1)); else tally_failed+=("$1"); fi
  return "$2"
}

tally_summary() {
  echo "$1: $tally_passed passed, ${#tally_failed[@]} failed${2:+ $2}"
  [ ${#tally_failed[@]} -eq 0 ]
}
