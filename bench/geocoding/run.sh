#!/usr/bin/env bash
# Times addresses for 1,000 pictures: the offline places index (load, lookups,
# memory) and a run answered by the address cache, each against a peer
# measured in the same run (see GeocodingBench.cpp).
#   bench/geocoding/run.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build="${1:-$root/build}"
cmake --build "$build" --target bench-geocoding places_index >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Small pictures: the files only carry the records; the coordinates are set in memory.
for i in $(seq -w 1 1000); do
  cp "$root/tests/data/pictures/cameras/Fujifilm_FinePix_E500.jpg" "$work/p$i.jpg"
done
"$build/bench/geocoding/bench-geocoding" "$work"
