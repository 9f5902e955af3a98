#!/usr/bin/env bash
# Makes the pictures of this folder from real samples of tests/data, for the
# cases no real sample has. Run once; the results are kept in the repository
# (SOURCES.md lists what each one is). Needs exiftool, exiv2 and python3.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
pictures=$(cd "$here/.." && pwd)
cd "$here"

copy() { cp "$pictures/$1" "$2" && chmod 0644 "$2"; }
exiv2_set() { local file=$1; shift; local args=(); for c in "$@"; do args+=(-M "$c"); done; exiv2 "${args[@]}" mo "$file"; }

# A JPEG with GPS in degrees and decimal minutes (from the camera), three IPTC
# keywords, the IPTC location fields, and XMP carrying the geotag mirror, the
# IPTC Extension LocationCreated/LocationShown structures and other XMP.
out=kodak-keywords-xmp.jpg
copy cameras/Kodak_CX7530.jpg $out
exiftool -q -overwrite_original -codedcharacterset=utf8 \
  -IPTC:Keywords=alpha -IPTC:Keywords=beta -IPTC:Keywords=gamma \
  -IPTC:Sub-location="Lake Shore" -IPTC:City="Kisumu" -IPTC:Province-State="Nyanza" \
  -IPTC:Country-PrimaryLocationName="Kenya" -IPTC:Country-PrimaryLocationCode="KEN" \
  -XMP-photoshop:City="Kisumu" -XMP-photoshop:State="Nyanza" -XMP-photoshop:Country="Kenya" \
  -XMP-iptcCore:Location="Lake Shore" -XMP-iptcCore:CountryCode="KEN" \
  -XMP-exif:GPSLatitude="0 22.278 S" -XMP-exif:GPSLongitude="36 3.385 E" \
  -XMP-iptcExt:LocationCreatedCity="Kisumu" -XMP-iptcExt:LocationCreatedGPSLatitude="0 22.278 S" \
  -XMP-iptcExt:LocationCreatedGPSLongitude="36 3.385 E" \
  -XMP-iptcExt:LocationShownCity="Kericho" -XMP-iptcExt:LocationShownGPSLatitude="0.3689 S" \
  -XMP-iptcExt:LocationShownGPSLongitude="35.2863 E" \
  -XMP-dc:Subject=alpha -XMP-dc:Subject=beta -XMP-dc:Title="Harbour at dawn" \
  $out

# A JPEG with every GPS tag the geotag record has no field for, values stored
# with more precision than the writer's defaults (6.45599999 s, 14:27:07.24,
# 8848.86 m), both direction references, and a maker note.
out=fuji-gps-extras.jpg
copy cameras/Fujifilm_FinePix_E500.jpg $out
exiv2_set $out \
  "set Exif.GPSInfo.GPSVersionID Byte 2 3 0 0" \
  "set Exif.GPSInfo.GPSLatitudeRef Ascii N" \
  "set Exif.GPSInfo.GPSLatitude Rational 27/1 59/1 1734/100" \
  "set Exif.GPSInfo.GPSLongitudeRef Ascii E" \
  "set Exif.GPSInfo.GPSLongitude Rational 86/1 55/1 645599999/100000000" \
  "set Exif.GPSInfo.GPSAltitudeRef Byte 0" \
  "set Exif.GPSInfo.GPSAltitude Rational 884886/100" \
  "set Exif.GPSInfo.GPSTimeStamp Rational 14/1 27/1 724/100" \
  "set Exif.GPSInfo.GPSSatellites Ascii 07" \
  "set Exif.GPSInfo.GPSStatus Ascii A" \
  "set Exif.GPSInfo.GPSMeasureMode Ascii 3" \
  "set Exif.GPSInfo.GPSDOP Rational 23/10" \
  "set Exif.GPSInfo.GPSSpeedRef Ascii K" \
  "set Exif.GPSInfo.GPSSpeed Rational 0/1" \
  "set Exif.GPSInfo.GPSImgDirectionRef Ascii M" \
  "set Exif.GPSInfo.GPSImgDirection Rational 27125/100" \
  "set Exif.GPSInfo.GPSMapDatum Ascii WGS-84" \
  "set Exif.GPSInfo.GPSDestLatitudeRef Ascii N" \
  "set Exif.GPSInfo.GPSDestLatitude Rational 27/1 58/1 5/1" \
  "set Exif.GPSInfo.GPSDestLongitudeRef Ascii E" \
  "set Exif.GPSInfo.GPSDestLongitude Rational 86/1 56/1 1/1" \
  "set Exif.GPSInfo.GPSDestBearingRef Ascii T" \
  "set Exif.GPSInfo.GPSDestBearing Rational 4550/100" \
  "set Exif.GPSInfo.GPSProcessingMethod Undefined 65 83 67 73 73 0 0 0 71 80 83" \
  "set Exif.GPSInfo.GPSAreaInformation Undefined 65 83 67 73 73 0 0 0 75 104 117 109 98 117" \
  "set Exif.GPSInfo.GPSDateStamp Ascii 2008:05:22" \
  "set Exif.GPSInfo.GPSDifferential Short 0"

