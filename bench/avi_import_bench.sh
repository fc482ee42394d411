#!/usr/bin/env bash
# Importing AVI files with cinemill-cli beside FFmpeg, in the same run:
# a 640x480, 300-frame uncompressed 8-bit AVI, and a 24-bit one (whose frames
# are then merged to a palette), each turned into a GIF by
#   cinemill-cli convert IN -o OUT.gif      and      ffmpeg -i IN OUT.gif
# Prints the mean times and the ratio (ours / ffmpeg). Needs ffmpeg and
# hyperfine; CLI defaults to build/cinemill/cli/cinemill-cli.
set -euo pipefail
cd "$(dirname "$0")/.."
cli=${CLI:-build/cinemill/cli/cinemill-cli}
runs=${RUNS:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
src="testsrc2=size=640x480:rate=10"
# (swscale's fixed 256-colour palette; a palettegen pass over all frames
# would hold every frame in memory.)
ffmpeg -nostdin -v error -y -f lavfi -i "$src" -frames:v 300 -c:v rawvideo -pix_fmt pal8 "$work/pal8.avi"
ffmpeg -nostdin -v error -y -f lavfi -i "$src" -frames:v 300 -c:v rawvideo -pix_fmt bgr24 "$work/bgr24.avi"
for kind in pal8 bgr24; do
  in="$work/$kind.avi"
  echo "== $kind: $(du -h "$in" | cut -f1)"
  hyperfine --runs "$runs" --warmup 1 --export-json "$work/$kind.json" \
    -n ours "$cli convert $in -o $work/ours-$kind.gif" \
    -n ffmpeg "ffmpeg -nostdin -v error -y -threads 1 -i $in $work/ffmpeg-$kind.gif" >/dev/null
  python3 - "$work/$kind.json" "$kind" <<'PY'
import json, sys
r = {x["command"]: x["mean"] for x in json.load(open(sys.argv[1]))["results"]}
print(f"{sys.argv[2]}: ours {r['ours']:.3f} s, ffmpeg {r['ffmpeg']:.3f} s, ratio ours/ffmpeg {r['ours']/r['ffmpeg']:.2f}")
PY
done
