#!/usr/bin/env bash
# Our optimizer beside `gifsicle -O3` on every GIF of the third-party corpus
# that gifsicle writes a non-empty file for: one line per file (ours, -O3,
# bytes) into OUT.tsv, then the count and the bytes of the files where ours
# is larger. Ours is FAIL where it did not finish cleanly (an input it cannot
# read, or reads only in part); those are not compared.
#   bench/optimize_vs_gifsicle_corpus.sh build/cinemill/cli/cinemill-cli /tmp/conf.tsv
set -uo pipefail
cli=$1 out=$2
corpus=$(cd "$(dirname "$0")/../../shared/corpus" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
: >"$out"
while IFS= read -r -d '' f; do
  # In a subshell of its own, so that a gifsicle crash is reported nowhere.
  (gifsicle -O3 "$f" -o "$tmp/g.gif"; exit $?) >/dev/null 2>&1 && [ -s "$tmp/g.gif" ] || continue
  g=$(stat -c%s "$tmp/g.gif")
  rm -f "$tmp/o.gif"
  if timeout 120 "$cli" optimize "$f" -o "$tmp/o.gif" >/dev/null 2>&1; then o=$(stat -c%s "$tmp/o.gif"); else o=FAIL; fi
  printf '%s\t%s\t%s\n' "$f" "$o" "$g" >>"$out"
done < <(find "$corpus" -type f -iname '*.gif' -print0 | sort -z)
awk -F'\t' '$2 != "FAIL" { n++; ours += $2; o3 += $3; if ($2 > $3) { over++; by += $2 - $3 } }
  $2 == "FAIL" { fail++ }
  END { printf "files %d (ours %d bytes, -O3 %d); ours larger on %d by %d bytes; ours did not finish on %d\n",
        n, ours, o3, over, by, fail }' "$out"
