#!/usr/bin/env bash
# The Windows build of tovalo-ftp --ssl-reqd under Wine (Schannel) against a real server that
# requires explicit FTPS on both connections, with self-signed certificates made for the run:
# transfers both ways and listings in active and passive mode with the certificate pinned; how the
# certificate is judged (a pin, the trust store and the host name or address, -k), every refusal
# ending the logon before the account is sent; against a scripted peer, chains of a private root
# that the client must judge itself (Wine's Schannel and its SSL policy let partial chains and
# issuers that are no authority through), a server that offers only TLS 1.1, SNI sent for a name
# but not for an address, and a server that stalls the handshake.
# The trust store: the run's roots are added to the user Root store (the registry) of a copy of the
# Wine prefix, made for the run and removed after it; the shared prefix never trusts them.
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

own_prefix=""
peer_pid=""
cleanup() {
  trap '' INT TERM  # a second TERM must not cut it short
  if [ -n "$peer_pid" ]; then kill "$peer_pid" 2>/dev/null; wait "$peer_pid" 2>/dev/null; fi
  if [ -n "$own_prefix" ]; then
    WINEPREFIX=$own_prefix wineserver -k >/dev/null 2>&1
    WINEPREFIX=$own_prefix wineserver -w >/dev/null 2>&1
    rm -rf "$own_prefix" "$own_prefix.lock"
    export WINEPREFIX=$shared_prefix  # for the environment's own stop, when this script made it
  fi
  it_cleanup
}
it_use_wine "$exe" cleanup

# The run's own prefix (hard links, about 0.1 s) with a wineserver of its own on the same display.
shared_prefix=$WINEPREFIX
own_prefix=$(mktemp -d "$(dirname "$shared_prefix")/ftps-prefix.XXXXXX") || exit 1
export WINEPREFIX=$own_prefix
wine_env_clone_prefix "$shared_prefix" 2>/dev/null
wineserver -p

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

