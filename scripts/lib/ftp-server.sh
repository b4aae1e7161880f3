# shellcheck shell=bash
# Sourceable: starts and stops real FTP servers (pyftpdlib, vsftpd) on 127.0.0.1 at a free port,
# each serving one folder to one known account.
#
#   ftp_server_start KIND ROOT   sets FTP_KIND FTP_HOST FTP_PORT FTP_USER FTP_PASS FTP_ROOT
#                                FTP_PID FTP_STATE FTP_OWNER; returns 0, 1 (failed; the reason and
#                                the server's log on stderr) or 77 (this KIND cannot run here)
#   ftp_server_stop [PID STATE]  stops the server (default: the one in FTP_PID / FTP_STATE)
#   ftp_server_own PATH...       gives files put into the root by hand to the account the server
#                                runs the session as (vsftpd), so that it may append to them
#   ftp_server_env               prints the FTP_ variables as shell assignments
#
# Optional: FTP_SERVER_PASV=FIRST-LAST passive port range (default: any free port, so that
# servers started in parallel never collide). For pyftpdlib only: FTP_SERVER_THROTTLE=BYTES a
# second it reads from a data connection (a slow server), FTP_SERVER_PERM=PERMS the account's
# permissions (e.g. without M it may not SITE CHMOD), FTP_SERVER_DISK_FULL_AFTER=BYTES an upload
# fails as on a full disk once it holds that many bytes, FTP_SERVER_DROP_FLAG=FILE loses the data
# connection of one upload after FTP_SERVER_DROP_AFTER bytes (default 65536; or the number FILE
# holds) whenever FILE exists (and removes FILE), FTP_SERVER_IGNORE_REST_FLAG=FILE answers REST with
# 350 and stores from the start all the same whenever FILE exists, FTP_SERVER_TRUNCATE_FLAG=FILE
# keeps only the first half of the next upload that completes whenever FILE exists, yet answers
# 226 (and removes FILE), FTP_SERVER_REFUSE_PORT=1 refuses active mode, FTP_SERVER_STALL_SECONDS=N stops reading each upload's data connection for N
# seconds once FTP_SERVER_STALL_AFTER bytes (default 1048576) have come, then reads on,
# FTP_SERVER_RECEIVED_LOG=FILE appends "<bytes>\t<path>" lines of what each upload received (at its
# end and whenever it pauses; sum a path's lines). For both kinds: FTP_SERVER_TLS_CERT=PEM (certificate and key in one file)
# requires explicit FTPS on the control connection and every data connection (vsftpd also
# requires a data connection to resume the control connection's TLS session, unless
# FTP_SERVER_TLS_REUSE=NO). FTP_SERVER_PASSWORD sets the account's password (default tovalo-pass).
# The server inherits TZ; both kinds are set up to show times in UTC whatever TZ says.

FTP_SERVER_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$FTP_SERVER_LIB_DIR/wait.sh"
# Debian's interpreter, where python3-pyftpdlib lives (a python3 earlier on PATH may lack it).
FTP_SERVER_PYTHON=${FTP_SERVER_PYTHON:-/usr/bin/python3}
FTP_SERVER_VSFTPD=${FTP_SERVER_VSFTPD:-/usr/sbin/vsftpd}
# The system account vsftpd logs on; its shell is nologin and it has no home of its own.
FTP_SERVER_VSFTPD_USER=tovaloftp
FTP_SERVER_PASSWORD=${FTP_SERVER_PASSWORD:-tovalo-pass}
FTP_SERVER_PAM_SERVICE=tovalo-ftp-test

_ftp_server_log() { echo "ftp-server: $*" >&2; }

