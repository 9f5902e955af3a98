// The entry points of the fuzz targets. Each takes one input of any content
// and must return normally whatever the input holds: a crash, a leak, undefined
// behaviour, a hang or a huge allocation is a fault of the code it drives.
// FuzzMain.cpp makes a libFuzzer target of each; the replay test runs the
// inputs kept in tests/data/fuzz/<name>/ through the same entry in the
// ordinary build.
#pragma once

#include <cstddef>
#include <cstdint>

using FuzzEntry = int (*)(const std::uint8_t* data, std::size_t size);

// The picture metadata reader, the geotag decoder, and the writer: the
// decoded record is committed back, the result read again, and an edited
// record committed over that.
int FuzzPictureMetadata(const std::uint8_t* data, std::size_t size);
// The JPEG decoder at full size and at a thumbnail scale, and the re-encode of a stamped canvas.
int FuzzJpegCodec(const std::uint8_t* data, std::size_t size);
// The TIFF decoder and the re-encode of a stamped canvas with its other pages.
int FuzzTiffCodec(const std::uint8_t* data, std::size_t size);
// A folder thumbnail of the input as a file (EXIF thumbnail or scaled decode).
int FuzzThumbnailer(const std::uint8_t* data, std::size_t size);
// A GeoNames answer.
int FuzzGeoNames(const std::uint8_t* data, std::size_t size);
// A GPX file.
int FuzzGpx(const std::uint8_t* data, std::size_t size);

struct FuzzTarget {
    const char* Name;  // also the folder of its kept inputs in tests/data/fuzz
    FuzzEntry Entry;
};

extern const FuzzTarget kFuzzTargets[];
extern const std::size_t kFuzzTargetCount;
