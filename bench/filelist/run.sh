#!/usr/bin/env bash
# Folder loads into the control's list (LoadDirFiles) in icon and report view under both icon sets,
# against bare fills of a plain list view in the same view with redraw held, under Wine, in one
# process; with the memory and the deletes of the listed rows. The 64-bit control (TOVALO_WIN64_BUILD,
# default build/win64, when built; empty: none) is measured the same way against the same bare fills
# in a 64-bit process, its line beside the 32-bit one's.
# Prints figures; never judges. Usage: run.sh [NATIVE_BUILD_DIR]; the Windows build is
# TOVALO_WIN_BUILD (default build/win) and is made when missing. FILELIST_BENCH_COUNTS overrides the
# folder sizes ("1000 10000 50000"), FILELIST_BENCH_ROUNDS the runs each figure is the best of (3),
# FILELIST_BENCH_DPIS the screens' dots per inch it runs on in turn ("96 192": each other than 96 in a
# copy of the Wine prefix, scripts/lib/wine-dpi.sh).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
win=$(realpath -m "${TOVALO_WIN_BUILD:-$root/build/win}")
bench=$win/tovalo_filelist_bench.exe
if [[ ! -f $bench || ! -f $win/Tovalo.ocx ]]; then
  if [[ $win == "$root/build/win" ]]; then make -s -C "$root" win >&2; fi
fi
[[ -f $bench ]] || { echo "filelist bench: $bench is missing; build $win first" >&2; exit 1; }
win64=${TOVALO_WIN64_BUILD-$root/build/win64}
[[ -z $win64 || -f $win64/tovalo_filelist_bench.exe ]] || {
  echo "filelist bench: no 64-bit figures: $win64/tovalo_filelist_bench.exe is missing (make win64)" >&2
  win64=""
}

source "$root/scripts/lib/wine-env.sh"
source "$root/scripts/lib/wine-dpi.sh"
# The folders are made once and kept beside the build for the next run.
work=$win/bench-filelist
mkdir -p "$work"
read -r -a counts <<<"${FILELIST_BENCH_COUNTS:-1000 10000 50000}"
# Made here rather than by the bench: Wine makes a new file only after looking through the whole
# folder for another spelling of its name, which takes minutes at 50,000 files.
python3 - "$work" "${counts[@]}" <<'PY'
import os, sys
kinds = "txt doc docx xls xlsx ppt pdf hwp jpg png gif bmp zip 7z mp3 mp4 avi html csv log".split()
for count in map(int, sys.argv[2:]):
    folder = os.path.join(sys.argv[1], "mixed%d" % count)
    os.makedirs(folder, exist_ok=True)
    for i in range(count):
        path = os.path.join(folder, "file%05d.%s" % (i, kinds[i % len(kinds)]))
        if not os.path.exists(path):
            with open(path, "wb") as f:
                f.write(b"x")
PY
main_prefix=$WINEPREFIX
# A bound on each run: a message box nobody answers would otherwise wait for ever.
run() { timeout "${FILELIST_BENCH_TIMEOUT:-1800}" wine "$1/tovalo_filelist_bench.exe" "$(wine_path "$work")" "${counts[@]}" | tr -d '\r'; }
status=0
for dpi in ${FILELIST_BENCH_DPIS:-96 192}; do
  # Each screen a Wine environment of its own, stopped before the next starts.
  (
    if [ "$dpi" != 96 ]; then wine_dpi_prefix "$main_prefix" "$dpi"; fi
    wine_env_start
    wine_register_ocx "$win/Tovalo.ocx" || exit 1
    [[ -z $win64 ]] || wine_register_ocx "$win64/Tovalo.ocx" || exit 1
    echo "At $dpi dots per inch: LoadDirFiles against bare fills of the same view with the same file and shell calls, redraw held:"
    if [[ -z $win64 ]]; then
      run "$win"
      exit
    fi
    status=0
    run "$win" >"$work/32.out" || status=$?
    run "$win64" >"$work/64.out" || status=$?
    # The two runs print the same lines in the same order: a line they share is printed once, a
    # line of figures twice, the 32-bit control's first.
    awk 'NR == FNR { first[FNR] = $0; n = FNR; next }
         { second[FNR] = $0; if (FNR > n) n = FNR }
         END {
           for (i = 1; i <= n; i++) {
             if (first[i] == second[i]) { print first[i]; continue }
             print "  32-bit" first[i]; print "  64-bit" second[i]
           }
         }' "$work/32.out" "$work/64.out"
    exit $status
  ) || status=$?
done
exit $status