_ftp_server_dump_logs() { # state
  local f
  for f in "$1"/*.log; do
    [ -s "$f" ] || continue
    echo "--- $f (last lines)" >&2
    tail -n 20 "$f" >&2
  done
}

# True once the server on PORT greets with a 220 line, or its process PID has ended.
_ftp_server_greets_or_ends() { # port pid
  alive "$2" || return 0
  local line
  line=$(timeout 3 bash -c 'exec 3<>"/dev/tcp/127.0.0.1/$1" && head -c 3 <&3' _ "$1" 2>/dev/null) || return 1
  [ "$line" = 220 ]
}

_ftp_server_free_port() {
  "$FTP_SERVER_PYTHON" -c 'import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])'
}

_ftp_server_start_pyftpdlib() { # root state
  local root=$1 state=$2 args=()
  "$FTP_SERVER_PYTHON" -c 'import pyftpdlib' 2>/dev/null || {
    _ftp_server_log "pyftpdlib is not installed for $FTP_SERVER_PYTHON (scripts/install-deps)"
    return 77
  }
  [ -z "${FTP_SERVER_PASV:-}" ] || args+=(--passive-ports "$FTP_SERVER_PASV")
  [ -z "${FTP_SERVER_THROTTLE:-}" ] || args+=(--throttle "$FTP_SERVER_THROTTLE")
  [ -z "${FTP_SERVER_TLS_CERT:-}" ] || args+=(--tls-cert "$FTP_SERVER_TLS_CERT")
  [ -z "${FTP_SERVER_PERM:-}" ] || args+=(--perm "$FTP_SERVER_PERM")
  [ -z "${FTP_SERVER_DISK_FULL_AFTER:-}" ] || args+=(--disk-full-after "$FTP_SERVER_DISK_FULL_AFTER")
  [ -z "${FTP_SERVER_DROP_FLAG:-}" ] || args+=(--drop-flag "$FTP_SERVER_DROP_FLAG" --drop-after "${FTP_SERVER_DROP_AFTER:-65536}")
  [ -z "${FTP_SERVER_TRUNCATE_FLAG:-}" ] || args+=(--truncate-flag "$FTP_SERVER_TRUNCATE_FLAG")
  [ -z "${FTP_SERVER_REFUSE_PORT:-}" ] || args+=(--refuse-port)
  [ -z "${FTP_SERVER_STALL_SECONDS:-}" ] || args+=(--stall-seconds "$FTP_SERVER_STALL_SECONDS" --stall-after "${FTP_SERVER_STALL_AFTER:-1048576}")
  [ -z "${FTP_SERVER_RECEIVED_LOG:-}" ] || args+=(--received-log "$FTP_SERVER_RECEIVED_LOG")
  [ -z "${FTP_SERVER_IGNORE_REST_FLAG:-}" ] || args+=(--ignore-rest-flag "$FTP_SERVER_IGNORE_REST_FLAG")
  [ -z "${FTP_SERVER_DELE_BUSY_FLAG:-}" ] || args+=(--dele-busy-flag "$FTP_SERVER_DELE_BUSY_FLAG")
  [ -z "${FTP_SERVER_DELE_LOST_FLAG:-}" ] || args+=(--dele-lost-flag "$FTP_SERVER_DELE_LOST_FLAG")
  [ -z "${FTP_SERVER_ONE_CONNECTION_FLAG:-}" ] || args+=(--one-connection-flag "$FTP_SERVER_ONE_CONNECTION_FLAG")
  setsid "$FTP_SERVER_PYTHON" "$FTP_SERVER_LIB_DIR/ftp-server.py" --root "$root" \
    --user tovalo --password "$FTP_SERVER_PASSWORD" --port-file "$state/port" --anonymous \
    "${args[@]}" </dev/null >"$state/server.log" 2>&1 &
  FTP_PID=$!
  if ! wait_for_file "$state/port" 10 "$FTP_PID"; then
    _ftp_server_log "pyftpdlib did not start"
    return 1
  fi
  FTP_PORT=$(<"$state/port")
  FTP_USER=tovalo
  FTP_PASS=$FTP_SERVER_PASSWORD
  FTP_OWNER=""
}

# The account and the PAM service vsftpd authenticates against; made idempotently.
_ftp_server_vsftpd_account() {
  if ! id -u "$FTP_SERVER_VSFTPD_USER" >/dev/null 2>&1; then
    useradd --system --no-create-home --home-dir / --shell /usr/sbin/nologin \
      "$FTP_SERVER_VSFTPD_USER" || return 1
  fi
  echo "$FTP_SERVER_VSFTPD_USER:$FTP_SERVER_PASSWORD" | chpasswd || return 1
  # Password check and account expiry only: no shell or ftpusers list, as the account is ours.
  local pam=/etc/pam.d/$FTP_SERVER_PAM_SERVICE
  if [ ! -f "$pam" ]; then
    printf '%s\n' '# Logons of the FTP integration tests (test account only).' \
      'auth     required pam_unix.so' 'account  required pam_unix.so' \
      'session  required pam_permit.so' >"$pam" || return 1
  fi
  # vsftpd insists on an empty, root-owned folder to isolate its unprivileged helper.
  mkdir -p /var/run/vsftpd/empty
}

_ftp_server_start_vsftpd() { # root state
  local root=$1 state=$2
  if [ ! -x "$FTP_SERVER_VSFTPD" ]; then
    _ftp_server_log "vsftpd is not installed (scripts/install-deps)"
    return 77
  fi
  if [ "$(id -u)" -ne 0 ]; then
    _ftp_server_log "vsftpd needs root (system account, PAM logon)"
    return 77
  fi
  # Tests start servers in parallel; useradd and chpasswd must not race on /etc/passwd.
  if ! (flock 9 && _ftp_server_vsftpd_account) 9>/run/lock/tovalo-ftp-account.lock; then
    _ftp_server_log "cannot set up the account"
    return 1
  fi
  chown -R "$FTP_SERVER_VSFTPD_USER:" "$root"
  if ! runuser -u "$FTP_SERVER_VSFTPD_USER" -- test -x "$root"; then
    _ftp_server_log "$root is not reachable for $FTP_SERVER_VSFTPD_USER (a parent folder is private)"
    return 1
  fi
  # 0 and 0: any free port.
  local pasv=${FTP_SERVER_PASV:-0-0}
  local pasv_min=${pasv%-*} pasv_max=${pasv#*-}
  local port
  for _ in 1 2 3 4 5; do
    port=$(_ftp_server_free_port)
    cat >"$state/vsftpd.conf" <<EOF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$port
background=NO
anonymous_enable=NO
local_enable=YES
write_enable=YES
chmod_enable=YES
local_umask=022
local_root=$root
chroot_local_user=YES
allow_writeable_chroot=YES
check_shell=NO
userlist_enable=NO
pam_service_name=$FTP_SERVER_PAM_SERVICE
seccomp_sandbox=NO
secure_chroot_dir=/var/run/vsftpd/empty
use_localtime=NO
connect_from_port_20=NO
pasv_enable=YES
port_enable=YES
pasv_min_port=$pasv_min
pasv_max_port=$pasv_max
max_clients=0
max_per_ip=0
delay_failed_login=0
dirmessage_enable=NO
xferlog_enable=YES
xferlog_std_format=NO
log_ftp_protocol=YES
vsftpd_log_file=$state/vsftpd.log
ftpd_banner=tovalo test server
EOF
    if [ -n "${FTP_SERVER_TLS_CERT:-}" ]; then
      # Explicit FTPS required on both connections; a data connection must resume the control
      # connection's TLS session (vsftpd's default, and what proves it comes from the same client).
      cat >>"$state/vsftpd.conf" <<EOF
ssl_enable=YES
rsa_cert_file=$FTP_SERVER_TLS_CERT
rsa_private_key_file=$FTP_SERVER_TLS_CERT
force_local_logins_ssl=YES
force_local_data_ssl=YES
require_ssl_reuse=${FTP_SERVER_TLS_REUSE:-YES}
ssl_tlsv1=YES
ssl_sslv2=NO
ssl_sslv3=NO
EOF
    fi
    setsid "$FTP_SERVER_VSFTPD" "$state/vsftpd.conf" </dev/null >"$state/server.log" 2>&1 &
    FTP_PID=$!
    if wait_until 5 _ftp_server_greets_or_ends "$port" "$FTP_PID" && alive "$FTP_PID"; then
      FTP_PORT=$port
      FTP_USER=$FTP_SERVER_VSFTPD_USER
      FTP_PASS=$FTP_SERVER_PASSWORD
      FTP_OWNER=$FTP_SERVER_VSFTPD_USER
      return 0
    fi
    # Most likely someone took the port between our probe and vsftpd's bind: try another.
    ftp_server_stop "$FTP_PID" ""
  done
  _ftp_server_log "vsftpd did not start"
  return 1
}

ftp_server_start() { # kind root
  local kind=${1:-} root=${2:-}
  if [ -z "$kind" ] || [ -z "$root" ]; then
    _ftp_server_log "usage: ftp_server_start pyftpdlib|vsftpd ROOT"
    return 1
  fi
  mkdir -p "$root" && root=$(cd "$root" && pwd) || return 1
  FTP_KIND=$kind FTP_HOST=127.0.0.1 FTP_ROOT=$root FTP_PID="" FTP_PORT=""
  FTP_STATE=$(mktemp -d "${TMPDIR:-/tmp}/tovalo-ftp-server.XXXXXX") || return 1
  chmod 755 "$FTP_STATE"
  local rc=0
  case $kind in
    pyftpdlib) _ftp_server_start_pyftpdlib "$root" "$FTP_STATE" || rc=$? ;;
    vsftpd) _ftp_server_start_vsftpd "$root" "$FTP_STATE" || rc=$? ;;
    *) _ftp_server_log "unknown server kind '$kind' (pyftpdlib, vsftpd)"; rc=1 ;;
  esac
  if [ $rc -ne 0 ]; then
    [ $rc -eq 77 ] || _ftp_server_dump_logs "$FTP_STATE"
    ftp_server_stop "$FTP_PID" "$FTP_STATE"
    return $rc
  fi
  export FTP_KIND FTP_HOST FTP_PORT FTP_USER FTP_PASS FTP_ROOT FTP_PID FTP_STATE FTP_OWNER
}

ftp_server_stop() { # [pid state]
  local pid=${1-${FTP_PID:-}} state=${2-${FTP_STATE:-}}
  if [ -n "$pid" ] && alive "$pid"; then
    # The server leads its own process group (setsid). vsftpd makes every session a process
    # group of its own, so those are found as the listener's children before it goes.
    local target=$pid session sessions
    [ "$(ps -o pgid= -p "$pid" | tr -d ' ')" = "$pid" ] && target=-$pid
    sessions=$(ps -o pid= --ppid "$pid" 2>/dev/null)
    kill -TERM -- "$target" 2>/dev/null
    for session in $sessions; do
      kill -TERM -- "-$session" 2>/dev/null || kill -TERM "$session" 2>/dev/null
    done
    wait_until 5 _ftp_server_gone "$pid" || kill -KILL -- "$target" 2>/dev/null
    wait "$pid" 2>/dev/null
  fi
  if [ -n "$state" ] && [ -d "$state" ]; then
    case $state in
      "${TMPDIR:-/tmp}"/tovalo-ftp-server.*) rm -rf "$state" ;;
    esac
  fi
  return 0
}

_ftp_server_gone() { ! alive "$1"; }

ftp_server_own() { # path...
  [ -n "${FTP_OWNER:-}" ] || return 0
  chown -R "$FTP_OWNER:" "$@"
}

ftp_server_env() {
  local v
  for v in FTP_KIND FTP_HOST FTP_PORT FTP_USER FTP_PASS FTP_ROOT FTP_PID FTP_STATE FTP_OWNER; do
    printf '%s=%q\n' "$v" "${!v}"
  done
  echo "export FTP_KIND FTP_HOST FTP_PORT FTP_USER FTP_PASS FTP_ROOT FTP_PID FTP_STATE FTP_OWNER"
}
