#!/usr/bin/env bash
# Smoke test of the Windows build of tovalo-ftp under Wine against pyftpdlib on loopback: logon,
# put and get byte for byte in both modes, ls, a refusal and a wrong password.
# Usage: wine-smoke.sh TOVALO_FTP_EXE   (inside scripts/with-wine, or it sets Wine up itself)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

[ $# -eq 1 ] || { echo "usage: $0 TOVALO_FTP_EXE" >&2; exit 2; }
exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
[ -f "$exe" ] || { echo "FAIL: $1 does not exist"; exit 1; }

it_use_wine "$exe"

it_make_work
root=$IT_WORK/root
mkdir -p "$root/list" "$IT_WORK/local"
head -c 1234 /dev/urandom >"$root/list/recent.txt"
it_start_server pyftpdlib "$root"
echo "== $(basename "$exe") under Wine, pyftpdlib on port $FTP_PORT"

it_make_binary "$IT_WORK/local/data.bin" $((512 * 1024 + 3))
: >"$IT_WORK/local/empty.bin"

for mode in active passive; do
  extra=()
  [ "$mode" = active ] || extra=(--passive)
  for name in data.bin empty.bin; do
    it_ftp "${extra[@]}" put "$(wine_path "$IT_WORK/local/$name")" "$mode-$name"
    it_expect_same "$mode: put $name" "$IT_WORK/local/$name" "$root/$mode-$name"
    it_ftp "${extra[@]}" get "$mode-$name" "$(wine_path "$IT_WORK/local/back-$mode-$name")"
    it_expect_same "$mode: get $name" "$IT_WORK/local/$name" "$IT_WORK/local/back-$mode-$name"
  done
  it_ftp "${extra[@]}" ls list
  it_expect_rc "$mode: ls" 0
  it_expect_line "$mode: ls shows recent.txt with its size" "$IT_OUT" \
    $'^OK\trecent\\.txt\t0\t1\t[0-9]+\t1234\t'
done

it_ftp noop
it_expect_line "-v masks the password" "$IT_ERR" '^> PASS \*\*\*\*'
it_ftp get missing.bin "$(wine_path "$IT_WORK/local/never.bin")"
it_expect_rc "refused get" 1
it_run -H "$FTP_HOST" -P "$FTP_PORT" -u "$FTP_USER" -p wrong-password --timeout 10 noop
it_expect_rc "wrong password" 3

it_summary
