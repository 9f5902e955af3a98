#!/usr/bin/env bash
# Geotags 1,000 JPEG copies of the samples from a 500,000-point track with
# Garmin extensions, with corvane-cli geotag and with exiftool -geotag on the
# same files and track (fresh copies before every run, both writing every
# picture), and prints the ratio of one run, with corvane-cli --dry-run to
# tell placing from writing; then times the Geotag from Track dialog's
# preview on the same folder once the track is read.
#   bench/tracks/run.sh [BUILD_DIR] [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
runs=${2:-3}
out="$root/bench/out"
samples=$root/tests/data/pictures
cli=$build/corvane/cli/corvane-cli
for tool in exiftool hyperfine python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool"; exit 1; }
done
cmake --build "$build" --target corvane-cli bench-geotag-preview >/dev/null
mkdir -p "$out"
track="$out/track500k.gpx"
[ -s "$track" ] || python3 "$root/bench/velloc/make-track.py" "$track" 500000

# 1,000 copies, each taken at its own moment of the track (UTC camera
# clock), made once and kept.
pristine="$out/geotag-pictures"
if [ ! -f "$pristine/.complete" ]; then
  rm -rf "$pristine"; mkdir -p "$pristine"
  args="$out/geotag-dates.txt"; : > "$args"
  i=0
  while [ $i -lt 1000 ]; do
    for f in "$samples"/gps/*.jpg "$samples"/cameras/*.jpg; do
      [ $i -ge 1000 ] && break
      name=$(printf 'P%04d.jpg' $i)
      cp "$f" "$pristine/$name"
      # From 2013-04-26T18:15:00Z (the track's second 100) every 7.5 minutes.
      when=$(date -u -d "@$((1367000100 + i * 450))" '+%Y:%m:%d %H:%M:%S')
      # No sub-seconds or offset: both programs are told the same UTC time.
      printf -- '-overwrite_original\n-DateTimeOriginal=%s\n-SubSecTimeOriginal=\n-OffsetTimeOriginal=\n%s\n-execute\n' \
        "$when" "$pristine/$name" >> "$args"
      i=$((i + 1))
    done
  done
  exiftool -@ "$args" -common_args -q -q >/dev/null 2>&1 || true
  touch "$pristine/.complete"
fi
work="$out/geotag-work"

echo "track: $(du -h "$track" | cut -f1), $(grep -c '<trkpt' "$track") points; pictures: $(ls "$pristine" | wc -l)"
json="$out/geotag.json"
hyperfine --runs "$runs" --export-json "$json" \
  --prepare "rm -rf '$work' && cp -a '$pristine' '$work' && sync" \
  -n corvane-cli "$cli geotag --overwrite --tz UTC --track '$track' '$work' > /dev/null" \
  -n dry-run "$cli geotag --dry-run --overwrite --tz UTC --track '$track' '$work' > /dev/null" \
  -n exiftool "exiftool -q -q -overwrite_original -geotag '$track' '-geotime<\${DateTimeOriginal}+00:00' '$work'" \
  >/dev/null

# Both placed the same pictures.
rm -rf "$work" && cp -a "$pristine" "$work"
"$cli" geotag --overwrite --tz UTC --track "$track" "$work" | tail -1

python3 - "$json" <<'PY'
import json, sys
runs = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
c, e = runs["corvane-cli"], runs["exiftool"]
print(f"corvane-cli geotag  {c['mean']:7.2f} s  (min {c['min']:.2f})")
print(f"exiftool -geotag    {e['mean']:7.2f} s  (min {e['min']:.2f})")
d = runs["dry-run"]
print(f"  of which writing  {c['mean'] - d['mean']:7.2f} s  (--dry-run: {d['mean']:.2f} s; the new files are flushed to disk)")
print(f"exiftool / corvane  {e['mean'] / c['mean']:7.1f}x  (target: at least 10x)")
cpu = {n: runs[n]["user"] + runs[n]["system"] for n in runs}
print(f"cpu time            corvane-cli {cpu['corvane-cli']:.2f} s, exiftool {cpu['exiftool']:.2f} s")
PY
rm -rf "$work" && cp -a "$pristine" "$work"
"$build/bench/tracks/bench-geotag-preview" "$work" "$track" 20
rm -rf "$work"
