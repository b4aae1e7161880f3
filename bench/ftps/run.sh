#!/usr/bin/env bash
# The transfer benchmark over explicit FTPS: tovalo-ftp --ssl-reqd against curl --ssl-reqd on a
# vsftpd that requires TLS on both connections (target: at least 0.9x curl). Usage: as
# bench/transfer/run.sh.
here=$(cd "$(dirname "$0")" && pwd)
# Passive: curl makes no active FTPS data connection on loopback here.
BENCH_FTP_TLS=1 BENCH_FTP_MODE=${BENCH_FTP_MODE:-passive} BENCH_TRANSFER_RUNS=${BENCH_TRANSFER_RUNS:-3} exec "$here/../transfer/run.sh" "$@"
