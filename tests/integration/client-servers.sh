#!/usr/bin/env bash
# The FTP client itself (not the command line) against a real server on loopback: the RealServer tests
# of the native suite, given the server through TOVALO_IT_* variables.
# Usage: client-servers.sh NATIVE_TESTS pyftpdlib|vsftpd
set -uo pipefail
source "$(dirname "$0")/lib.sh"

[ $# -eq 2 ] || { echo "usage: $0 NATIVE_TESTS pyftpdlib|vsftpd" >&2; exit 2; }
tests=$1
kind=$2
[ -x "$tests" ] || { echo "FAIL: $tests is not an executable"; exit 1; }

it_make_work
trap it_cleanup EXIT
root=$IT_WORK/root
mkdir -p "$root"
it_start_server "$kind" "$root"
echo "== $kind on port $FTP_PORT"

TOVALO_IT_HOST=$FTP_HOST TOVALO_IT_PORT=$FTP_PORT TOVALO_IT_USER=$FTP_USER TOVALO_IT_PASS=$FTP_PASS \
  TOVALO_IT_WORK=$IT_WORK timeout 300 "$tests" --gtest_filter='RealServer.*' --gtest_brief=1
status=$?
ftp_server_stop

# The same server requiring FTPS, with a certificate made for the run and pinned.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 -keyout "$IT_WORK/server.pem" \
  -out "$IT_WORK/cert.pem" 2>/dev/null || { echo "FAIL: openssl cannot make a certificate"; exit 1; }
cat "$IT_WORK/cert.pem" >>"$IT_WORK/server.pem"
chmod 644 "$IT_WORK/server.pem"
pin=$(openssl x509 -in "$IT_WORK/cert.pem" -noout -fingerprint -sha256 | sed 's/.*=//; s/://g')
FTP_SERVER_TLS_CERT=$IT_WORK/server.pem it_start_server "$kind" "$root"
echo "== $kind with FTPS on port $FTP_PORT"
TOVALO_IT_HOST=$FTP_HOST TOVALO_IT_PORT=$FTP_PORT TOVALO_IT_USER=$FTP_USER TOVALO_IT_PASS=$FTP_PASS \
  TOVALO_IT_WORK=$IT_WORK TOVALO_IT_TLS_PIN=$pin timeout 300 "$tests" --gtest_filter='RealServer.BlockByBlock*' \
  --gtest_brief=1 || status=1
exit $status
