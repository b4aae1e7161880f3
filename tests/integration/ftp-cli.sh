#!/usr/bin/env bash
# The tovalo-ftp command line against a real FTP server on loopback: logon, listings with sizes and
# times, byte-exact transfers, resume both ways, file and folder commands, refusals and exit codes.
# Usage: ftp-cli.sh TOVALO_FTP pyftpdlib|vsftpd active|passive
set -uo pipefail
source "$(dirname "$0")/lib.sh"

[ $# -eq 3 ] || { echo "usage: $0 TOVALO_FTP pyftpdlib|vsftpd active|passive" >&2; exit 2; }
IT_CLIENT=("$1")
kind=$2
mode=$3
[ -x "$1" ] || { echo "FAIL: $1 is not an executable"; exit 1; }

it_make_work
trap it_cleanup EXIT
root=$IT_WORK/root
local_dir=$IT_WORK/local
mkdir -p "$root" "$local_dir"

# --- the server's files, with sizes and times the listing must show --------------------------
now=$(date +%s)
recent=$(( (now - 3 * 86400) / 60 * 60 ))        # listed with a clock time, to the minute
old=$(date -u -d '2019-03-04 12:34:56' +%s)      # listed with a year: the date only
old_day=$(date -u -d '2019-03-04' +%s)
korean='한글 이름.txt'
mkdir -p "$root/list/sub" "$root/resume" "$root/ops" "$root/uniq" "$root/odd"
# Names a server lists as they are: a TAB, an escape sequence, a backslash.
odd_name=$'tab\there\e[31mred\\back'
odd_escaped='tab\there\033[31mred\\back'
printf 'odd' >"$root/odd/$odd_name"
head -c 1234 /dev/urandom >"$root/list/recent.txt"
head -c 77 /dev/urandom >"$root/list/old.bin"
printf 'hello' >"$root/list/$korean"
truncate -s 5G "$root/list/big.img"              # sparse: checks 64-bit sizes, costs no disk
touch -d "@$recent" "$root/list/recent.txt" "$root/list/big.img" "$root/list/$korean" "$root/list/sub"
touch -d "@$old" "$root/list/old.bin"
many_files=2500
mkdir -p "$root/many"
(cd "$root/many" && seq -f "entry-%g-$(printf 'x%.0s' $(seq 90))" $many_files | xargs touch)

it_start_server "$kind" "$root"
[ "$mode" = passive ] && IT_CONNECT+=(--passive)
echo "== $kind ($mode) on port $FTP_PORT"

# Entries that ls must show for the folder list, and the check of an ls output against them.
# name | try-cwd | try-retrieve | size | time type | time (the size of a folder is not checked)
list_rows=(
  "recent.txt|0|1|1234|2|$recent"
  "old.bin|0|1|77|3|$old_day"
  "big.img|0|1|5368709120|2|$recent"
  "$korean|0|1|5|2|$recent"
  "sub|1|0|-|2|$recent"
)
check_listing() { # label
  local row name cwd retr size ttype time line
  [ "$IT_RC" = 0 ] || return 0 # counted already; the rows would only repeat it
  for row in "${list_rows[@]}"; do
    IFS='|' read -r name cwd retr size ttype time <<<"$row"
    line=$(awk -F'\t' -v n="$name" '$1 == "OK" && $2 == n' "$IT_OUT")
    if [ -z "$line" ]; then
      it_fail "$1: $name" "no OK entry named '$name'"
      continue
    fi
    local f
    IFS=$'\t' read -r -a f <<<"$line"
    local got="${f[2]}|${f[3]}|${f[5]}|${f[6]}|${f[7]}"
    local want="$cwd|$retr|$size|$ttype|$time"
    [ "$size" != - ] || got="${f[2]}|${f[3]}|-|${f[6]}|${f[7]}"
    if [ "$got" = "$want" ]; then
      it_pass
    else
      it_fail "$1: $name" "cwd|retrieve|size|time type|time = $got, wanted $want ($(date -u -d "@${f[7]:-0}" '+%F %T') vs $(date -u -d "@$time" '+%F %T'))"
    fi
  done
  if awk -F'\t' '$1 == "FAIL"' "$IT_OUT" | grep -q .; then
    it_fail "$1: no refused lines" "$(awk -F'\t' '$1 == "FAIL"' "$IT_OUT" | head -n 3)"
  else
    it_pass
  fi
}

# A file at the other end that is longer than ours is no partial copy of it: appending or
# restarting from its length would report success and leave the wrong bytes. Either a refusal or
# a full transfer is sound.
expect_replaced_or_refused() { # name wanted actual
  if [ "$IT_RC" = 1 ] || { [ "$IT_RC" = 0 ] && cmp -s "$2" "$3"; }; then
    it_pass
  else
    it_fail "$1" "exit status $IT_RC and $(basename "$3") is not a copy of $(basename "$2")"
  fi
}

# Logon and exit codes.
section_logon() {
  local row free_port
  it_run "${IT_CONNECT[@]}" noop
  it_expect_rc "logon and NOOP" 0
  it_expect_no_line "no exchange on stderr without -v" "$IT_ERR" '^[<>] '

  it_ftp syst , noop
  it_expect_rc "syst, noop" 0
  it_expect_line "-v shows the user" "$IT_ERR" "^> USER $FTP_USER\$"
  it_expect_line "-v masks the password" "$IT_ERR" '^> PASS \*\*\*\*$'
  it_expect_no_line "-v never shows the password" "$IT_ERR" "$FTP_PASS"
  it_expect_line "-v shows replies" "$IT_ERR" '^< 2[0-9][0-9]'

  it_run -H "$FTP_HOST" -P "$FTP_PORT" -u "$FTP_USER" -p wrong-password --timeout 10 noop
  it_expect_rc "wrong password" 3

  free_port=$(_ftp_server_free_port)
  it_run -H 127.0.0.1 -P "$free_port" -u "$FTP_USER" -p "$FTP_PASS" --timeout 10 noop
  it_expect_rc "nothing listening" 3

  # A peer that accepts and never greets: the client gives up after its time-out, with exit 3.
  if [ "$kind" = pyftpdlib ]; then
    "$FTP_SERVER_PYTHON" -c 'import os, socket, sys, time
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen(1)
with open(sys.argv[1] + ".tmp", "w") as f:
    f.write(str(s.getsockname()[1]))
os.replace(sys.argv[1] + ".tmp", sys.argv[1])
s.settimeout(60)
conn = s.accept()
time.sleep(60)' "$IT_WORK/silent.port" &
    local silent_pid=$! started
    wait_for_file "$IT_WORK/silent.port" 10 "$silent_pid"
    started=$SECONDS
    it_run -H 127.0.0.1 -P "$(cat "$IT_WORK/silent.port")" -u "$FTP_USER" -p "$FTP_PASS" --timeout 2 noop
    it_expect_rc "silent server" 3
    it_expect_true "silent server: gives up after its time-out" "took $((SECONDS - started)) s" \
      test $((SECONDS - started)) -lt 30
    kill $silent_pid 2>/dev/null
    wait $silent_pid 2>/dev/null
  fi

  # Usage errors need no server. Rows of this and the later tables are shell words.
  usage_rows=(
    ""
    "frobnicate"
    "get only-one-argument"
    "put a"
    "mv a"
    "type X"
  )
  for row in "${usage_rows[@]}"; do
    eval "it_ftp $row"
    it_expect_rc "usage: '$row'" 2
  done
}

# Listing.
section_listing() {
  it_ftp ls list
  it_expect_rc "ls list" 0
  check_listing "ls list"

  it_ftp cd list , ls
  it_expect_rc "cd list, ls" 0
  check_listing "ls after cd"

  # A listing far longer than one receive: no line may be lost or split at a block boundary.
  local count
  it_ftp ls many
  it_expect_rc "ls of $many_files entries" 0
  count=$(awk -F'\t' '$1 == "OK" && $2 ~ /^entry-[0-9]+-x+$/ { print $2 }' "$IT_OUT" | sort -u | wc -l)
  it_expect_true "ls of $many_files entries: all there" "$count distinct entries" test "$count" = $many_files

  # A listed name cannot add a column or reach the terminal raw: ls, list and nlst escape it.
  local cmd
  for cmd in ls list nlst; do
    it_ftp "$cmd" odd
    it_expect_rc "$cmd of an odd name" 0
    it_expect_no_line "$cmd prints no escape byte" "$IT_OUT" $'\e'
    it_expect_true "$cmd shows the name escaped" "no line holds '$odd_escaped'" grep -qF -- "$odd_escaped" "$IT_OUT"
  done
  it_ftp ls odd
  it_expect_true "ls: the escaped name is column 2 of 14" "$(cat "$IT_OUT")" \
    env N="$odd_escaped" awk -F'\t' '$2 == ENVIRON["N"] && NF == 14 { found = 1 } END { exit !found }' "$IT_OUT"

  it_ftp list list
  it_expect_rc "list (raw)" 0
  it_expect_line "list shows the raw line of big.img" "$IT_OUT" '5368709120 .*big\.img$'

  it_ftp nlst list
  it_expect_rc "nlst" 0
  it_expect_line "nlst names recent.txt" "$IT_OUT" '(^|/)recent\.txt$'
  it_expect_line "nlst names the Korean file" "$IT_OUT" "(^|/)$korean\$"
}

# SIZE and MDTM: 64-bit sizes and UTC times.
section_info() {
  local row cmd want
  # Some servers (pyftpdlib) answer SIZE only in image type, hence "type I" first.
  # command | wanted word on stdout
  info_rows=(
    "size list/big.img|5368709120"
    "size list/recent.txt|1234"
    "size list/$korean|5"
    "mdtm list/recent.txt|$(it_mdtm_text "$recent")"
    "mdtm list/old.bin|$(it_mdtm_text "$old")"
  )
  for row in "${info_rows[@]}"; do
    IFS='|' read -r cmd want <<<"$row"
    it_ftp type I , "${cmd%% *}" "${cmd#* }"
    it_expect_rc "$cmd" 0
    [ "$IT_RC" = 0 ] || continue
    it_expect_line "$cmd prints $want" "$IT_OUT" "(^|[^0-9])$want([^0-9]|\$)"
  done
}

# Put and get round trips, byte for byte.
section_transfers() {
  local name f uniq_files
  it_make_binary "$local_dir/binary.dat" $((3 * 1024 * 1024 + 17))
  : >"$local_dir/empty.dat"
  printf 'line one\r\nline two\nline three\r\n\r\n' >"$local_dir/crlf.txt"
  it_make_binary "$local_dir/한글 파일.bin" 100000
  it_ftp mkdir up
  it_expect_rc "mkdir up" 0
  for name in binary.dat empty.dat crlf.txt '한글 파일.bin'; do
    it_ftp put "$local_dir/$name" "up/$name"
    it_expect_same "put $name" "$local_dir/$name" "$root/up/$name"
    rm -f "$local_dir/back-$name"
    it_ftp get "up/$name" "$local_dir/back-$name"
    it_expect_same "get $name" "$local_dir/$name" "$local_dir/back-$name"
  done

  # On a terminal (and without -v) get and put draw a meter on stderr that ends at 100%.
  if command -v script >/dev/null; then
    local meter=$IT_WORK/meter
    for name in get put; do
      rm -f "$local_dir/meter.dat" "$root/up/meter.dat"
      if [ $name = get ]; then
        set -- get up/binary.dat "$local_dir/meter.dat"
      else
        set -- put "$local_dir/binary.dat" up/meter.dat
      fi
      IT_CMD="script -qec 'tovalo-ftp $*' /dev/null"
      timeout 120 script -qec "$(printf '%q ' "${IT_CLIENT[@]}" "${IT_CONNECT[@]}" "$@")" /dev/null \
        >"$meter" 2>&1 </dev/null
      IT_RC=$?
      it_expect_rc "$name on a terminal" 0
      it_expect_line "$name on a terminal: the meter reaches 100%" "$meter" '3\.0 MiB of 3\.0 MiB  100%'
    done
  else
    it_skip "progress meter" "script(1) is missing"
  fi

  # Several transfers on one logon, in both directions.
  it_ftp put "$local_dir/crlf.txt" up/one.txt , put "$local_dir/binary.dat" up/two.dat , \
    get up/two.dat "$local_dir/two-back.dat"
  it_expect_same "put, put, get on one logon" "$local_dir/binary.dat" "$local_dir/two-back.dat"

  # A listing after a binary transfer on the same logon switches back to ASCII type.
  it_ftp put "$local_dir/crlf.txt" up/three.txt , ls list , get up/three.txt "$local_dir/three.txt" , nlst up
  it_expect_rc "put, ls, get, nlst on one logon" 0
  check_listing "ls after put"
  it_expect_line "nlst after get" "$IT_OUT" '(^|/)three\.txt$'

  # Store unique: the server picks a new name each time and never touches the file already there,
  # even while resume is on.
  it_ftp cd uniq , putu "$local_dir/crlf.txt" u.txt , putu "$local_dir/crlf.txt" u.txt
  it_expect_rc "putu twice" 0
  uniq_files=("$root"/uniq/*)
  it_expect_true "putu makes two files" "uniq holds: $(ls "$root/uniq" | tr '\n' ' ')" \
    test "${#uniq_files[@]}" -eq 2
  for f in "${uniq_files[@]}"; do
    it_expect_true "putu content of $(basename "$f")" "differs from crlf.txt" cmp -s "$f" "$local_dir/crlf.txt"
  done
}

# Resume.
section_resume() {
  local part
  it_make_binary "$local_dir/resume.dat" $((1024 * 1024 + 123))
  part=300001
  head -c $part "$local_dir/resume.dat" >"$root/resume/up.dat"
  ftp_server_own "$root/resume/up.dat"
  it_ftp -C put "$local_dir/resume.dat" resume/up.dat
  it_expect_same "put -C resumes a partial upload" "$local_dir/resume.dat" "$root/resume/up.dat"
  it_expect_line "resumed upload asks SIZE" "$IT_ERR" '^> SIZE resume/up\.dat$'
  it_expect_line "resumed upload appends" "$IT_ERR" '^> APPE resume/up\.dat$'
  it_expect_no_line "resumed upload does not store over" "$IT_ERR" '^> STOR '

  head -c $part "$local_dir/resume.dat" >"$root/resume/up2.dat"
  ftp_server_own "$root/resume/up2.dat"
  it_ftp --no-resume put "$local_dir/resume.dat" resume/up2.dat
  it_expect_same "put --no-resume replaces a partial file" "$local_dir/resume.dat" "$root/resume/up2.dat"
  it_expect_line "--no-resume stores" "$IT_ERR" '^> STOR resume/up2\.dat$'

  cp "$local_dir/resume.dat" "$root/resume/down.dat"
  ftp_server_own "$root/resume/down.dat"
  head -c 200003 "$local_dir/resume.dat" >"$local_dir/down.dat"
  it_ftp -C get resume/down.dat "$local_dir/down.dat"
  it_expect_same "get -C resumes a partial download" "$local_dir/resume.dat" "$local_dir/down.dat"
  it_expect_line "resumed download restarts at the local length" "$IT_ERR" '^> REST 200003$'

  head -c 500000 /dev/urandom >"$local_dir/down2.dat"
  it_ftp --no-resume get resume/down.dat "$local_dir/down2.dat"
  it_expect_same "get --no-resume replaces the local file" "$local_dir/resume.dat" "$local_dir/down2.dat"
  it_expect_no_line "--no-resume sends no REST" "$IT_ERR" '^> REST '

  # Offsets past 4 GiB: sparse files of zeros, so only the last 120 bytes really move.
  local five=$((5 * 1024 * 1024 * 1024)) near=$((5 * 1024 * 1024 * 1024 - 120))
  truncate -s $near "$root/resume/huge-up.img"
  ftp_server_own "$root/resume/huge-up.img"
  truncate -s $five "$local_dir/huge.img"
  it_ftp -C put "$local_dir/huge.img" resume/huge-up.img
  it_expect_rc "put resumes past 4 GiB" 0
  it_expect_line "put past 4 GiB appends" "$IT_ERR" '^> APPE resume/huge-up\.img$'
  it_expect_true "put past 4 GiB: remote size" "$(stat -c %s "$root/resume/huge-up.img") bytes" \
    test "$(stat -c %s "$root/resume/huge-up.img")" = $five
  truncate -s $near "$local_dir/huge-down.img"
  it_ftp -C get list/big.img "$local_dir/huge-down.img"
  it_expect_rc "get resumes past 4 GiB" 0
  it_expect_line "get past 4 GiB restarts there" "$IT_ERR" "^> REST $near\$"
  it_expect_true "get past 4 GiB: local size" "$(stat -c %s "$local_dir/huge-down.img") bytes" \
    test "$(stat -c %s "$local_dir/huge-down.img")" = $five

  # Without -C every put and get replaces its target, whatever is there: the same size (where a
  # resume would move nothing and report done), shorter, or longer.
  local row remote_len local_len
  # remote bytes before | local bytes
  replace_rows=("6000|6000" "3000|6000" "9000|6000")
  for row in "${replace_rows[@]}"; do
    IFS='|' read -r remote_len local_len <<<"$row"
    head -c "$remote_len" /dev/urandom >"$root/resume/replace.dat"
    ftp_server_own "$root/resume/replace.dat"
    head -c "$local_len" /dev/urandom >"$local_dir/replace.dat"
    it_ftp put "$local_dir/replace.dat" resume/replace.dat
    it_expect_same "put over $remote_len bytes replaces them" "$local_dir/replace.dat" "$root/resume/replace.dat"
    it_expect_no_line "put without -C never appends" "$IT_ERR" '^> (APPE|SIZE) '
    head -c "$remote_len" /dev/urandom >"$root/resume/replace.dat"
    ftp_server_own "$root/resume/replace.dat"
    it_ftp get resume/replace.dat "$local_dir/replace.dat"
    it_expect_same "get into $local_len local bytes replaces them" "$root/resume/replace.dat" "$local_dir/replace.dat"
    it_expect_no_line "get without -C never restarts" "$IT_ERR" '^> REST '
  done

  head -c 4000 /dev/urandom >"$local_dir/short.dat"
  head -c 9000 /dev/urandom >"$root/resume/longer.dat"
  ftp_server_own "$root/resume/longer.dat"
  it_ftp -C put "$local_dir/short.dat" resume/longer.dat
  expect_replaced_or_refused "put over a longer remote file" "$local_dir/short.dat" "$root/resume/longer.dat"

  head -c 4000 /dev/urandom >"$root/resume/shorter.dat"
  ftp_server_own "$root/resume/shorter.dat"
  head -c 9000 /dev/urandom >"$local_dir/longer.dat"
  it_ftp -C get resume/shorter.dat "$local_dir/longer.dat"
  expect_replaced_or_refused "get into a longer local file" "$root/resume/shorter.dat" "$local_dir/longer.dat"
}

# File and folder commands.
section_commands() {
  local row cmd check
  printf 'move me' >"$root/ops/a.txt"
  ftp_server_own "$root/ops/a.txt"
  # command line | shell test of the server's folder afterwards
  ops_rows=(
    "mkdir ops/made|test -d $root/ops/made"
    "mv ops/a.txt ops/made/b.txt|test -f $root/ops/made/b.txt -a ! -e $root/ops/a.txt"
    "site 'chmod 600 ops/made/b.txt'|test \$(stat -c %a $root/ops/made/b.txt) = 600"
    "rm ops/made/b.txt|test ! -e $root/ops/made/b.txt"
    "rmdir ops/made|test ! -e $root/ops/made"
    "type A , type I , type L8|true"
    "stat|true"
    "help|true"
  )
  for row in "${ops_rows[@]}"; do
    cmd=${row%%|*}
    check=${row#*|}
    eval "it_ftp $cmd"
    it_expect_rc "$cmd" 0
    it_expect_true "$cmd: server side" "'$check' is false" eval "$check"
  done

  it_ftp cd list/sub , pwd , cdup , pwd
  it_expect_rc "cd, pwd, cdup, pwd" 0
  it_expect_line "pwd after cd" "$IT_ERR" '^< 257 "/list/sub"'
  it_expect_line "pwd after cdup" "$IT_ERR" '^< 257 "/list"'
}

# Refusals: exit 1, and the first failure stops the run.
section_refusals() {
  local row cmd said
  # command | what stderr says of it (the server's reply or the local error)
  refused_rows=(
    "get missing.bin $local_dir/never.bin|^tovalo-ftp: get missing\.bin .*never\.bin: refused: 5[0-9][0-9] "
    "rm missing.bin|^tovalo-ftp: rm missing\.bin: refused: 5[0-9][0-9] "
    "cd missing|^tovalo-ftp: cd missing: refused: 5[0-9][0-9] "
    "rmdir missing|^tovalo-ftp: rmdir missing: refused: 5[0-9][0-9] "
    "size missing.bin|^tovalo-ftp: size missing\.bin: refused: 5[0-9][0-9] "
    "mv missing.bin other.bin|^tovalo-ftp: mv missing\.bin other\.bin: refused: 5[0-9][0-9] "
    "put $local_dir/no-such-local-file remote.bin|^tovalo-ftp: put .*no-such-local-file remote\.bin: failed: No such file"
  )
  for row in "${refused_rows[@]}"; do
    cmd=${row%%|*}
    said=${row#*|}
    eval "it_ftp $cmd"
    it_expect_rc "refused: $cmd" 1
    it_expect_line "refused: $cmd: named on stderr" "$IT_ERR" "$said"
    it_run "${IT_CONNECT[@]}" $cmd
    it_expect_line "refused: $cmd: named without -v too" "$IT_ERR" "$said"
  done

  it_ftp rm missing.bin , mkdir after-failure
  it_expect_rc "first failure stops the run" 1
  it_expect_true "nothing runs after the failure" "after-failure was made" test ! -e "$root/after-failure"
}

# Passwords off the command line, the help, and the reference page that must agree with it.
section_accounts() {
  local word netrc_home=$IT_WORK/home
  mkdir -p "$netrc_home"
  printf 'machine other.example login nobody password nothing\nmachine %s\n  login %s\n  password "%s"\n' \
    "$FTP_HOST" "$FTP_USER" "$FTP_PASS" >"$netrc_home/.netrc"
  chmod 600 "$netrc_home/.netrc"

  printf '%s\n' "$FTP_PASS" >"$IT_WORK/password"
  it_run_input "$IT_WORK/password" -v -H "$FTP_HOST" -P "$FTP_PORT" -u "$FTP_USER" -p - noop
  it_expect_rc "-p - reads a line of stdin" 0
  it_expect_no_line "-p -: the password is never shown" "$IT_ERR" "$FTP_PASS"
  it_run_input /dev/null -H "$FTP_HOST" -P "$FTP_PORT" -u "$FTP_USER" -p - noop
  it_expect_rc "-p - with nothing on stdin" 2

  HOME=$netrc_home it_run -v -H "$FTP_HOST" -P "$FTP_PORT" -n noop
  it_expect_rc "-n logs on with ~/.netrc" 0
  it_expect_line "-n: the user from ~/.netrc" "$IT_ERR" "^> USER $FTP_USER\$"
  it_run -H "$FTP_HOST" -P "$FTP_PORT" --netrc-file "$netrc_home/.netrc" noop
  it_expect_rc "--netrc-file logs on" 0
  HOME=$netrc_home it_run -H "$FTP_HOST" -P "$FTP_PORT" -n -p wrong-password --timeout 10 noop
  it_expect_rc "-p wins over ~/.netrc" 3
  it_expect_no_line "a refused logon never shows the password" "$IT_ERR" "wrong-password"

  it_run --help
  it_expect_rc "--help" 0
  cp "$IT_OUT" "$IT_WORK/help"
  # Every option and command of --help is in the reference page, and the page names no option
  # that --help lacks.
  local doc=$IT_REPO/docs/tovalo-ftp.md
  for word in $(grep -oE '^  (-[A-Za-z]|--[a-z0-9-]+)(, --[a-z0-9-]+)?' "$IT_WORK/help" | tr -d ',') \
              $(awk '/^COMMANDS/ { on = 1; next } /^[A-Z]/ { on = 0 } on && /^  [a-z]/ { print $1 }' "$IT_WORK/help"); do
    it_expect_true "docs/tovalo-ftp.md names $word" "not found" grep -qF -- "\`$word" "$doc"
  done
  for word in $(grep -oE '`--?[a-zA-Z][a-z0-9-]*' "$doc" | tr -d '`' | sort -u); do
    it_expect_true "--help names $word of the docs" "not found" grep -qE -- "(^|[ [])$word([] ,]|\$)" "$IT_WORK/help"
  done
}

# Commands without a data connection do not depend on the mode: they run in the active pass.
sections=(listing transfers resume)
[ "$mode" = passive ] || sections=(logon accounts listing info transfers resume commands refusals)
for section in "${sections[@]}"; do
  "section_$section"
done

it_summary