# A TIFF with GPS in degrees and decimal minutes, three IPTC keywords with
# the location fields (IPTC lives in IFD0 and in the Photoshop block), and
# the XMP mirror of the coordinates.
out=arbitro-iptc-gps.tif
copy tiff/Arbitro.tiff $out
exiftool -q -overwrite_original -codedcharacterset=utf8 \
  -IPTC:Keywords=one -IPTC:Keywords=two -IPTC:Keywords=three \
  -IPTC:City="Zermatt" -IPTC:Province-State="Valais" -IPTC:Country-PrimaryLocationName="Schweiz" \
  -XMP-photoshop:City="Zermatt" -XMP-exif:GPSLatitude="45 58.6 N" -XMP-exif:GPSLongitude="7 39.5 E" \
  $out
exiv2_set $out \
  "set Exif.GPSInfo.GPSVersionID Byte 2 2 0 0" \
  "set Exif.GPSInfo.GPSLatitudeRef Ascii N" \
  "set Exif.GPSInfo.GPSLatitude Rational 45/1 5860/100 0/1" \
  "set Exif.GPSInfo.GPSLongitudeRef Ascii E" \
  "set Exif.GPSInfo.GPSLongitude Rational 7/1 3950/100 0/1" \
  "set Exif.GPSInfo.GPSAltitudeRef Byte 0" \
  "set Exif.GPSInfo.GPSAltitude Rational 447786/100"

# A JPEG whose only IPTC lives in an AFCP trailer after the image (location
# fields and a keyword), as some archiving software writes it.
out=olympus-afcp-trailer.jpg
copy cameras/Olympus_C8080WZ.jpg $out
python3 - "$out" <<'EOF'
import struct, sys
path = sys.argv[1]
def dataset(number, text):
    b = text.encode()
    return b"\x1c\x02" + bytes([number]) + struct.pack(">H", len(b)) + b
iptc = (b"\x1c\x02\x00\x00\x02\x00\x04" + dataset(25, "archive") + dataset(92, "Old Town") +
        dataset(90, "Trailerton") + dataset(95, "Tail County") + dataset(100, "TRL") + dataset(101, "Trailland"))
with open(path, "rb") as f:
    data = f.read()
start = len(data)
entries = [(b"IPTC", iptc), (b"TEXT", b"archived copy\x00")]
header = b"AXS!" + struct.pack(">HHI", 0x0100, len(entries), 0)
value_pos = start + 12 + 12 * len(entries)
directory, values = b"", b""
for tag, value in entries:
    directory += tag + struct.pack(">II", len(value), value_pos + len(values))
    values += value
trailer = header + directory + values + b"AXS!" + struct.pack(">II", start, 0)
with open(path, "wb") as f:
    f.write(data + trailer)
EOF

