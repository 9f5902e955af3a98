#include "JpegHeaderSplice.h"

#include <vector>

#include "JpegSegments.h"

namespace {

struct Header {
    std::string_view Bytes;
    std::vector<JpegSegment> Segments;  // without the SOS segment

    const std::uint8_t* Data() const { return reinterpret_cast<const std::uint8_t*>(Bytes.data()); }
    std::string_view Of(const JpegSegment& s) const { return Bytes.substr(s.Offset, s.End() - s.Offset); }
    JpegBlock BlockAt(size_t i) const { return BlockOf(Data(), Segments[i]); }
};

bool Parse(std::string_view bytes, Header& h)
{
    h.Bytes = bytes;
    if (!ScanJpegSegments(h.Data(), bytes.size(), h.Segments) || h.Segments.empty() ||
        h.Segments.back().Marker != kJpegSos)
        return false;
    h.Segments.pop_back();
    return true;
}

// Frame, tables, restart interval and scan header, in order.
std::string ImageSegments(const Header& h, std::string_view sos)
{
    std::string out;
    for (size_t i = 0; i < h.Segments.size(); ++i)
        if (h.BlockAt(i) == JpegBlock::Image) out.append(h.Of(h.Segments[i]));
    return out.append(sos);
}

bool IsChanged(JpegBlock block, const ChangedJpegBlocks& c)
{
    return (block == JpegBlock::Exif && c.Exif) || (block == JpegBlock::Xmp && c.Xmp) ||
           (block == JpegBlock::Photoshop && c.Photoshop) || (block == JpegBlock::Comment && c.Comment);
}

// The rewritten segments of one block, in their order.
std::string Rewritten(const Header& h, JpegBlock block)
{
    std::string out;
    for (size_t i = 0; i < h.Segments.size(); ++i)
        if (h.BlockAt(i) == block) out.append(h.Of(h.Segments[i]));
    return out;
}

// New blocks go after a leading run of APP0 and EXIF segments, where readers look for them.
size_t InsertionIndex(const Header& h)
{
    size_t i = 0;
    while (i < h.Segments.size() && (h.Segments[i].Marker == kJpegApp0 || h.BlockAt(i) == JpegBlock::Exif)) ++i;
    return i;
}

}  // namespace

bool SpliceJpegHeader(std::string_view original, std::string_view rewritten, const ChangedJpegBlocks& changed,
                      std::string& header, std::string* error)
{
    Header was, now;
    if (!Parse(original, was) || !Parse(rewritten, now)) {
        if (error) *error = "refused: the picture's segments before its image data cannot be read";
        return false;
    }
    const std::string_view sos = original.substr(was.Segments.empty() ? 2 : was.Segments.back().End());
    const std::string_view newSos = rewritten.substr(now.Segments.empty() ? 2 : now.Segments.back().End());
    if (ImageSegments(was, sos) != ImageSegments(now, newSos)) {
        if (error) *error = "refused: writing the metadata would change the image data";
        return false;
    }
    const JpegBlock blocks[] = {JpegBlock::Exif, JpegBlock::Xmp, JpegBlock::Photoshop, JpegBlock::Comment};
    bool present[4] = {false, false, false, false};
    for (size_t i = 0; i < was.Segments.size(); ++i)
        for (int b = 0; b < 4; ++b) present[b] = present[b] || was.BlockAt(i) == blocks[b];
    // Changed blocks the picture did not have yet.
    std::string added;
    for (int b = 0; b < 4; ++b)
        if (!present[b] && IsChanged(blocks[b], changed)) added += Rewritten(now, blocks[b]);

    header.assign(original.substr(0, 2));
    const size_t insertAt = InsertionIndex(was);
    bool emitted[4] = {false, false, false, false};
    size_t end = 2;
    for (size_t i = 0; i <= was.Segments.size(); ++i) {
        if (i == insertAt) header += added;
        if (i == was.Segments.size()) break;
        const JpegSegment& s = was.Segments[i];
        header.append(original.substr(end, s.Offset - end));  // fill bytes between segments
        end = s.End();
        const JpegBlock block = was.BlockAt(i);
        if (!IsChanged(block, changed)) {
            header.append(was.Of(s));
            continue;
        }
        // A changed block replaces its first segment; its other segments go.
        for (int b = 0; b < 4; ++b)
            if (blocks[b] == block && !emitted[b]) {
                header += Rewritten(now, block);
                emitted[b] = true;
            }
    }
    header.append(sos);
    return true;
}
