#!/usr/bin/env bash
# Listing parser benchmark: figures and ratios against Node's basic-ftp (in-process parse of the same
# listing) and Perl's File::Listing (whole process). Prints; never judges. Usage: run.sh [BUILD_DIR]
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$root/build/native}" && pwd)
lines=${PARSER_BENCH_LINES:-100000}

bench=$build/tovalo_parser_bench
cli=$build/tovalo-ftp
for tool in "$bench" "$cli"; do
  [[ -x $tool ]] || { echo "parser bench: $tool is missing; build $build first" >&2; exit 1; }
done

work=$build/bench-parser
mkdir -p "$work"
listing=$work/listing-$lines.txt
"$bench" generate "$lines" "$listing"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1fx", (a > 0 ? b / a : 0) }'; }

# Best wall time in milliseconds of N runs of a command that reads $listing on stdin.
best_run_ms() {
  local runs=$1; shift
  local best="" start end ms
  for ((i = 0; i < runs; ++i)); do
    start=$(date +%s%N)
    "$@" <"$listing" >/dev/null
    end=$(date +%s%N)
    ms=$(( (end - start) / 1000 ))
    if [[ -z $best || $ms -lt $best ]]; then best=$ms; fi
  done
  awk -v us="$best" 'BEGIN { printf "%.1f", us / 1000 }'
}

# In-process: parse every line into a list of entry records, best of several runs.
one_decimal() { awk -v v="$1" 'BEGIN { printf "%.1f", v }'; }

timing=$("$bench" time "$listing" 20)
read -r ours_ms ours_entries <<<"$timing"
ours_ms=$(one_decimal "$ours_ms")

node_dir=$root/build/bench-node
if command -v node >/dev/null && command -v npm >/dev/null; then
  if [[ ! -d $node_dir/node_modules/basic-ftp ]]; then
    mkdir -p "$node_dir"
    npm install --prefix "$node_dir" --no-audit --no-fund --silent basic-ftp@6 >/dev/null
  fi
  timing=$(node "$here/basic-ftp-time.js" "$node_dir/node_modules" "$listing" 20)
  read -r peer_ms peer_entries peer_version <<<"$timing"
  peer_ms=$(one_decimal "$peer_ms")
  echo "parser in-process ($lines lines; entries $ours_entries vs $peer_entries):" \
       "$ours_ms ms vs basic-ftp $peer_version $peer_ms ms: $(ratio "$ours_ms" "$peer_ms") (target >= 10x)"
else
  echo "parser in-process: $ours_ms ms; basic-ftp not measured (node/npm missing)"
fi

# Whole run: start the program, read the listing, print every entry.
ours_run=$(best_run_ms 10 "$cli" parse)
ours_ok=$("$cli" parse <"$listing" | grep -c '^OK' || true)
if perl -MFile::Listing -e 1 2>/dev/null; then
  peer_run=$(best_run_ms 5 perl -MFile::Listing -e 'my @entries = parse_dir(\*STDIN, "GMT");')
  peer_ok=$(perl -MFile::Listing -e 'print scalar(my @e = parse_dir(\*STDIN, "GMT")), "\n"' <"$listing")
  echo "parser whole run ($lines lines; entries $ours_ok vs $peer_ok):" \
       "tovalo-ftp parse $ours_run ms vs File::Listing $peer_run ms: $(ratio "$ours_run" "$peer_run") (target >= 30x)"
else
  echo "parser whole run: tovalo-ftp parse $ours_run ms; File::Listing not measured (libfile-listing-perl missing)"
fi
