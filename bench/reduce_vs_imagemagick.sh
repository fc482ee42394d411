#!/usr/bin/env bash
# Colour reduction beside ImageMagick, on the GIFs of the shared harness corpus.
#
#   bench/reduce_vs_imagemagick.sh [CLI]
#
# For every corpus GIF, every colour count (COLORS, default "64 16") and
# without/with dithering, it times
#   ours:        cinemill-cli reduce IN -o OUT --colors N [--dither]
#   ImageMagick: convert IN -colors N [+dither] OUT      (+dither = no dither)
# (best of RUNS wall-clock runs, single-threaded ImageMagick with the harness's
# raised resource policy) and reports the time ratio (ImageMagick / ours) and
# the mean PSNR of the rendered frames of each output against the unreduced
# input (cinemill-cli psnr: browser-style compositing, transparent = black,
# identical frames count as 100 dB).
#
# Environment: CORPUS (default /tmp/cinemill-bench/corpus; make it with the
# harness's make_corpus.sh), OUT (default /tmp/cinemill-bench/reduce),
# HARNESS (the shared bench directory, for impolicy/), RUNS (default 1),
# FILES (space-separated basenames, default every *.gif), COLORS.
set -euo pipefail
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
CLI="$(realpath "${1:-$HERE/../build/cinemill/cli/cinemill-cli}")"
CORPUS="${CORPUS:-/tmp/cinemill-bench/corpus}"
OUT="${OUT:-/tmp/cinemill-bench/reduce}"
HARNESS="${HARNESS:-$HERE/../../shared/bench}"
RUNS="${RUNS:-1}"
COLORS="${COLORS:-64 16}"
export MAGICK_THREAD_LIMIT=1 OMP_NUM_THREADS=1
[[ -d "$HARNESS/impolicy" ]] && export MAGICK_CONFIGURE_PATH="$(realpath "$HARNESS/impolicy")"
command -v convert >/dev/null || { echo "ImageMagick convert is missing" >&2; exit 2; }
[[ -x "$CLI" ]] || { echo "no cinemill-cli at $CLI" >&2; exit 2; }
[[ -d "$CORPUS" ]] || { echo "no corpus at $CORPUS (run make_corpus.sh $CORPUS)" >&2; exit 2; }
mkdir -p "$OUT"

# Best wall-clock seconds of RUNS runs of a command.
best_time() {
    local best="" t0 t1 s
    for ((i = 0; i < RUNS; i++)); do
        t0=$(date +%s%N)
        "$@" >/dev/null 2>&1 || { echo "FAILED"; return; }
        t1=$(date +%s%N)
        s=$(( (t1 - t0) / 1000 ))
        [[ -z "$best" || $s -lt $best ]] && best=$s
    done
    awk -v us="$best" 'BEGIN { printf "%.3f", us / 1e6 }'
}

psnr() { "$CLI" psnr "$1" "$2" 2>/dev/null || echo "NA"; }

if [[ -n "${FILES:-}" ]]; then
    files=(); for f in $FILES; do files+=("$CORPUS/$f.gif"); done
else
    files=("$CORPUS"/*.gif)
fi

results="$OUT/results.tsv"
printf "file\tcolors\tdither\tours_s\tim_s\tratio\tours_psnr\tim_psnr\n" | tee "$results"
for in in "${files[@]}"; do
    name="$(basename "$in" .gif)"
    for n in $COLORS; do
        for d in 0 1; do
            ours="$OUT/${name}_${n}_${d}_ours.gif"
            im="$OUT/${name}_${n}_${d}_im.gif"
            if [[ $d == 1 ]]; then
                t_ours=$(best_time "$CLI" reduce "$in" -o "$ours" --colors "$n" --dither)
                t_im=$(best_time convert "$in" -colors "$n" "$im")
            else
                t_ours=$(best_time "$CLI" reduce "$in" -o "$ours" --colors "$n")
                t_im=$(best_time convert "$in" -colors "$n" +dither "$im")
            fi
            ratio=$(awk -v a="$t_im" -v b="$t_ours" 'BEGIN { if (b + 0 > 0 && a + 0 > 0) printf "%.1f", a / b; else print "NA" }')
            printf "%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n" "$name" "$n" "$d" "$t_ours" "$t_im" "$ratio" \
                "$(psnr "$in" "$ours")" "$(psnr "$in" "$im")" | tee -a "$results"
        done
    done
done

awk -F'\t' 'NR > 1 && $6 != "NA" {
        if (min == "" || $6 + 0 < min) { min = $6 + 0; at = $1 " " $2 " dither=" $3 }
        if ($7 != "NA") { so += $7; no++ } if ($8 != "NA") { si += $8; ni++ }
    }
    END {
        printf "\nslowest ratio (ImageMagick time / ours): %s  (%s)\n", min, at
        if (no) printf "mean PSNR ours: %.2f dB over %d runs\n", so / no, no
        if (ni) printf "mean PSNR ImageMagick: %.2f dB over %d runs\n", si / ni, ni
    }' "$results"
