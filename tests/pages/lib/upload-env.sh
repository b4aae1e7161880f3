# shellcheck shell=bash
# Sourced by tests/pages/run when upload pages run: the servers they upload to and the web server
# that receives error reports, all on loopback, with the fixture files the pages send.
#   upload_env_start SCRATCH   starts everything; exports what the pages read through host.env
#   upload_env_stop            stops everything it started
# Servers: pyftpdlib (TOVALO_FTP_*), a throttled pyftpdlib (TOVALO_SLOW_FTP_*), a pyftpdlib whose
# account may not SITE CHMOD (TOVALO_NOCHMOD_FTP_*), a pyftpdlib whose disk is full after 64 KiB of
# an upload (TOVALO_FULL_FTP_*), vsftpd when it can run here (TOVALO_VSFTPD_*,
# else TOVALO_VSFTPD_PORT is empty), a pyftpdlib that loses a data connection once on demand
# (TOVALO_FLAKY_FTP_*), one that refuses active mode (TOVALO_PASSIVE_FTP_*) and one that keeps
# only half of an upload on demand yet reports it complete (TOVALO_TRUNC_FTP_*), and one that
# requires explicit FTPS with a certificate made for the run (TOVALO_TLS_FTP_*, its SHA-256 in
# TOVALO_TLS_FTP_PIN), and one that stops reading each upload for 20 s after its first MiB and
# counts what it receives per stored file (TOVALO_STALL_FTP_*, the count's log in
# TOVALO_STALL_FTP_RECEIVED, which upload-check reads), and one for stops that meet a busy server
# (TOVALO_STOPS_FTP_*: a stall, and DELE and connections as the page's flags say). Reports go to
# the host the control was built with (TOVALO_REPORT_HOST in the build's cache), port 80, and land in TOVALO_REPORTS as
# request-N.

_upload_env_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
source "$_upload_env_root/scripts/lib/ftp-server.sh"
_upload_env_listener=""

