# shellcheck shell=bash
# Sourced by the integration tests: running the tovalo-ftp command line against a server started
# with scripts/lib/ftp-server.sh, checks that count and explain their failures, and the summary.

IT_REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$IT_REPO/scripts/lib/ftp-server.sh"
source "$IT_REPO/scripts/lib/tally.sh"

it_skipped=0
IT_OUT=""
IT_ERR=""
IT_RC=""
IT_CMD=""
# Command that runs the client; a test sets it (the native binary, or wine + the .exe).
IT_CLIENT=()
# Options put before every command line: the server's account and the data connection mode.
IT_CONNECT=()

# A private work folder, reachable by the vsftpd session account (mktemp makes it 0700).
it_make_work() {
  IT_WORK=$(mktemp -d "${TMPDIR:-/tmp}/tovalo-it.XXXXXX") || exit 1
  chmod 755 "$IT_WORK"
  IT_OUT=$IT_WORK/out
  IT_ERR=$IT_WORK/err
}

it_cleanup() {
  trap '' INT TERM  # a second TERM must not cut it short
  ftp_server_stop
  [ -z "${IT_WORK:-}" ] || rm -rf "$IT_WORK"
}

# Starts KIND serving ROOT; a server that cannot run on this machine skips the whole test (77).
it_start_server() { # kind root
  local rc=0
  # The server runs in a zone far from UTC: listings and MDTM must still show UTC.
  TZ=Asia/Seoul ftp_server_start "$1" "$2" || rc=$?
  if [ $rc -eq 77 ]; then
    echo "SKIP: $1 cannot run here"
    exit 77
  fi
  [ $rc -eq 0 ] || { echo "FAIL: cannot start $1"; exit 1; }
  IT_CONNECT=(-H "$FTP_HOST" -P "$FTP_PORT" -u "$FTP_USER" -p "$FTP_PASS" --timeout 10)
}

# Runs the client with the account options and the given arguments, showing the exchange on
# stderr so that a failure explains itself; never hangs the test.
it_ftp() {
  it_run -v "${IT_CONNECT[@]}" "$@"
}

# Runs the client with exactly the given arguments.
it_run() {
  IT_CMD="tovalo-ftp $*"
  timeout 120 "${IT_CLIENT[@]}" "$@" >"$IT_OUT" 2>"$IT_ERR" </dev/null
  IT_RC=$?
}

# Runs the client with exactly the given arguments and the file as standard input.
it_run_input() { # file args...
  local input=$1
  shift
  IT_CMD="tovalo-ftp $* < $(basename "$input")"
  timeout 120 "${IT_CLIENT[@]}" "$@" >"$IT_OUT" 2>"$IT_ERR" <"$input"
  IT_RC=$?
}

# Runs the client under Wine: inside scripts/with-wine the environment is there, otherwise one is
# made for this run and stopped at its end. CLEANUP runs at exit either way.
it_use_wine() { # exe [cleanup]
  local cleanup=${2:-it_cleanup} there=${WINEPREFIX:+${DISPLAY:+1}}
  source "$IT_REPO/scripts/lib/wine-env.sh"
  if [ -z "$there" ]; then
    wine_env_start
    trap "$cleanup; wine_env_stop" EXIT
  else
    trap "$cleanup" EXIT
  fi
  IT_CLIENT=(wine "$1")
}

it_pass() { tally "" 0; }

it_fail() { # name detail...
  tally "$1" 1
  echo "FAIL: $1: ${*:2}"
  echo "  command: $IT_CMD"
  echo "  exit status: $IT_RC"
  if [ -s "$IT_OUT" ]; then echo "  stdout:"; tail -n 15 "$IT_OUT" | sed 's/^/    /'; fi
  if [ -s "$IT_ERR" ]; then echo "  stderr:"; tail -n 25 "$IT_ERR" | sed 's/^/    /'; fi
}

it_skip() { # name reason
  it_skipped=$((it_skipped + 1))
  echo "SKIP: $1: $2"
}

it_expect_rc() { # name wanted
  if [ "$IT_RC" = "$2" ]; then it_pass; else it_fail "$1" "exit status $IT_RC, wanted $2"; fi
}

# The command succeeded and its result matches: the two files are byte-identical.
it_expect_same() { # name expected-file actual-file
  if [ "$IT_RC" != 0 ]; then
    it_fail "$1" "exit status $IT_RC, wanted 0"
  elif [ ! -f "$3" ]; then
    it_fail "$1" "$3 does not exist"
  elif ! cmp -s "$2" "$3"; then
    it_fail "$1" "$3 differs from $2 ($(stat -c %s "$3") bytes, wanted $(stat -c %s "$2")): $(cmp "$2" "$3" 2>&1 | head -n 1)"
  else
    it_pass
  fi
}

# A line of the file matches the extended regular expression.
it_expect_line() { # name file regex
  if grep -Eq -- "$3" "$2"; then it_pass; else it_fail "$1" "no line of $(basename "$2") matches /$3/"; fi
}

# it_expect_no_account NAME MARK: no session that began in MARK (the server's log since a point)
# received the account: vsftpd logs the USER command; pyftpdlib names a session's lines with its
# user once USER came. Only sessions that opened in MARK count: on a busy machine the previous
# session's last lines (its close) may be logged after the next one has begun.
it_expect_no_account() { # name mark
  local found
  found=$(awk -v user="$FTP_USER" '
    $0 ~ ("\"USER " user "\"") { print; exit }
    / FTP session opened/ { split($3, a, "-"); opened[a[1]] = 1; next }
    index($0, "-[" user "]") { split($3, a, "-"); if (a[1] in opened) { print; exit } }
  ' "$2")
  if [ -n "$found" ]; then it_fail "$1" "the account reached the server: $found"; else it_pass; fi
}

it_expect_no_line() { # name file regex
  if grep -Eq -- "$3" "$2"; then it_fail "$1" "a line of $(basename "$2") matches /$3/"; else it_pass; fi
}

it_expect_true() { # name detail command...
  local name=$1 detail=$2
  shift 2
  if "$@"; then it_pass; else it_fail "$name" "$detail"; fi
}

# Bytes that a text-mode transfer or a careless line reader would change: every byte value, lone
# and paired CR and LF, then random data of the given size.
it_make_binary() { # path random-bytes
  {
    for _ in 1 2 3; do
      printf "$(printf '\\%03o' $(seq 0 255))"
    done
    printf '\r\n\n\r\r\r\n\n'
    head -c "$2" /dev/urandom
  } >"$1"
}

# Epoch seconds as the 14 digits MDTM shows (UTC).
it_mdtm_text() { date -u -d "@$1" +%Y%m%d%H%M%S; }

it_summary() {
  echo
  tally_summary "$(basename "$0" .sh)" "($it_skipped skipped)"
}
