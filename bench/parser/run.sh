#!/usr/bin/env bash
# Listing parser benchmark at 10k, 100k and 1M lines: in-process against Node's basic-ftp (each side
# builds a fresh list of entries every run), whole runs against Perl's File::Listing, and the peak
# memory of tovalo-ftp parse. Prints figures and ratios; never judges. Usage: run.sh [BUILD_DIR]
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
source "$root/scripts/lib/wait.sh"
build=$(cd "${1:-$root/build/native}" && pwd)
sizes=${PARSER_BENCH_SIZES:-10000 100000 1000000}

bench=$build/tovalo_parser_bench
cli=$build/tovalo-ftp
for tool in "$bench" "$cli"; do
  [[ -x $tool ]] || { echo "parser bench: $tool is missing; build $build first" >&2; exit 1; }
done
work=$build/bench-parser
mkdir -p "$work"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1fx", (a > 0 ? b / a : 0) }'; }
one_decimal() { awk -v v="$1" 'BEGIN { printf "%.1f", v }'; }
# Fewer runs for larger listings, the same count for both sides.
runs_for() { if (($1 >= 1000000)); then echo 3; elif (($1 >= 100000)); then echo 7; else echo 20; fi; }

# Best wall time in milliseconds of N runs of a command that reads the listing on stdin.
best_run_ms() { # runs listing command...
  local runs=$1 listing=$2 best="" start end us
  shift 2
  for ((i = 0; i < runs; ++i)); do
    start=$(date +%s%N)
    "$@" <"$listing" >/dev/null
    end=$(date +%s%N)
    us=$(((end - start) / 1000))
    if [[ -z $best || $us -lt $best ]]; then best=$us; fi
  done
  awk -v us="$best" 'BEGIN { printf "%.1f", us / 1000 }'
}

node_dir=$root/build/bench-node
have_node=0
if command -v node >/dev/null && command -v npm >/dev/null; then
  if [[ ! -d $node_dir/node_modules/basic-ftp ]]; then
    mkdir -p "$node_dir"
    npm install --prefix "$node_dir" --no-audit --no-fund --silent basic-ftp@6 >/dev/null
  fi
  have_node=1
fi
have_perl=0
perl -MFile::Listing -e 1 2>/dev/null && have_perl=1

cat <<'TEXT'
Fields each side produces per entry:
  tovalo (CFTPFileStatus, one counted record per entry, kept as the client's ListEntries keeps
    it): name, may-cd and may-get flags, size and size type, modification time converted to
    seconds since 1970 UTC (year guessed for dates without one) and its type, permissions, owner,
    group and link count as text (EPLF also an identifier).
  basic-ftp parseList (FileInfo): name, type, size, user, group, hard-link count, permissions split
    into user/group/world sets, link target, and the date only as the raw text of the line (no time).
  File::Listing parse_dir: name, type (with link target), size, modification time (epoch), mode.
Timings are the best of N runs; in-process figures exclude reading the file, whole runs include
starting the program, reading stdin and (tovalo-ftp) printing every entry line.
Memory between in-process runs: each run's list is freed after its clock stops. V8 keeps its heap
for the next run, and "freed memory kept" lets glibc do the same (trim and mmap thresholds raised in
the bench only). With glibc's default it returns the freed top of its heap to the system after every
run, and the next run pays the kernel for faulting in and zeroing each page again, which on this
machine costs more than the parse; that figure is printed too.
TEXT

for lines in $sizes; do
  listing=$work/listing-$lines.txt
  [[ -s $listing ]] || "$bench" generate "$lines" "$listing"
  runs=$(runs_for "$lines")
  echo
  echo "--- $lines lines ($(($(stat -c %s "$listing") / 1024)) KiB), best of $runs"

  read -r vec_ms vec_entries <<<"$("$bench" time-kept "$listing" "$runs")"
  read -r trim_ms trim_entries <<<"$("$bench" time "$listing" "$runs")"
  read -r cb_ms cb_entries <<<"$("$bench" stream "$listing" "$runs")"
  vec_ms=$(one_decimal "$vec_ms")
  trim_ms=$(one_decimal "$trim_ms")
  cb_ms=$(one_decimal "$cb_ms")
  if ((have_node)); then
    read -r peer_ms peer_entries peer_version \
      <<<"$(node "$here/basic-ftp-time.js" "$node_dir/node_modules" "$listing" "$runs")"
    peer_ms=$(one_decimal "$peer_ms")
    echo "in-process, fresh list of entries, freed memory kept: tovalo $vec_ms ms ($vec_entries) vs basic-ftp" \
         "$peer_version $peer_ms ms ($peer_entries): $(ratio "$vec_ms" "$peer_ms") (target >= 10x)"
    echo "in-process, fresh list of entries, glibc's default trim: tovalo $trim_ms ms ($trim_entries) vs basic-ftp" \
         "$peer_ms ms: $(ratio "$trim_ms" "$peer_ms")"
    echo "in-process, entries to a callback (no list kept, as ls): tovalo $cb_ms ms ($cb_entries) vs basic-ftp's list" \
         "$peer_ms ms: $(ratio "$cb_ms" "$peer_ms")"
  else
    echo "in-process: tovalo $vec_ms ms into a list ($trim_ms ms with glibc's default trim), $cb_ms ms to a" \
         "callback; basic-ftp not measured (node/npm missing)"
  fi

  ours_run=$(best_run_ms "$runs" "$listing" "$cli" parse)
  ours_ok=$("$cli" parse <"$listing" | grep -c '^OK' || true)
  if ((have_perl)); then
    peer_run=$(best_run_ms "$runs" "$listing" perl -MFile::Listing -e 'my @entries = parse_dir(\*STDIN, "GMT");')
    peer_ok=$(perl -MFile::Listing -e 'print scalar(my @e = parse_dir(\*STDIN, "GMT")), "\n"' <"$listing")
    echo "whole run: tovalo-ftp parse $ours_run ms ($ours_ok) vs File::Listing $peer_run ms ($peer_ok):" \
         "$(ratio "$ours_run" "$peer_run")$( ((lines == 100000)) && echo " (target >= 30x, set at 100k lines)")"
  else
    echo "whole run: tovalo-ftp parse $ours_run ms; File::Listing not measured (libfile-listing-perl missing)"
  fi

  if [[ -x /usr/bin/time ]]; then
    /usr/bin/time -f %M -o "$work/time.out" "$cli" parse <"$listing" >/dev/null
    parse_kib=$(tail -n 1 "$work/time.out")
    # The same listing as a server's LIST, through tovalo-ftp ls (entries printed as they arrive).
    rm -f "$work/port"
    /usr/bin/python3 "$here/listing-server.py" "$listing" "$work/port" &
    server_pid=$!
    wait_for_file "$work/port" 10 "$server_pid"
    /usr/bin/time -f %M -o "$work/time.out" "$cli" -H 127.0.0.1 -P "$(cat "$work/port")" --passive ls \
      >"$work/ls.out" || echo "parser bench: tovalo-ftp ls failed" >&2
    kill "$server_pid" 2>/dev/null
    wait "$server_pid" 2>/dev/null || true
    ls_kib=$(tail -n 1 "$work/time.out")
    echo "peak resident memory: tovalo-ftp parse $parse_kib KiB; tovalo-ftp ls $ls_kib KiB" \
         "($(grep -c '^OK' "$work/ls.out") entries printed)"
  fi
done
