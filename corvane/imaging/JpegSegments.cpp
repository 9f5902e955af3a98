#include "JpegSegments.h"

#include <cstring>

bool ScanJpegSegments(const std::uint8_t* data, size_t size, std::vector<JpegSegment>& segments)
{
    segments.clear();
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
    size_t pos = 2;
    while (pos + 4 <= size) {
        if (data[pos] != 0xFF) return true;  // not a marker: stop at what we have
        std::uint8_t marker = data[pos + 1];
        if (marker == 0xFF) {                // fill byte
            ++pos;
            continue;
        }
        if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            pos += 2;  // markers without a length
            continue;
        }
        if (marker == 0xD9) return true;
        const size_t length = static_cast<size_t>(data[pos + 2]) << 8 | data[pos + 3];
        if (length < 2 || pos + 2 + length > size) return true;
        segments.push_back({marker, pos, pos + 4, length - 2});
        if (marker == 0xDA) return true;  // start of scan: entropy-coded data follows
        pos += 2 + length;
    }
    return true;
}

JpegPhotoshopBlock FindJpegPhotoshopBlock(const std::uint8_t* data, size_t size)
{
    static const char kPs3[] = "Photoshop 3.0";  // followed by a NUL
    JpegPhotoshopBlock block;
    std::vector<JpegSegment> segments;
    ScanJpegSegments(data, size, segments);
    for (const auto& s : segments) {
        if (s.Marker != kJpegApp13 || s.PayloadSize < sizeof kPs3) continue;
        if (std::memcmp(data + s.PayloadOffset, kPs3, sizeof kPs3) != 0) continue;
        const size_t start = s.PayloadOffset + sizeof kPs3;
        const size_t length = s.PayloadSize - sizeof kPs3;
        block.Data.append(reinterpret_cast<const char*>(data + start), length);
        block.Pieces.emplace_back(start, length);
    }
    return block;
}
