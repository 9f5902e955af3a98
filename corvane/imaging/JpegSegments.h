// The marker segments of a JPEG stream up to its first scan: where APP0,
// APP1 (EXIF, XMP), APP13, COM and the tables sit. Bounded by the data given;
// a stream that is cut short or malformed gives what was found before the fault.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct JpegSegment {
    std::uint8_t Marker = 0;   // the byte after 0xFF
    size_t Offset = 0;         // of the 0xFF byte
    size_t PayloadOffset = 0;  // after the two length bytes
    size_t PayloadSize = 0;
    size_t End() const { return PayloadOffset + PayloadSize; }
};

// False when the data does not start with a JPEG SOI marker. The last
// segment is the first SOS when the scan was reached.
bool ScanJpegSegments(const std::uint8_t* data, size_t size, std::vector<JpegSegment>& segments);

constexpr std::uint8_t kJpegApp0 = 0xE0;
constexpr std::uint8_t kJpegApp1 = 0xE1;
constexpr std::uint8_t kJpegApp2 = 0xE2;
constexpr std::uint8_t kJpegApp13 = 0xED;
constexpr std::uint8_t kJpegCom = 0xFE;
constexpr std::uint8_t kJpegDqt = 0xDB;
constexpr std::uint8_t kJpegSos = 0xDA;

// What a segment carries, as far as metadata writing is concerned.
enum class JpegBlock { Image, Exif, Xmp, XmpExtension, Photoshop, Comment, OtherApp };
JpegBlock BlockOf(const std::uint8_t* data, const JpegSegment& segment);

// The bytes of a JPEG up to and including its first SOS segment: all a
// metadata edit needs. Empty when the data holds no scan.
std::string_view JpegHeaderOf(std::string_view jpeg);

// The Photoshop resource block of APP13 segments (after "Photoshop 3.0\0"),
// joined when it spans several segments, with the offset in the stream of each
// piece. Empty when there is none.
struct JpegPhotoshopBlock {
    std::string Data;
    std::vector<std::pair<size_t, size_t>> Pieces;  // stream offset, length
};
JpegPhotoshopBlock FindJpegPhotoshopBlock(const std::uint8_t* data, size_t size);

// Gives `recoded` (a JPEG whose image data was coded again from `source`)
// the metadata segments of `source` in place of its own: every APPn and COM
// segment before the source's first scan, in its order and bytes, except a
// multi-picture index (it points at images after the source's own, which
// are not carried). The image data moves within `recoded` where its
// capacity allows. False, and `recoded` unchanged, when either stream has no scan.
bool WithSourceMetadataSegments(std::string_view source, std::string& recoded);
