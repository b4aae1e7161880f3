#!/usr/bin/env bash
# Folder loads into the control's list (LoadDirFiles) against a bare loop of the same calls, under
# Wine, in one process. Prints figures; never judges. Usage: run.sh [NATIVE_BUILD_DIR]; the Windows
# build is TOVALO_WIN_BUILD (default build/win) and is made when missing. FILELIST_BENCH_COUNTS
# overrides the folder sizes ("100 1000 5000").
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
win=$(realpath -m "${TOVALO_WIN_BUILD:-$root/build/win}")
bench=$win/tovalo_filelist_bench.exe
if [[ ! -f $bench || ! -f $win/Tovalo.ocx ]]; then
  if [[ $win == "$root/build/win" ]]; then make -s -C "$root" win >&2; fi
fi
[[ -f $bench ]] || { echo "filelist bench: $bench is missing; build $win first" >&2; exit 1; }

source "$root/scripts/lib/wine-env.sh"
wine_env_start
wine_register_ocx "$win/Tovalo.ocx" || { echo "filelist bench: Tovalo.ocx does not register" >&2; exit 1; }
# The folders are made once and kept beside the build for the next run.
work=$win/bench-filelist
mkdir -p "$work"
read -r -a counts <<<"${FILELIST_BENCH_COUNTS:-100 1000 5000}"
echo "LoadDirFiles against a bare loop of the same file, shell and list-view calls (no duplicate scan):"
# A bound on the whole run: a message box nobody answers would otherwise wait for ever.
timeout "${FILELIST_BENCH_TIMEOUT:-1800}" wine "$bench" "$(winepath -w "$work")" "${counts[@]}" | tr -d '\r'