_upload_env_server() { # prefix kind root [VAR=VALUE...]
  local prefix=$1 kind=$2 root=$3
  shift 3
  local FTP_KIND FTP_HOST FTP_PORT FTP_USER FTP_PASS FTP_ROOT FTP_PID FTP_STATE FTP_OWNER
  # The VAR=VALUE arguments are exported for this server only.
  # shellcheck disable=SC2163
  if ! ( [ $# -eq 0 ] || export "$@"; ftp_server_start "$kind" "$root" >/dev/null && ftp_server_env) >"$root.env" 2>>"$_upload_env_scratch/servers.log"; then
    echo "upload pages: $kind could not start (see $_upload_env_scratch/servers.log)" >&2
    export "${prefix}_PORT="
    return 1
  fi
  # shellcheck disable=SC1090
  source "$root.env"
  echo "$FTP_PID $FTP_STATE" >>"$_upload_env_scratch/servers"
  export "${prefix}_PORT=$FTP_PORT" "${prefix}_USER=$FTP_USER" "${prefix}_PASS=$FTP_PASS" "${prefix}_ROOT=$FTP_ROOT"
}

# The report host as the control was built: its IPv4 loopback address, or nothing.
_upload_env_report_address() {
  local build=${TOVALO_WIN_BUILD:-$_upload_env_root/build/win} host
  host=$(sed -n 's/^TOVALO_REPORT_HOST:STRING=//p' "$build/CMakeCache.txt" 2>/dev/null)
  host=${host:-localhost}
  /usr/bin/python3 -c 'import socket, sys
a = socket.getaddrinfo(sys.argv[1], 80, socket.AF_INET)[0][4][0]
print(a if a.startswith("127.") else "")' "$host" 2>/dev/null
}

_upload_env_fixtures() { # folder
  local files=$1
  mkdir -p "$files"
  printf '0123456789' >"$files/a.txt"
  head -c 5000 /dev/urandom >"$files/b.bin"
  head -c 200000 /dev/urandom >"$files/mid.bin"
  head -c 2048 /dev/urandom >"$files/보고서.txt"
  : >"$files/empty.txt"
  printf 'a file with a blank in its name\n' >"$files/with space.txt"
  head -c $((3 * 1024 * 1024)) /dev/urandom >"$files/big.bin"
  # Either side of the full server's 64 KiB: one that fits, one whose last kilobyte it cannot keep.
  head -c 65000 /dev/urandom >"$files/fits.bin"
  head -c 66560 /dev/urandom >"$files/over.bin"
}

upload_env_start() { # scratch
  _upload_env_scratch=$1/upload
  mkdir -p "$_upload_env_scratch"
  chmod 755 "$1" "$_upload_env_scratch"
  : >"$_upload_env_scratch/servers"
  _upload_env_fixtures "$_upload_env_scratch/files"
  export TOVALO_UPLOAD_FILES=$_upload_env_scratch/files
  # The pages see the fixtures as drive U:, so that status lines and paths read the same in every run
  # (in the prefix of the lane's Wine environment).
  ln -sfn "$TOVALO_UPLOAD_FILES" "$WINEPREFIX/dosdevices/u:"
  _upload_env_server TOVALO_FTP pyftpdlib "$_upload_env_scratch/pyftpdlib"
  _upload_env_server TOVALO_SLOW_FTP pyftpdlib "$_upload_env_scratch/slow" FTP_SERVER_THROTTLE=65536
  # Its password holds every printable character: the pages encode it with the pages' encoder
  # and the control must decode it exactly to log on.
  _upload_env_server TOVALO_NOCHMOD_FTP pyftpdlib "$_upload_env_scratch/nochmod" FTP_SERVER_PERM=elradfmwT \
    "FTP_SERVER_PASSWORD= !\"#\$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_\`abcdefghijklmnopqrstuvwxyz{|}~"
  _upload_env_server TOVALO_FULL_FTP pyftpdlib "$_upload_env_scratch/full" FTP_SERVER_DISK_FULL_AFTER=65536
  _upload_env_server TOVALO_VSFTPD vsftpd "$_upload_env_scratch/vsftpd"
  # For retries: a server that loses one upload's data connection 100000 bytes in (or as many as
  # the file holds) whenever a page has made the file TOVALO_FLAKY_DROP_FLAG, answers REST with 350
  # and does not go on from there whenever it has made TOVALO_FLAKY_IGNORE_REST_FLAG, and logs what
  # it received per stored file; and one that refuses active mode.
  export TOVALO_FLAKY_DROP_FLAG=$_upload_env_scratch/flaky.drop
  export TOVALO_FLAKY_IGNORE_REST_FLAG=$_upload_env_scratch/flaky.norest
  export TOVALO_FLAKY_FTP_RECEIVED=$_upload_env_scratch/flaky.received
  _upload_env_server TOVALO_FLAKY_FTP pyftpdlib "$_upload_env_scratch/flaky" \
    FTP_SERVER_DROP_FLAG="$TOVALO_FLAKY_DROP_FLAG" FTP_SERVER_DROP_AFTER=100000 \
    FTP_SERVER_IGNORE_REST_FLAG="$TOVALO_FLAKY_IGNORE_REST_FLAG" FTP_SERVER_RECEIVED_LOG="$TOVALO_FLAKY_FTP_RECEIVED"
  _upload_env_server TOVALO_PASSIVE_FTP pyftpdlib "$_upload_env_scratch/passive" FTP_SERVER_REFUSE_PORT=1
  # For checks after an upload: a server that answers 226 yet keeps only the first half of the next
  # upload whenever a page has made the file TOVALO_TRUNC_FLAG (a quota that says nothing).
  export TOVALO_TRUNC_FLAG=$_upload_env_scratch/trunc.cut
  _upload_env_server TOVALO_TRUNC_FTP pyftpdlib "$_upload_env_scratch/trunc" \
    FTP_SERVER_TRUNCATE_FLAG="$TOVALO_TRUNC_FLAG"
  # For a stalled link: a server that stops reading every upload for 20 s after its first MiB,
  # then reads on, and logs what it received per stored file.
  export TOVALO_STALL_FTP_RECEIVED=$_upload_env_scratch/stall.received
  _upload_env_server TOVALO_STALL_FTP pyftpdlib "$_upload_env_scratch/stall" FTP_SERVER_STALL_SECONDS=20 \
    FTP_SERVER_STALL_AFTER=1048576 FTP_SERVER_RECEIVED_LOG="$TOVALO_STALL_FTP_RECEIVED"

  # For stops that meet a server as it is: one that stops reading every upload for 8 s after its
  # first MiB, and whenever a page has made the file: refuses to delete a file a data connection
  # still writes (TOVALO_STOPS_BUSY_FLAG), carries out the next DELE without answering it
  # (TOVALO_STOPS_LOST_FLAG, removed then), takes one connection per address (TOVALO_STOPS_ONE_FLAG).
  export TOVALO_STOPS_BUSY_FLAG=$_upload_env_scratch/stops.busy TOVALO_STOPS_LOST_FLAG=$_upload_env_scratch/stops.lost \
    TOVALO_STOPS_ONE_FLAG=$_upload_env_scratch/stops.one
  _upload_env_server TOVALO_STOPS_FTP pyftpdlib "$_upload_env_scratch/stops" FTP_SERVER_STALL_SECONDS=8 \
    FTP_SERVER_STALL_AFTER=1048576 FTP_SERVER_DELE_BUSY_FLAG="$TOVALO_STOPS_BUSY_FLAG" \
    FTP_SERVER_DELE_LOST_FLAG="$TOVALO_STOPS_LOST_FLAG" FTP_SERVER_ONE_CONNECTION_FLAG="$TOVALO_STOPS_ONE_FLAG"

  # For FTPS: a server that requires TLS on both connections, with a certificate made for the run;
  # the pages pin it (TOVALO_TLS_FTP_PIN, as openssl prints a SHA-256 fingerprint).
  local cert=$_upload_env_scratch/tls-server.pem
  if openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 -keyout "$cert" \
       -out "$cert.crt" 2>/dev/null; then
    cat "$cert.crt" >>"$cert"
    chmod 644 "$cert"
    export TOVALO_TLS_FTP_PIN
    TOVALO_TLS_FTP_PIN=$(openssl x509 -in "$cert.crt" -noout -fingerprint -sha256 | sed 's/.*=//')
    # It too loses one upload's data connection whenever a page has made TOVALO_TLS_DROP_FLAG.
    export TOVALO_TLS_DROP_FLAG=$_upload_env_scratch/tls.drop TOVALO_TLS_FTP_RECEIVED=$_upload_env_scratch/tls.received
    _upload_env_server TOVALO_TLS_FTP pyftpdlib "$_upload_env_scratch/tls" FTP_SERVER_TLS_CERT="$cert" \
      FTP_SERVER_DROP_FLAG="$TOVALO_TLS_DROP_FLAG" FTP_SERVER_RECEIVED_LOG="$TOVALO_TLS_FTP_RECEIVED"
  fi

  export TOVALO_REPORTS=$_upload_env_scratch/reports
  mkdir -p "$TOVALO_REPORTS"
  local address
  address=$(_upload_env_report_address)
  if [ -z "$address" ]; then
    echo "upload pages: the report host is not a loopback address; no listener" >&2
  else
    setsid /usr/bin/python3 "$_upload_env_root/scripts/lib/report-listener.py" "$address" "$TOVALO_REPORTS" \
      </dev/null >"$_upload_env_scratch/listener.log" 2>&1 &
    _upload_env_listener=$!
    wait_for_file "$TOVALO_REPORTS/ready" 5 "$_upload_env_listener" || { echo "upload pages: the report listener did not start:" >&2; cat "$_upload_env_scratch/listener.log" >&2; }
    rm -f "$TOVALO_REPORTS/ready"
  fi
}

upload_env_stop() {
  if [ -n "$_upload_env_listener" ]; then
    kill "$_upload_env_listener" 2>/dev/null
    wait "$_upload_env_listener" 2>/dev/null
    _upload_env_listener=""
  fi
  local pid state
  if [ -f "${_upload_env_scratch:-}/servers" ]; then
    while read -r pid state; do
      ftp_server_stop "$pid" "$state"
    done <"$_upload_env_scratch/servers"
    : >"$_upload_env_scratch/servers"
  fi
}