# Adds the certificate (NAME.crt in the work folder or FOLDER) to the user's Root store of the
# run's prefix: a registry key named by its SHA-1 whose Blob is the certificate as a serialized
# property (id 32, 1, its length, then the DER bytes).
trust_cert() { # name [folder]
  local crt=${2:-$IT_WORK}/$1.crt der=${2:-$IT_WORK}/$1.der thumb key
  openssl x509 -in "$crt" -outform DER -out "$der"
  thumb=$(openssl x509 -in "$crt" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')
  key="HKCU\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\$thumb"
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
      it_expect_no_account "$name: no account sent" "$log.mark"
    fi
  done
}

start_server address
echo "== $(basename "$exe") under Wine, $kind with FTPS on port $FTP_PORT"

# Several records per send and per receive, a last record that is not full, and every byte value.
it_make_binary "$IT_WORK/local/data.bin" 3000000
: >"$IT_WORK/local/empty.bin"
for mode in active passive; do
  flags=(--ssl-reqd --pin-sha256 "$pin")
  [ "$mode" = passive ] && flags+=(--passive)
  for name in data.bin empty.bin; do
    it_ftp "${flags[@]}" put "$(wine_path "$IT_WORK/local/$name")" "/$mode-$name" , \
      get "/$mode-$name" "$(wine_path "$IT_WORK/local/back-$mode-$name")" , ls /
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
# usual and logs the SNI name it got ("sni"), or never answers the client's hello ("silent"). Its
# certificates (key, leaf, then the chain it sends) are read from PEM at every connection. Over
# TLS it logs every command and answers a logon, PWD and QUIT.
cat >"$IT_WORK/peer.py" <<'PEER'
import socket, ssl, sys
mode, pem, port_file, log_file = sys.argv[1:]
log = open(log_file, "a", buffering=1)
def note_name(connection, name, _):
    if name:
        log.write("SNI %s\n" % name)
replies = {b"USER": b"331 password", b"PASS": b"230 in", b"PWD": b'257 "/"', b"QUIT": b"221 bye"}
listener = socket.create_server(("127.0.0.1", 0))
open(port_file, "w").write(str(listener.getsockname()[1]))
while True:
    connection = listener.accept()[0]
    connection.settimeout(10)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(pem)
    if mode == "old":
        context.set_ciphers("DEFAULT:@SECLEVEL=0")
        context.minimum_version = context.maximum_version = ssl.TLSVersion.TLSv1_1
    context.sni_callback = note_name
    try:
        connection.sendall(b"220 peer\r\n")
        connection.recv(100)
        connection.sendall(b"234 go\r\n")
        if mode == "silent":
            connection.recv(4096)
            continue
        secure = context.wrap_socket(connection, server_side=True)
        lines = secure.makefile("rb")
        for line in lines:
            log.write("command %r\n" % line)
            verb = line.split(b" ")[0].strip().upper()
            secure.sendall(replies.get(verb, b"200 ok") + b"\r\n")
            if verb == b"QUIT":
                break
        log.write("closed\n")
        secure.close()
    except (ssl.SSLError, OSError) as error:
        log.write("refused: %s\n" % error)
        connection.close()
PEER
start_peer() { # mode
  rm -f "$IT_WORK/peer.port"
  : >"$IT_WORK/peer.log"
  /usr/bin/python3 -W ignore "$IT_WORK/peer.py" "$1" "$IT_WORK/peer.pem" "$IT_WORK/peer.port" \
    "$IT_WORK/peer.log" 2>>"$IT_WORK/peer.err" &
  peer_pid=$!
  wait_for_file "$IT_WORK/peer.port" 10 "$peer_pid"
  IT_CONNECT=(-H 127.0.0.1 -P "$(cat "$IT_WORK/peer.port")" -u someone -p secret --timeout 3)
}
stop_peer() { kill "$peer_pid" 2>/dev/null; wait "$peer_pid" 2>/dev/null; peer_pid=""; }

# Chains of a private root, made for the run with RSA keys only (Wine refuses about one in fifty
# valid ECDSA P-256 signatures). Each authority has a key of its own, or a leaf signed by one
# authority could pass for a leaf of another; the leaves share one.
pki=$IT_WORK/pki
mkdir "$pki"
: >"$pki/index.txt"
echo 01 >"$pki/serial"
cat >"$pki/ca.cnf" <<CNF
[ca]
default_ca = test
[test]
database = $pki/index.txt
new_certs_dir = $pki
serial = $pki/serial
default_md = sha256
default_days = 2
policy = any
unique_subject = no
[any]
commonName = optional
CNF
authority() { # name
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$pki/$1.key" -subj "/CN=Tovalo test $1" -days 2 \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign \
    -out "$pki/$1.crt" 2>/dev/null
}
# NAME.crt for SUBJECT and KEY.key (made if new), signed by ISSUER, with the extensions given;
# after a "--", options of openssl ca (such as the dates).
issue() { # name issuer subject key extension... [-- option...]
  local name=$1 issuer=$2 subject=$3 key=$4
  shift 4
  : >"$pki/$name.ext"
  while [ $# -gt 0 ] && [ "$1" != -- ]; do echo "$1" >>"$pki/$name.ext"; shift; done
  [ $# -gt 0 ] && shift
  [ -f "$pki/$key.key" ] || openssl genrsa -out "$pki/$key.key" 2048 2>/dev/null
  openssl req -new -key "$pki/$key.key" -subj "$subject" -out "$pki/$name.csr" &&
    openssl ca -batch -notext -config "$pki/ca.cnf" -cert "$pki/$issuer.crt" -keyfile "$pki/$issuer.key" \
      -in "$pki/$name.csr" -out "$pki/$name.crt" -extfile "$pki/$name.ext" "$@" 2>/dev/null ||
    { echo "FAIL: openssl cannot make $name"; exit 1; }
}
authority_ext=(basicConstraints=critical,CA:TRUE keyUsage=critical,keyCertSign,cRLSign
  subjectKeyIdentifier=hash authorityKeyIdentifier=keyid)
leaf_ext=(basicConstraints=CA:FALSE keyUsage=critical,digitalSignature,keyEncipherment
  subjectKeyIdentifier=hash authorityKeyIdentifier=keyid)
server=(extendedKeyUsage=serverAuth subjectAltName=DNS:good.example.org)
authority root
authority stranger
issue inter root "/CN=Tovalo test intermediate" inter "${authority_ext[@]}"
issue hidden root "/CN=Tovalo test hidden intermediate" hidden "${authority_ext[@]}"
# Anyone's ordinary server certificate from the trusted root, and an intermediate that does not
# say it is an authority.
issue plain root /CN=plain.example.org plain "${leaf_ext[@]}" extendedKeyUsage=serverAuth \
  subjectAltName=DNS:plain.example.org
issue nobc root "/CN=Tovalo test no constraints" nobc subjectKeyIdentifier=hash authorityKeyIdentifier=keyid
issue good root /CN=good.example.org leaf "${leaf_ext[@]}" "${server[@]}"
for issuer in inter hidden stranger plain nobc; do
  issue "via-$issuer" "$issuer" /CN=good.example.org leaf "${leaf_ext[@]}" "${server[@]}"
done
issue wild root /CN=wild leaf "${leaf_ext[@]}" extendedKeyUsage=serverAuth "subjectAltName=DNS:*.example.org"
issue wild-org root /CN=example.org leaf "${leaf_ext[@]}" extendedKeyUsage=serverAuth "subjectAltName=DNS:*.org"
issue wild-org-cn root "/CN=*.org" leaf "${leaf_ext[@]}" extendedKeyUsage=serverAuth
issue expired root /CN=good.example.org leaf "${leaf_ext[@]}" "${server[@]}" -- \
  -startdate 20200101000000Z -enddate 20200201000000Z
issue client-only root /CN=good.example.org leaf "${leaf_ext[@]}" extendedKeyUsage=clientAuth \
  subjectAltName=DNS:good.example.org
issue address-san root /CN=127.0.0.1 leaf "${leaf_ext[@]}" extendedKeyUsage=serverAuth subjectAltName=IP:127.0.0.1
trust_cert root "$pki"

# Each row: the certificates the server sends (its leaf first), the name the certificate must carry
# (the client connects to 127.0.0.1 all the same), and "taken" or the words of the refusal, which
# must come before the account is sent.
cp "$IT_WORK/address.pem" "$IT_WORK/peer.pem"
start_peer sni
while IFS='|' read -r name chain host outcome; do
  [ -n "$name" ] || continue
  read -r -a certs <<<"$chain"
  cat "$pki/leaf.key" "${certs[@]/#/$pki/}" >"$IT_WORK/peer.pem"
  : >"$IT_WORK/peer.log"
  it_ftp --ssl-reqd --cert-name "$host" pwd
  if [ "$outcome" = taken ]; then
    it_expect_rc "$name: taken" 0
  else
    it_expect_rc "$name: refused" 3
    it_expect_line "$name: says why" "$IT_ERR" "certificate is not trusted: .*$outcome"
    it_expect_no_line "$name: no account sent" "$IT_WORK/peer.log" "USER"
  fi
done <<ROWS
the chain to the trusted root|good.crt|good.example.org|taken
an intermediate that the server sends|via-inter.crt inter.crt|good.example.org|taken
*.example.org for good.example.org|wild.crt|good.example.org|taken
an address among the names|address-san.crt|127.0.0.1|taken
a partial chain: the intermediate is not sent|via-hidden.crt|good.example.org|does not chain
an unknown issuer, not sent|via-stranger.crt|good.example.org|does not chain
an issuer marked CA:FALSE|via-plain.crt plain.crt|good.example.org|not an authority
an issuer without basicConstraints|via-nobc.crt nobc.crt|good.example.org|not an authority
*.org among the names, for example.org|wild-org.crt|example.org|it is not for example.org
*.org as the common name, for example.org|wild-org-cn.crt|example.org|it is not for example.org
an expired certificate|expired.crt|good.example.org|expired
a certificate for clients only|client-only.crt|good.example.org|not meant for a TLS server
ROWS
stop_peer
cp "$IT_WORK/address.pem" "$IT_WORK/peer.pem"

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
