#!/usr/bin/env bash
# LoadFolder (records and thumbnails) of 1,000 camera JPEGs against exiv2 -pa
# on the same files, and its peak memory. usage: load_folder_vs_exiv2.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
bench=$build/bench/bench-load-folder
samples=$root/../shared/samples/pictures
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
i=0
while [ $i -lt 1000 ]; do
  for f in "$samples"/gps/*.jpg "$samples"/cameras/*.jpg; do
    [ $i -ge 1000 ] && break
    cp "$f" "$work/$(printf 'P%04d' $i).jpg"; i=$((i + 1))
  done
done
sync
"$bench" "$work" > /dev/null  # warm the page cache for both
best() { python3 -c "import sys; print(min(float(x) for x in sys.argv[1:]))" "$@"; }
ours=(); peer=()
for run in 1 2 3; do
  ours+=("$("$bench" "$work" | cut -d' ' -f1)")
  start=$(date +%s.%N); exiv2 -q -pa "$work"/*.jpg > /dev/null 2>&1 || true; end=$(date +%s.%N)
  peer+=("$(python3 -c "print($end - $start)")")
done
read -r _ count records < <("$bench" "$work")
peak_kb=$(/usr/bin/time -f %M "$bench" "$work" 2>&1 >/dev/null | tail -1)
python3 - "$(best "${ours[@]}")" "$(best "${peer[@]}")" "$peak_kb" "$count" "$records" <<'PY'
import sys
ours, peer, peak = float(sys.argv[1]), float(sys.argv[2]), float(sys.argv[3])
count, records = sys.argv[4:6]
print(f"LoadFolder of {count} camera JPEGs ({records} records): {ours:.3f} s; exiv2 -pa {peer:.3f} s")
print(f"  ratio: {ours/peer:.2f}x (target at most 3x); peak memory {peak/1024:.1f} MB (target under 150 MB)")
PY
