#!/usr/bin/env bash
# tovalo-ftp --ssl-reqd against a real server that requires explicit FTPS on both connections, with
# a self-signed certificate made for the run: transfers both ways and listings in active and
# passive mode, the certificate judged by a pin, by the trust store (SSL_CERT_FILE) and host name,
# or not at all (-k); a wrong pin, an untrusted certificate and a plain server end the logon
# before the account is sent.
# Usage: ftps.sh TOVALO_FTP pyftpdlib|vsftpd
set -uo pipefail
source "$(dirname "$0")/lib.sh"

[ $# -eq 2 ] || { echo "usage: $0 TOVALO_FTP pyftpdlib|vsftpd" >&2; exit 2; }
IT_CLIENT=("$1")
kind=$2
[ -x "$1" ] || { echo "FAIL: $1 is not an executable"; exit 1; }

it_make_work
trap it_cleanup EXIT
root=$IT_WORK/root
mkdir -p "$root" "$IT_WORK/local"
cert=$IT_WORK/server.pem
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 \
  -addext subjectAltName=IP:127.0.0.1 -keyout "$cert" -out "$IT_WORK/cert.pem" 2>/dev/null ||
  { echo "FAIL: openssl cannot make a certificate"; exit 1; }
cat "$IT_WORK/cert.pem" >>"$cert"
chmod 644 "$cert"
pin=$(openssl x509 -in "$IT_WORK/cert.pem" -noout -fingerprint -sha256 | sed 's/.*=//')
wrong_pin=$(printf '%064d' 0)

FTP_SERVER_TLS_CERT=$cert it_start_server "$kind" "$root"
log=$FTP_STATE/$([ "$kind" = vsftpd ] && echo vsftpd.log || echo server.log)
echo "== $kind with FTPS on port $FTP_PORT"
it_make_binary "$IT_WORK/local/data.bin" 3000000

# Transfers and a listing in both modes, the certificate pinned.
for mode in active passive; do
  flags=(--ssl-reqd --pin-sha256 "$pin")
  [ "$mode" = passive ] && flags+=(--passive)
  it_ftp "${flags[@]}" put "$IT_WORK/local/data.bin" "/$mode.bin" , \
    get "/$mode.bin" "$IT_WORK/local/$mode.back" , ls /
  it_expect_same "$mode: put arrives whole" "$IT_WORK/local/data.bin" "$root/$mode.bin"
  it_expect_true "$mode: get returns it whole" "differs" cmp -s "$IT_WORK/local/data.bin" "$IT_WORK/local/$mode.back"
  it_expect_line "$mode: ls over TLS" "$IT_OUT" "$mode\\.bin"
done

# How the certificate is judged: each row is its options, the exit status, and SSL_CERT_FILE.
while IFS='|' read -r name options status trust; do
  [ -n "$name" ] || continue
  : >"$log.mark"
  before=$(wc -l <"$log")
  read -r -a words <<<"$options"
  SSL_CERT_FILE=${trust:-/nonexistent} it_ftp "${words[@]}" pwd
  it_expect_rc "$name" "$status"
  if [ "$status" != 0 ]; then
    # Refused before USER: the account never reached the server.
    tail -n +"$((before + 1))" "$log" >"$log.mark"
    it_expect_no_account "$name: no account sent" "$log.mark"
  fi
done <<ROWS
trusted by the store, host name checked|--ssl-reqd|0|$IT_WORK/cert.pem
trusted, but not for the name given|--ssl-reqd --cert-name localhost|3|$IT_WORK/cert.pem
not trusted by the store|--ssl-reqd|3|
a wrong pin, even with a trusting store|--ssl-reqd --pin-sha256 $wrong_pin|3|$IT_WORK/cert.pem
any certificate with -k|--ssl-reqd -k|0|
ROWS
it_expect_line "-k warns" "$IT_ERR" "warning: --insecure"

it_ftp --pin-sha256 "$pin" pwd
it_expect_rc "a pin without --ssl-reqd is a usage error" 2

ftp_server_stop
# A server without TLS: AUTH TLS is refused, and the session ends before USER.
it_start_server "$kind" "$root"
plain_log=$FTP_STATE/$([ "$kind" = vsftpd ] && echo vsftpd.log || echo server.log)
it_ftp --ssl-reqd -k pwd
it_expect_rc "a plain server: no logon" 3
it_expect_line "a plain server: says TLS was refused" "$IT_ERR" "refused TLS"
it_expect_no_account "a plain server: no account sent" "$plain_log"

it_summary
