#!/usr/bin/env bash
# The Windows build of tovalo-ftp --ssl-reqd under Wine (Schannel) against a real server that
# requires explicit FTPS on both connections, with self-signed certificates made for the run:
# transfers both ways and listings in active and passive mode with the certificate pinned; how the
# certificate is judged (a pin, the trust store and the host name or address, -k), every refusal
# ending the logon before the account is sent; and, against a scripted peer, a server that offers
# only TLS 1.1, SNI sent for a name but not for an address, and a server that stalls the handshake.
# The trust store: the test's certificates are added to the prefix's user Root store (its
# registry) for the run and removed again.
# vsftpd is told not to require session reuse (FTP_SERVER_TLS_REUSE=NO): Wine's Schannel never
# resumes a session, which vsftpd otherwise demands of every data connection.
# Usage: ftps-wine.sh TOVALO_FTP_EXE pyftpdlib|vsftpd   (inside scripts/with-wine, or it sets Wine
# up itself; TOVALO_WINEPREFIX chooses the prefix)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

[ $# -eq 2 ] || { echo "usage: $0 TOVALO_FTP_EXE pyftpdlib|vsftpd" >&2; exit 2; }
exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
kind=$2
[ -f "$exe" ] || { echo "FAIL: $1 does not exist"; exit 1; }

trusted_keys=()
peer_pid=""
cleanup() {
  trap '' INT TERM  # a second TERM must not cut it short
  local key
  for key in "${trusted_keys[@]}"; do wine reg delete "$key" /f >/dev/null 2>&1; done
  if [ -n "$peer_pid" ]; then kill "$peer_pid" 2>/dev/null; wait "$peer_pid" 2>/dev/null; fi
  it_cleanup
}
it_use_wine "$exe" cleanup

it_make_work
root=$IT_WORK/root
mkdir -p "$root" "$IT_WORK/local"

# A self-signed certificate and its key in NAME.pem (as the servers take them), the certificate
# alone in NAME.crt.
make_cert() { # name subjectAltName
  local pem=$IT_WORK/$1.pem
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 -addext "subjectAltName=$2" \
    -keyout "$pem" -out "$IT_WORK/$1.crt" 2>/dev/null || { echo "FAIL: openssl cannot make a certificate"; exit 1; }
  cat "$IT_WORK/$1.crt" >>"$pem"
  chmod 644 "$pem"
}

le32() { printf '%02x%02x%02x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }

# Adds the certificate to the user's Root store: a registry key named by its SHA-1 whose Blob is
# the certificate as a serialized property (id 32, 1, its length, then the DER bytes).
trust_cert() { # name
  local crt=$IT_WORK/$1.crt der=$IT_WORK/$1.der thumb key
  openssl x509 -in "$crt" -outform DER -out "$der"
  thumb=$(openssl x509 -in "$crt" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')
  key="HKCU\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\$thumb"
  trusted_keys+=("$key")
  wine reg add "$key" /v Blob /t REG_BINARY /f \
    /d "$(le32 32)$(le32 1)$(le32 "$(stat -c %s "$der")")$(od -An -v -tx1 "$der" | tr -d ' \n')" >/dev/null 2>&1 ||
    { echo "FAIL: cannot add $1 to the Root store"; exit 1; }
}

make_cert address IP:127.0.0.1
make_cert name DNS:localhost
pin=$(openssl x509 -in "$IT_WORK/address.crt" -noout -fingerprint -sha256 | sed 's/.*=//')
wrong_pin=$(printf '%064d' 0)

start_server() { # certificate-name
  FTP_SERVER_TLS_REUSE=NO FTP_SERVER_TLS_CERT=$IT_WORK/$1.pem it_start_server "$kind" "$root"
  log=$FTP_STATE/$([ "$kind" = vsftpd ] && echo vsftpd.log || echo server.log)
}

# Each row: its options, the exit status; a refusal must come before the account is sent.
judge_rows() {
  local name options status before words
  while IFS='|' read -r name options status; do
    [ -n "$name" ] || continue
    before=$(wc -l <"$log")
    read -r -a words <<<"$options"
    it_ftp "${words[@]}" pwd
    it_expect_rc "$name" "$status"
    if [ "$status" != 0 ]; then
      tail -n +"$((before + 1))" "$log" >"$log.mark"
      it_expect_no_line "$name: no account sent" "$log.mark" "USER $FTP_USER|\\[$FTP_USER\\]"
    fi
  done
}

start_server address
echo "== $(basename "$exe") under Wine, $kind with FTPS on port $FTP_PORT"
win() { winepath -w "$1"; }

# Several records per send and per receive, a last record that is not full, and every byte value.
it_make_binary "$IT_WORK/local/data.bin" 3000000
: >"$IT_WORK/local/empty.bin"
for mode in active passive; do
  flags=(--ssl-reqd --pin-sha256 "$pin")
  [ "$mode" = passive ] && flags+=(--passive)
  for name in data.bin empty.bin; do
    it_ftp "${flags[@]}" put "$(win "$IT_WORK/local/$name")" "/$mode-$name" , \
      get "/$mode-$name" "$(win "$IT_WORK/local/back-$mode-$name")" , ls /
    it_expect_same "$mode: put $name arrives whole" "$IT_WORK/local/$name" "$root/$mode-$name"
    it_expect_same "$mode: get $name returns it whole" "$IT_WORK/local/$name" "$IT_WORK/local/back-$mode-$name"
    it_expect_line "$mode: ls over TLS" "$IT_OUT" "$mode-$name"
  done
done

judge_rows <<ROWS
a wrong pin|--ssl-reqd --pin-sha256 $wrong_pin|3
a self-signed certificate the store does not trust|--ssl-reqd|3
any certificate with -k|--ssl-reqd -k|0
a pin wins over -k|--ssl-reqd -k --pin-sha256 $wrong_pin|3
ROWS
it_ftp --ssl-reqd --pin-sha256 "$wrong_pin" pwd
it_expect_line "a wrong pin names the server's fingerprint" "$IT_ERR" \
  "does not match the pin \\(its SHA-256 is $(tr -d : <<<"${pin,,}")\\)"
it_ftp --ssl-reqd pwd
it_expect_line "an untrusted certificate says why" "$IT_ERR" "certificate is not trusted: its root is not trusted"

trust_cert address
trust_cert name
judge_rows <<ROWS
trusted, the address among its names|--ssl-reqd|0
trusted, but the host name is not among its names|--ssl-reqd -H localhost|3
a wrong pin, even with a trusting store|--ssl-reqd --pin-sha256 $wrong_pin|3
ROWS
it_ftp --ssl-reqd -H localhost pwd
it_expect_line "a name mismatch says so" "$IT_ERR" "certificate is not trusted: it is not for localhost"

ftp_server_stop
start_server name
judge_rows <<ROWS
trusted, the host name among its names|--ssl-reqd -H localhost|0
trusted, an address only as its common name|--ssl-reqd|3
ROWS
ftp_server_stop

# A scripted peer: greets, takes AUTH TLS, then per MODE offers only TLS 1.1 ("old"), TLS as
# usual and logs the SNI name it got ("sni"), or never answers the client's hello ("silent").
# It logs the first command it reads over TLS.
cat >"$IT_WORK/peer.py" <<'PEER'
import socket, ssl, sys
mode, pem, port_file, log_file = sys.argv[1:]
log = open(log_file, "a", buffering=1)
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(pem)
if mode == "old":
    context.set_ciphers("DEFAULT:@SECLEVEL=0")
    context.minimum_version = context.maximum_version = ssl.TLSVersion.TLSv1_1
def note_name(connection, name, _):
    if name:
        log.write("SNI %s\n" % name)
context.sni_callback = note_name
listener = socket.create_server(("127.0.0.1", 0))
open(port_file, "w").write(str(listener.getsockname()[1]))
while True:
    connection = listener.accept()[0]
    connection.sendall(b"220 peer\r\n")
    connection.recv(100)
    connection.sendall(b"234 go\r\n")
    if mode == "silent":
        connection.recv(4096)
        continue
    try:
        secure = context.wrap_socket(connection, server_side=True)
        secure.sendall(b"220 secure\r\n")
        log.write("command %r\n" % secure.recv(100))
        secure.close()
    except (ssl.SSLError, OSError) as error:
        log.write("refused: %s\n" % error)
        connection.close()
PEER
start_peer() { # mode
  rm -f "$IT_WORK/peer.port"
  : >"$IT_WORK/peer.log"
  /usr/bin/python3 -W ignore "$IT_WORK/peer.py" "$1" "$IT_WORK/address.pem" "$IT_WORK/peer.port" \
    "$IT_WORK/peer.log" 2>>"$IT_WORK/peer.err" &
  peer_pid=$!
  for _ in $(seq 100); do [ -s "$IT_WORK/peer.port" ] && break; sleep 0.05; done
  IT_CONNECT=(-H 127.0.0.1 -P "$(cat "$IT_WORK/peer.port")" -u someone -p secret --timeout 3)
}
stop_peer() { kill "$peer_pid" 2>/dev/null; wait "$peer_pid" 2>/dev/null; peer_pid=""; }

start_peer old
it_ftp --ssl-reqd --pin-sha256 "$pin" pwd
it_expect_rc "a server of TLS 1.1: no logon" 3
it_expect_line "a server of TLS 1.1: says why" "$IT_ERR" "TLS 1.1 or earlier"
it_expect_no_line "a server of TLS 1.1: no account sent" "$IT_WORK/peer.log" "USER"
stop_peer

start_peer sni
it_ftp --ssl-reqd --pin-sha256 "$pin" pwd
it_expect_line "an address: the handshake completes" "$IT_WORK/peer.log" "^command .*USER someone"
it_expect_no_line "no SNI for an address" "$IT_WORK/peer.log" "^SNI "
it_ftp --ssl-reqd --pin-sha256 "$pin" -H localhost pwd
it_expect_line "SNI for a host name" "$IT_WORK/peer.log" "^SNI localhost$"
stop_peer

start_peer silent
started=$SECONDS
it_ftp --ssl-reqd -k pwd
it_expect_rc "a stalled handshake: no logon" 3
it_expect_line "a stalled handshake: the socket's time-out" "$IT_ERR" "[Tt]ime.?out|within 3 s"
it_expect_true "a stalled handshake: ends within the time-out" "took $((SECONDS - started)) s" \
  test $((SECONDS - started)) -le 10
stop_peer

it_summary
