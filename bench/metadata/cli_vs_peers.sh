#!/usr/bin/env bash
# Measures corvane-cli show/set against exiv2 and exiftool on 1,000 JPEG
# copies of the GPS samples and prints the ratios of one run.
# usage: bench/metadata/cli_vs_peers.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
cli=$build/corvane/cli/corvane-cli
samples=$root/../shared/samples/pictures/gps
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for tool in exiv2 exiftool hyperfine /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing $tool"; exit 1; }
done

make_copies() {  # fresh copies so that every set starts from the camera's file
  rm -rf "$work/pics"; mkdir -p "$work/pics"
  local i=0
  while [ $i -lt 1000 ]; do
    for f in "$samples"/*.jpg; do
      [ $i -ge 1000 ] && break
      cp "$f" "$work/pics/$(printf 'P%04d' $i).jpg"; i=$((i + 1))
    done
  done
}
make_copies
sync

json=$work/show.json
hyperfine --warmup 1 --runs 5 --export-json "$json" \
  "$cli show --csv $work/pics > /dev/null" \
  "exiv2 -q -pa $work/pics/*.jpg > /dev/null 2>&1" \
  "exiftool -q -csv -n -DateTimeOriginal -GPSLatitude -GPSLongitude -GPSAltitude -GPSImgDirection -GPSDOP -GPSMapDatum -GPSDateStamp -GPSTimeStamp -Sub-location -City -Province-State -Country-PrimaryLocationName $work/pics > /dev/null" >/dev/null
read -r ours exiv exift < <(python3 -c "import json,sys; r=json.load(open('$json'))['results']; print(*[x['mean'] for x in r])")

peak_kb=$(/usr/bin/time -f %M "$cli" show --csv "$work/pics" 2>&1 >/dev/null | tail -1)


# set: each tool runs on fresh copies, timed once per run over all 1,000 files.
time_set() {  # prints seconds of one run of "$@" on fresh copies
  make_copies; sync; sleep 2
  local start end
  start=$(date +%s.%N); "$@" > /dev/null 2>&1; end=$(date +%s.%N)
  python3 -c "print($end - $start)"
}
best() { python3 -c "import sys; print(min(float(x) for x in sys.argv[1:]))" "$@"; }
s_ours=(); s_exiv=(); s_exift=()
for run in 1 2 3; do
  s_ours+=("$(time_set "$cli" set --lat 48.858844 --lon 2.294351 --city Paris "$work/pics")")
  s_exiv+=("$(time_set bash -c "exiv2 -M'set Exif.GPSInfo.GPSLatitude 48/1 51/1 31838/1000' -M'set Exif.GPSInfo.GPSLatitudeRef N' -M'set Exif.GPSInfo.GPSLongitude 2/1 17/1 39663/1000' -M'set Exif.GPSInfo.GPSLongitudeRef E' -M'set Iptc.Application2.City Paris' mo $work/pics/*.jpg")")
done
s_exift+=("$(time_set exiftool -q -overwrite_original -GPSLatitude=48.858844 -GPSLatitudeRef=N -GPSLongitude=2.294351 -GPSLongitudeRef=E -City=Paris "$work/pics")")
set_ours=$(best "${s_ours[@]}"); set_exiv=$(best "${s_exiv[@]}"); set_exift=$(best "${s_exift[@]}")

python3 - "$ours" "$exiv" "$exift" "$peak_kb" "$set_ours" "$set_exiv" "$set_exift" <<'PY'
import sys
ours, exiv, exift, peak, sours, sexiv, sexift = map(float, sys.argv[1:])
print(f"show --csv, 1,000 JPEGs: corvane-cli {ours:.3f} s, exiv2 -pa {exiv:.3f} s, exiftool -csv -n {exift:.3f} s")
print(f"  ratio to exiv2 -pa: {ours/exiv:.2f}x (target <= 1.5x); exiftool is {exift/ours:.1f}x slower (target >= 10x)")
print(f"  peak memory of show: {peak/1024:.1f} MB (target < 64 MB)")
print(f"set lat/lon/city, 1,000 JPEGs: corvane-cli {sours:.3f} s, exiv2 -M {sexiv:.3f} s, exiftool {sexift:.3f} s")
print(f"  ratio to exiv2 -M: {sours/sexiv:.2f}x (target <= 2x); exiftool is {sexift/sours:.1f}x slower (target >= 5x)")
PY
