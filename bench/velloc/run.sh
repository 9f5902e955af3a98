#!/usr/bin/env bash
# Times velloc-convert on a 500,000-point GPX track with Garmin track-point
# extensions against `xmllint --stream` (parsing alone) and gpsbabel's own
# GPX-to-GPX conversion, in one run, and prints the ratios and peak memories.
# Usage: bench/velloc/run.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out="$root/bench/out"
mkdir -p "$out"
input="$out/track500k.gpx"
[ -s "$input" ] || python3 "$root/bench/velloc/make-track.py" "$input" 500000
convert="$build/velloc/velloc-convert"
[ -x "$convert" ] || { echo "build velloc-convert first ($convert)"; exit 1; }

echo "input: $(du -h "$input" | cut -f1), $(grep -c '<trkpt' "$input") track points"
hyperfine --warmup 1 --runs 5 --export-json "$out/velloc.json" \
  -n velloc "$convert $input $out/velloc-out.gpx --garmin" \
  -n xmllint "xmllint --stream --noout $input" \
  -n gpsbabel "gpsbabel -i gpx -f $input -o gpx -F $out/gpsbabel-out.gpx" >/dev/null

peak() {  # peak resident memory in MB of one run
  /usr/bin/time -f "%M" "$@" 2>&1 >/dev/null | tail -1 | awk '{printf "%.0f", $1 / 1024}'
}
velloc_mb=$(peak "$convert" "$input" "$out/velloc-out.gpx" --garmin)
babel_mb=$(peak gpsbabel -i gpx -f "$input" -o gpx -F "$out/gpsbabel-out.gpx")

python3 - "$out/velloc.json" "$velloc_mb" "$babel_mb" <<'PY'
import json, sys
runs = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
v, x, g = (runs[n]["mean"] for n in ("velloc", "xmllint", "gpsbabel"))
print(f"velloc-convert      {v:6.2f} s  (min {runs['velloc']['min']:.2f})")
print(f"xmllint --stream    {x:6.2f} s  (min {runs['xmllint']['min']:.2f})")
print(f"gpsbabel gpx->gpx   {g:6.2f} s  (min {runs['gpsbabel']['min']:.2f})")
print(f"velloc / xmllint    {v / x:6.2f}x  (target: at most 2x)")
print(f"gpsbabel / velloc   {g / v:6.2f}x  (target: at least 5x)")
# Processor time (user + system) wanders less than elapsed time on a
# machine shared with other work; the same targets hold for it.
cpu = {n: runs[n]["user"] + runs[n]["system"] for n in ("velloc", "xmllint", "gpsbabel")}
print(f"cpu time            velloc {cpu['velloc']:.2f} s, xmllint {cpu['xmllint']:.2f} s, gpsbabel {cpu['gpsbabel']:.2f} s"
      f"  (velloc / xmllint {cpu['velloc'] / cpu['xmllint']:.2f}x, gpsbabel / velloc {cpu['gpsbabel'] / cpu['velloc']:.2f}x)")
print(f"peak memory         velloc {sys.argv[2]} MB, gpsbabel {sys.argv[3]} MB"
      f"  (velloc / gpsbabel {int(sys.argv[2]) / int(sys.argv[3]):.2f}, target: at most 0.5)")
PY
