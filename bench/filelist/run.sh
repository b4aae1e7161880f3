#!/usr/bin/env bash
# Folder loads into the control's list (LoadDirFiles) in icon and report view under both icon sets,
# against bare fills of a plain list view in the same view with redraw held, under Wine, in one
# process; with the memory and the deletes of the listed rows.
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
for dpi in ${FILELIST_BENCH_DPIS:-96 192}; do
  # Each screen a Wine environment of its own, stopped before the next starts.
  (
    if [ "$dpi" != 96 ]; then wine_dpi_prefix "$main_prefix" "$dpi"; fi
    wine_env_start
    wine_register_ocx "$win/Tovalo.ocx" || exit 1
    echo "At $dpi dots per inch: LoadDirFiles against bare fills of the same view with the same file and shell calls, redraw held:"
    # A bound on the whole run: a message box nobody answers would otherwise wait for ever.
    timeout "${FILELIST_BENCH_TIMEOUT:-1800}" wine "$bench" "$(wine_path "$work")" "${counts[@]}" | tr -d '\r'
  )
done
