#!/usr/bin/env bash
# Times the switch to the metadata view of a loaded folder of 2,000 pictures.
#   bench/ui/run.sh [BUILD_DIR] [COUNT]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build="${1:-$root/build}"
count="${2:-2000}"
cmake --build "$build" --target bench-metadata-view-switch >/dev/null
"$build/bench/ui/bench-metadata-view-switch" "$root/../shared/samples" "$count"
