#!/usr/bin/env bash
# Stamping and saving a 6000 x 4000 JPEG (GPS band, metadata carried over,
# flushed and renamed; only the band's blocks coded again) against a whole
# re-encode, `djpeg | cjpeg` on the same file, and against ImageMagick
# drawing the same band and text. Two pictures are made here from a sample of
# the test data: one as cameras code them (the standard Huffman tables, so
# the coded data before the band is copied as bytes) and one with Huffman
# tables chosen for the picture (ImageMagick's), which may lack codes the
# band needs: the codes before the band are written again, code for code,
# in the standard tables.
# Whole processes are timed: ours includes starting Qt and its font database.
# usage: run.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
bench=$build/bench/stamping/bench-stamp
sample=$root/tests/data/pictures/gps/DSCN0010.jpg
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

big=$work/big.jpg
convert "$sample" -resize '6000x4000!' -sampling-factor 2x1 -quality 92 "$big"
exiftool -q -overwrite_original -TagsFromFile "$sample" -all:all "$big"
quality=$(identify -format %Q "$big")
camera=$work/camera.jpg
djpeg "$big" | cjpeg -quality "$quality" -sample 2x1 > "$camera"
exiftool -q -overwrite_original -TagsFromFile "$sample" -all:all "$camera"

# The band the stamp draws on a 4000-pixel-high picture: the stamp's own text
# in bold 113.14 px, centred in a black band at 70% one line high.
text=$("$bench" --text "$big")
band_top=$((4000 - 131))
font=$(fc-match -f '%{file}' 'Liberation Sans:bold')

hyperfine --warmup 1 --runs 10 --export-json "$work/result.json" \
  -n corvane "QT_QPA_PLATFORM=offscreen $bench $big $work/ours.jpg" \
  -n corvane-camera "QT_QPA_PLATFORM=offscreen $bench $camera $work/ours-camera.jpg" \
  -n djpeg-cjpeg "djpeg $big | cjpeg -quality $quality -sample 2x1 > $work/floor.jpg" \
  -n djpeg-cjpeg-camera "djpeg $camera | cjpeg -quality $quality -sample 2x1 > $work/floor-camera.jpg" \
  -n imagemagick "convert $big -fill '#000000B3' -draw 'rectangle 0,$band_top 5999,3999' -fill white \
      -font '$font' -pointsize 113.14 -gravity south -annotate +0+10 '$text' -quality $quality $work/im.jpg" \
  > /dev/null

python3 - "$work/result.json" <<'PY'
import json, sys
runs = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
ours, floor, im = (runs[n]["mean"] for n in ("corvane", "djpeg-cjpeg", "imagemagick"))
cam, camFloor = (runs[n]["mean"] for n in ("corvane-camera", "djpeg-cjpeg-camera"))
print(f"stamp and save 6000 x 4000 JPEG, Huffman tables of its own (codes before the band written again):")
print(f"  corvane {ours:.3f} s, djpeg|cjpeg {floor:.3f} s, ImageMagick {im:.3f} s")
print(f"  corvane / djpeg|cjpeg = {ours / floor:.2f}x (target at most 1.0x)")
print(f"  ImageMagick / corvane = {im / ours:.2f}x (target at least 4x)")
print(f"the same picture as cameras code it (coded data before the band copied):")
print(f"  corvane {cam:.3f} s, djpeg|cjpeg {camFloor:.3f} s")
print(f"  corvane / djpeg|cjpeg = {cam / camFloor:.2f}x (aiming at 0.5x)")
print(f"  ImageMagick / corvane = {im / cam:.2f}x (target at least 4x)")
PY
