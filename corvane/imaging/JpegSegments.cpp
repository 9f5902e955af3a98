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
        if (marker == kJpegSos) return true;  // start of scan: entropy-coded data follows
        pos += 2 + length;
    }
    return true;
}

namespace {

bool StartsWith(const std::uint8_t* data, const JpegSegment& s, const char* signature, size_t length)
{
    return s.PayloadSize >= length && std::memcmp(data + s.PayloadOffset, signature, length) == 0;
}

// The segments up to the first scan; false when the data holds no scan.
bool SegmentsToScan(std::string_view jpeg, std::vector<JpegSegment>& segments)
{
    const auto* data = reinterpret_cast<const std::uint8_t*>(jpeg.data());
    return ScanJpegSegments(data, jpeg.size(), segments) && !segments.empty() && segments.back().Marker == kJpegSos;
}

bool IsMultiPictureIndex(const std::uint8_t* data, const JpegSegment& s)
{
    static const char kMpf[] = "MPF";  // and its NUL
    return s.Marker == kJpegApp2 && StartsWith(data, s, kMpf, sizeof kMpf);
}

}  // namespace

JpegBlock BlockOf(const std::uint8_t* data, const JpegSegment& s)
{
    static const char kExif[] = "Exif\0";  // "Exif\0\0"
    static const char kXmp[] = "http://ns.adobe.com/xap/1.0/";
    static const char kXmpExtension[] = "http://ns.adobe.com/xmp/extension/";
    static const char kPhotoshop[] = "Photoshop 3.0";
    if (s.Marker == kJpegApp1 && StartsWith(data, s, kExif, sizeof kExif)) return JpegBlock::Exif;
    if (s.Marker == kJpegApp1 && StartsWith(data, s, kXmp, sizeof kXmp)) return JpegBlock::Xmp;
    if (s.Marker == kJpegApp1 && StartsWith(data, s, kXmpExtension, sizeof kXmpExtension))
        return JpegBlock::XmpExtension;
    if (s.Marker == kJpegApp13 && StartsWith(data, s, kPhotoshop, sizeof kPhotoshop)) return JpegBlock::Photoshop;
    if (s.Marker == kJpegCom) return JpegBlock::Comment;
    if (s.Marker >= 0xE0 && s.Marker <= 0xEF) return JpegBlock::OtherApp;
    return JpegBlock::Image;
}

std::string_view JpegHeaderOf(std::string_view jpeg)
{
    std::vector<JpegSegment> segments;
    if (!SegmentsToScan(jpeg, segments)) return {};
    return jpeg.substr(0, segments.back().End());
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

bool WithSourceMetadataSegments(std::string_view source, std::string& recoded)
{
    std::vector<JpegSegment> own, coded;
    if (!SegmentsToScan(source, own) || !SegmentsToScan(recoded, coded)) return false;
    const auto* sourceData = reinterpret_cast<const std::uint8_t*>(source.data());
    const auto* codedData = reinterpret_cast<const std::uint8_t*>(recoded.data());
    std::string header("\xFF\xD8", 2);
    for (const JpegSegment& s : own)
        if (BlockOf(sourceData, s) != JpegBlock::Image && !IsMultiPictureIndex(sourceData, s))
            header.append(source.substr(s.Offset, s.End() - s.Offset));
    // The tables and frame before the first scan, then the scans as coded.
    for (const JpegSegment& s : coded) {
        if (s.Marker == kJpegSos) break;
        if (BlockOf(codedData, s) == JpegBlock::Image) header.append(recoded, s.Offset, s.End() - s.Offset);
    }
    recoded.replace(0, coded.back().Offset, header);
    return true;
}
