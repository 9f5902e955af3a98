#!/usr/bin/env bash
# velloc-convert as a user meets it: a good file converts, and a file that is
# not GPX, is cut short or holds an invalid time gives one line naming the
# file and exit 1, with no output file written.
set -u
convert=$1
samples=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0

check_fails() {  # name content expected-words
  printf '%s' "$2" > "$dir/$1.gpx"
  local message status
  message=$("$convert" "$dir/$1.gpx" "$dir/$1.out.gpx" 2>&1 >/dev/null)
  status=$?
  if [ $status -ne 1 ] || [ "$(printf '%s\n' "$message" | wc -l)" -ne 1 ] ||
     [[ "$message" != *"$dir/$1.gpx"* ]] || [[ "$message" != *"$3"* ]] || [ -e "$dir/$1.out.gpx" ]; then
    echo "FAIL $1: status $status, message: $message"
    failures=$((failures + 1))
  fi
}

head='<?xml version="1.0"?><gpx version="1.1" creator="t" xmlns="http://www.topografix.com/GPX/1/1">'
check_fails not-gpx '<?xml version="1.0"?><kml><Document/></kml>' "not a GPX file"
check_fails cut-short "$head<trk><trkseg><trkpt lat=\"1\" lon=\"2\"></trkpt>" "ends before"
check_fails bad-time "$head<wpt lat=\"1\" lon=\"2\"><time>2013-13-45T00:00:00Z</time></wpt></gpx>" "invalid time"
check_fails not-xml 'hello' "line 1"

if [ ! -d "$samples/gpx" ]; then
  echo "FAIL: the test data is missing at $samples/gpx"; failures=$((failures + 1))
else
  if ! "$convert" "$samples/gpx/gpx_garmin_extensions.gpx" "$dir/ok.gpx" --garmin --creator Smoke 2.5; then
    echo "FAIL: a sample did not convert"; failures=$((failures + 1))
  elif ! grep -q 'creator="Smoke v2.5"' "$dir/ok.gpx"; then
    echo "FAIL: creator not written"; failures=$((failures + 1))
  fi
fi
[ $failures -eq 0 ] && echo "all checks passed"
exit $((failures > 0))