# Damaged TIFFs that libtiff still reads (item: a picture the metadata library
# cannot parse fully must never be destroyed by a save).
# IFD0's entry count set to 0xFFFF.
out=jobagent-ifd0-count-ffff.tif
copy tiff/Jobagent.tiff $out
python3 - "$out" <<'EOF'
import struct, sys
path = sys.argv[1]
data = bytearray(open(path, "rb").read())
order = "<" if data[:2] == b"II" else ">"
ifd0 = struct.unpack(order + "I", data[4:8])[0]
data[ifd0:ifd0 + 2] = b"\xff\xff"
open(path, "wb").write(bytes(data))
EOF

# StripByteCounts renamed to a private tag: the strip's length is unknown.
out=arbitro-no-stripbytecounts.tif
copy tiff/Arbitro.tiff $out
python3 - "$out" <<'EOF'
import struct, sys
path = sys.argv[1]
data = bytearray(open(path, "rb").read())
order = "<" if data[:2] == b"II" else ">"
ifd0 = struct.unpack(order + "I", data[4:8])[0]
count = struct.unpack(order + "H", data[ifd0:ifd0 + 2])[0]
for i in range(count):
    at = ifd0 + 2 + 12 * i
    if struct.unpack(order + "H", data[at:at + 2])[0] == 279:
        data[at:at + 2] = struct.pack(order + "H", 65000)
open(path, "wb").write(bytes(data))
EOF

# A JPEG whose IPTC time was written without a zone (as some programs do):
# a writer that rewrites it must not make it UTC.
out=olympus-iptc-time-without-zone.jpg
copy cameras/Olympus_C8080WZ.jpg $out
exiftool -q -overwrite_original '-IPTC:TimeCreated#=143947' -IPTC:Keywords=kept $out
python3 - "$out" <<'EOF'
import struct, sys
path = sys.argv[1]
data = bytearray(open(path, "rb").read())
# The time dataset shortened inside the IPTC resource of the Photoshop block
# of APP13, every length on the way made to agree.
pos = 2
while data[pos + 1] != 0xED:
    pos += 2 + struct.unpack(">H", data[pos + 2:pos + 4])[0]
length = struct.unpack(">H", data[pos + 2:pos + 4])[0]
block = bytes(data[pos + 4 + 14:pos + 2 + length])
out, at = b"", 0
while at + 12 <= len(block) and block[at:at + 4] == b"8BIM":
    rid = struct.unpack(">H", block[at + 4:at + 6])[0]
    name = block[at + 6] + 1
    name += name % 2
    size = struct.unpack(">I", block[at + 6 + name:at + 10 + name])[0]
    value = block[at + 10 + name:at + 10 + name + size]
    if rid == 0x0404:
        value = value.replace(b"\x1c\x02\x3c\x00\x0b143947+0000", b"\x1c\x02\x3c\x00\x06143947")
    out += block[at:at + 6 + name] + struct.pack(">I", len(value)) + value + b"\0" * (len(value) % 2)
    at += 10 + name + size + size % 2
payload = b"Photoshop 3.0\0" + out
data[pos:pos + 2 + length] = b"\xff\xed" + struct.pack(">H", len(payload) + 2) + payload
open(path, "wb").write(bytes(data))
EOF

# JPEGs no decoder can open, whose segment structure is broken before the
# image data: a metadata writer that follows them loses what it skips.
# APP0's length made 255: the segment swallows the start of APP1.
out=olympus-bad-app0-length.jpg
copy cameras/Olympus_C8080WZ.jpg $out
printf '\xff' | dd of=$out bs=1 seek=5 conv=notrunc status=none
# The marker byte of the first quantisation table lost.
out=olympus-dqt-marker-lost.jpg
copy cameras/Olympus_C8080WZ.jpg $out
printf '\x00' | dd of=$out bs=1 seek=$((0x7fb)) conv=notrunc status=none

echo "made: $(ls "$here" | grep -v make-fixtures.sh | tr '\n' ' ')"
