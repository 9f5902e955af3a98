#!/usr/bin/env python3
"""Writes a GPX 1.1 track of N points (default 500,000), each with a Garmin
track-point extension (temperature and depth): about 100 MB for the default."""
import math
import sys

def main():
    out = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 500_000
    start = 1_367_000_000  # 2013-04-26
    with open(out, "w", encoding="utf-8", newline="\n") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n'
                '<gpx version="1.1" creator="bench" xmlns="http://www.topografix.com/GPX/1/1"'
                ' xmlns:gx="http://www.garmin.com/xmlschemas/GpxExtensions/v3">\n'
                ' <trk>\n  <name>Bench track</name>\n  <trkseg>\n')
        for i in range(count):
            t = start + i
            lat = 46.0 + 0.5 * math.sin(i / 5000.0) + (i % 97) * 1e-7
            lon = 7.0 + 0.5 * math.cos(i / 7000.0) + (i % 89) * 1e-7
            day, rest = divmod(t, 86400)
            f.write('<trkpt lat="%.7f" lon="%.7f">\n'
                    '<ele>%.3f</ele>'
                    '<time>%s</time>'
                    '<extensions><gx:TrackPointExtension>'
                    '<gx:Temperature>%.1f</gx:Temperature><gx:Depth>%.2f</gx:Depth>'
                    '</gx:TrackPointExtension></extensions>'
                    '</trkpt>\n'
                    % (lat, lon, 400 + 300 * math.sin(i / 3000.0), iso(t),
                       10 + (i % 200) / 10.0, (i % 1000) / 100.0))
        f.write('  </trkseg>\n </trk>\n</gpx>\n')

def iso(t):
    import time
    return time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(t))

if __name__ == "__main__":
    main()
