#!/usr/bin/env bash
# Builds and runs the map repaint benchmark: bench/map/run.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build="${1:-${CORVANE_BUILD_DIR:-$root/build}}"
cmake --build "$build" -j2 --target bench-map-repaint worldmap
/usr/bin/time -f "peak memory %M KB" "$build/bench/map/bench-map-repaint"
