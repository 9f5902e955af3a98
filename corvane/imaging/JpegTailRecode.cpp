// A band in the lower part of a sequential picture: the coded data before
// the band's first MCU row (less one row of context), the head, is kept;
// only the rest, the tail, is decoded to coefficients, drawn on where the
// band lies and coded again to follow the head's bits. The head is copied
// as bytes and the tail coded in the source's own Huffman tables when those
// hold every code; otherwise (tables chosen for the picture lack codes the
// band may need) the head's codes are written again, code for code, in the
// standard tables the tail is coded in. Without restart markers the cut is
// found by reading the codes up to it (no coefficients kept); with them it
// is made at a restart marker, where the coded data is byte-aligned.
//
// The re-coded part is decoded on its own as a picture of the remaining
// rows: its DC predictions start from zero there, so every DC value it
// holds is off by the prediction in force at the cut, which is added back
// before drawing and taken away again before coding.
#include <algorithm>
#include <cstring>
#include <memory>

#include "JpegBlockSteps.h"
#include "JpegHeadRecoding.h"
#include "JpegScanWalk.h"
#include "JpegSegments.h"

namespace jpegio {

namespace {

constexpr std::string_view kEndOfImage = "\xFF\xD9";

// Sets the frame height in a JPEG header (up to its first scan).
bool PatchFrameHeight(std::string& header, long height)
{
    std::vector<JpegSegment> segments;
    if (height <= 0 || height > 0xffff ||
        !ScanJpegSegments(reinterpret_cast<const std::uint8_t*>(header.data()), header.size(), segments))
        return false;
    for (const JpegSegment& s : segments) {
        if ((s.Marker != 0xC0 && s.Marker != 0xC1) || s.PayloadSize < 5) continue;
        header[s.PayloadOffset + 1] = static_cast<char>(height >> 8);
        header[s.PayloadOffset + 2] = static_cast<char>(height & 0xff);
        return true;
    }
    return false;
}

// The scan's coded data ends at the end of the image, not at another scan.
bool EndsAtImageEnd(std::string_view scan, std::size_t end)
{
    std::size_t i = end;
    while (i + 1 < scan.size() && static_cast<unsigned char>(scan[i + 1]) == 0xff) ++i;
    return i + 1 < scan.size() && static_cast<unsigned char>(scan[i + 1]) == 0xd9;
}

// The first MCU row re-coded: one row above the first joined region, so
// that its pixels decode as in the whole picture; with restart markers the
// row must start a restart interval. 0: nothing would be copied.
long FirstTailRow(const jpeg_decompress_struct& info, const std::vector<PixelRect>& joined, const McuGrid& g)
{
    int top = g.Height;
    for (const PixelRect& r : joined) top = std::min(top, r.Top);
    long row = std::max(0L, static_cast<long>(top / g.McuHeight) - 1);
    const long perRow = McusPerRow(info), interval = static_cast<long>(info.restart_interval);
    if (interval)
        while (row > 0 && (row * perRow) % interval != 0) --row;
    return row;
}

// Adds `sign` x the prediction of each component to every DC value.
bool ShiftDc(JpegDecompressor& t, jvirt_barray_ptr* arrays, const ScanPoint& at, int sign)
{
    if (setjmp(t.Errors.Jump)) return false;
    auto* common = reinterpret_cast<j_common_ptr>(&t.Info);
    for (int ci = 0; ci < t.Info.num_components; ++ci) {
        const jpeg_component_info& comp = t.Info.comp_info[ci];
        const int delta = sign * at.Predictions[ci];
        if (!delta) continue;
        for (JDIMENSION y = 0; y < comp.height_in_blocks; ++y) {
            JBLOCKROW row = common->mem->access_virt_barray(common, arrays[ci], y, 1, TRUE)[0];
            for (JDIMENSION x = 0; x < comp.width_in_blocks; ++x)
                row[x][0] = static_cast<JCOEF>(row[x][0] + delta);
        }
    }
    return true;
}

void CopyHuffmanTable(jpeg_compress_struct& c, const JHUFF_TBL* from, JHUFF_TBL*& to)
{
    if (!from) return;
    if (!to) to = jpeg_alloc_huff_table(reinterpret_cast<j_common_ptr>(&c));
    std::memcpy(to->bits, from->bits, sizeof to->bits);
    std::memcpy(to->huffval, from->huffval, sizeof to->huffval);
    to->sent_table = FALSE;
}

// A compressor for the tail's blocks as a picture of their own, set like
// the source (tables, sampling, restart interval, JFIF header); with
// `sourceTables` its Huffman tables and their choice too, so that its coded
// bits can follow the source's.
bool PrepareTail(JpegCompressor& c, JpegDecompressor& d, int height, bool sourceTables, std::string& out)
{
    if (setjmp(c.Errors.Jump)) return false;
    StartLike(c, d, static_cast<int>(d.Info.image_width), height, out);
    c.Info.restart_interval = d.Info.restart_interval;
    c.Info.write_JFIF_header = d.Info.saw_JFIF_marker;
    c.Info.optimize_coding = FALSE;
    if (!sourceTables) return true;
    for (int i = 0; i < NUM_HUFF_TBLS; ++i) {
        CopyHuffmanTable(c.Info, d.Info.dc_huff_tbl_ptrs[i], c.Info.dc_huff_tbl_ptrs[i]);
        CopyHuffmanTable(c.Info, d.Info.ac_huff_tbl_ptrs[i], c.Info.ac_huff_tbl_ptrs[i]);
    }
    for (int ci = 0; ci < c.Info.num_components; ++ci) {
        c.Info.comp_info[ci].dc_tbl_no = d.Info.comp_info[ci].dc_tbl_no;
        c.Info.comp_info[ci].ac_tbl_no = d.Info.comp_info[ci].ac_tbl_no;
    }
    return true;
}

bool WriteTail(JpegCompressor& c, JpegDecompressor& d, jvirt_barray_ptr* arrays)
{
    if (setjmp(c.Errors.Jump)) return false;
    jpeg_write_coefficients(&c.Info, arrays);
    if (d.Icc) jpeg_write_icc_profile(&c.Info, d.Icc, d.IccSize);
    jpeg_finish_compress(&c.Info);
    return true;
}

bool SameBlocks(JpegDecompressor& a, jvirt_barray_ptr* aArrays, JpegDecompressor& b, jvirt_barray_ptr* bArrays)
{
    if (setjmp(a.Errors.Jump)) return false;
    if (setjmp(b.Errors.Jump)) return false;
    auto* ca = reinterpret_cast<j_common_ptr>(&a.Info);
    auto* cb = reinterpret_cast<j_common_ptr>(&b.Info);
    for (int ci = 0; ci < a.Info.num_components; ++ci) {
        const jpeg_component_info& comp = a.Info.comp_info[ci];
        if (b.Info.comp_info[ci].width_in_blocks != comp.width_in_blocks ||
            b.Info.comp_info[ci].height_in_blocks != comp.height_in_blocks)
            return false;
        for (JDIMENSION y = 0; y < comp.height_in_blocks; ++y) {
            JBLOCKROW ra = ca->mem->access_virt_barray(ca, aArrays[ci], y, 1, FALSE)[0];
            JBLOCKROW rb = cb->mem->access_virt_barray(cb, bArrays[ci], y, 1, FALSE)[0];
            if (std::memcmp(ra, rb, sizeof(JBLOCK) * comp.width_in_blocks) != 0) return false;
        }
    }
    return true;
}

// The coded tail's blocks read back equal the blocks meant (the encoder
// does not refuse every symbol its tables lack).
bool CodedAsMeant(const std::string& coded, JpegDecompressor& t, jvirt_barray_ptr* arrays)
{
    JpegDecompressor back;
    jvirt_barray_ptr* backArrays = nullptr;
    return OpenDecompressor(back, reinterpret_cast<const unsigned char*>(coded.data()), coded.size()) &&
           ReadCoefficients(back, backArrays) && !back.Errors.CorruptData && SameBlocks(t, arrays, back, backArrays);
}

// The spliced picture reads from the cut (MCU `first`, where `head` ends)
// to a complete end.
bool Complete(const std::string& jpeg, const RecodedHead& head, long first)
{
    JpegDecompressor check;
    if (!OpenDecompressor(check, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size())) return false;
    const std::string_view scan = std::string_view(jpeg).substr(JpegHeaderOf(jpeg).size());
    const std::size_t end = ScanEnd(scan);
    if (end == std::string_view::npos || !EndsAtImageEnd(scan, end)) return false;
    ScanPoint cut = head.Cut, last;
    cut.Offset = head.Bytes.size();
    cut.Bit = head.Bits;
    return WalkScanFrom(check.Info, scan.substr(0, end), cut, first, McusPerRow(check.Info) * McuRows(check.Info),
                        last);
}

// The source's coded data before MCU `first`, as it is.
bool CopyHead(JpegDecompressor& d, std::string_view scan, long first, RecodedHead& head)
{
    if (!WalkScanInParallel(d.Info, scan, first, head.Cut)) return false;
    head.Bytes = scan.substr(0, head.Cut.Offset);
    head.Bits = head.Cut.Bit;
    head.Lead = head.Bits ? static_cast<unsigned char>(scan[head.Cut.Offset]) >> (8 - head.Bits) : 0;
    return true;
}

// The Huffman tables a compressor codes each component in (copies: the
// compressor marks its own as written).
struct CodingTables {
    JHUFF_TBL Dc[MAX_COMPS_IN_SCAN] = {}, Ac[MAX_COMPS_IN_SCAN] = {};
    const JHUFF_TBL* DcOf[MAX_COMPS_IN_SCAN] = {};
    const JHUFF_TBL* AcOf[MAX_COMPS_IN_SCAN] = {};

    bool Read(const jpeg_compress_struct& c)
    {
        for (int i = 0; i < c.num_components && i < MAX_COMPS_IN_SCAN; ++i) {
            const JHUFF_TBL* dc = c.dc_huff_tbl_ptrs[c.comp_info[i].dc_tbl_no];
            const JHUFF_TBL* ac = c.ac_huff_tbl_ptrs[c.comp_info[i].ac_tbl_no];
            if (!dc || !ac) return false;
            Dc[i] = *dc, Ac[i] = *ac;
            DcOf[i] = &Dc[i], AcOf[i] = &Ac[i];
        }
        return true;
    }
};

// The source's coded data from the cut on, as a picture of its own.
std::string TailPicture(std::string_view header, std::string_view scan, std::size_t end, const ScanPoint& at,
                        long height, int restartDelta)
{
    std::string tail(header);
    if (!PatchFrameHeight(tail, height)) return {};
    if (at.Bit == 0) {
        std::string coded(scan.substr(at.Offset, end - at.Offset));
        if (restartDelta) RenumberRestarts(coded, restartDelta);
        tail += coded;
    } else {
        const auto lead = static_cast<unsigned char>(scan[at.Offset]);
        const std::size_t rest = at.Offset + (lead == 0xff ? 2 : 1);
        AppendShifted(tail, lead, 8 - at.Bit, scan.substr(rest, end - rest));
    }
    tail += kEndOfImage;
    return tail;
}

// Draws the joined regions (in pixels of the whole picture) on the tail,
// whose first row is the picture's row `top`.
HRESULT DrawTail(JpegDecompressor& t, jvirt_barray_ptr* arrays, const std::vector<PixelRect>& joined, int top,
                 const BlockRegionDraw& draw, std::string* error)
{
    const McuGrid grid = GridOf(t.Info);
    const BlockRegionDraw shifted = [&](CBitmap& pixels, int left, int y) { return draw(pixels, left, y + top); };
    for (const PixelRect& r : joined) {
        const PixelRect inTail{r.Left, r.Top - top, r.Right, r.Bottom - top};
        const HRESULT hr = RecodeRegion(t, arrays, grid, inTail, shifted, error);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

// The coded bits of a whole picture's scan, without the fill bits at their end.
bool CodedBits(const std::string& jpeg, std::string_view& data, int& lastBits)
{
    JpegDecompressor info;
    if (!OpenDecompressor(info, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size())) return false;
    const std::string_view scan = std::string_view(jpeg).substr(JpegHeaderOf(jpeg).size());
    const std::size_t end = ScanEnd(scan);
    ScanPoint last;
    if (end == std::string_view::npos ||
        !WalkScan(info.Info, scan.substr(0, end), McusPerRow(info.Info) * McuRows(info.Info), last))
        return false;
    const bool partial = last.Bit > 0;
    const std::size_t length = last.Offset + (partial ? (static_cast<unsigned char>(scan[last.Offset]) == 0xff ? 2 : 1) : 0);
    data = scan.substr(0, length);
    lastBits = partial ? last.Bit : 8;
    return true;
}

// The tail's header, the head, then the tail's coded bits.
bool Splice(const RecodedHead& head, const std::string& coded, long height, int restartDelta, std::size_t spare,
            std::string& out)
{
    std::string_view codedHeader = JpegHeaderOf(coded), codedData;
    int lastBits = 8;
    if (codedHeader.empty() || !CodedBits(coded, codedData, lastBits)) return false;
    // Shifted bits may need a stuffed zero more now and then; `spare` is room
    // for a longer header later.
    out.reserve(codedHeader.size() + head.Bytes.size() + codedData.size() + codedData.size() / 64 + 16 + spare);
    out.assign(codedHeader);
    if (!PatchFrameHeight(out, height)) return false;
    out += head.Bytes;
    if (head.Bits == 0) {
        // Aligned: the tail's own fill bits end its last byte as before.
        const std::size_t end = ScanEnd(std::string_view(coded).substr(codedHeader.size()));
        if (end == std::string_view::npos) return false;
        std::string data = coded.substr(codedHeader.size(), end);
        if (restartDelta) RenumberRestarts(data, restartDelta);
        out += data;
    } else {
        AppendShifted(out, head.Lead, head.Bits, codedData, lastBits);
    }
    out += kEndOfImage;
    return true;
}

// The work on the rows from the cut on: decoded as a picture of their own,
// drawn on, coded again by `Coder` into `Coded` and read back. It needs only
// the cut, so it may run while the head is still being coded.
struct TailWork {
    TailWork(std::string_view header, std::string_view scan, std::size_t end, JpegDecompressor& source,
             JpegCompressor& coder, std::string& coded, const std::vector<PixelRect>& joined,
             const BlockRegionDraw& draw, int top, int height, int restartDelta, std::string* error)
        : Header(header), Scan(scan), End(end), Source(source), Coder(coder), Coded(coded), Joined(joined),
          Draw(draw), Top(top), Height(height), RestartDelta(restartDelta), Error(error)
    {
    }

    std::string_view Header, Scan;
    std::size_t End;  // of the scan's coded data
    JpegDecompressor& Source;
    JpegCompressor& Coder;
    std::string& Coded;
    const std::vector<PixelRect>& Joined;
    const BlockRegionDraw& Draw;
    int Top, Height;   // the tail's first row in the picture, and its rows
    int RestartDelta;  // added to the tail's restart marker numbers
    std::string* Error;

    HRESULT Result = S_FALSE;  // S_FALSE: the whole-picture path decides
    std::string Bytes;         // the tail as a picture of its own
    JpegDecompressor Tail;
    jvirt_barray_ptr* Arrays = nullptr;

    void Run(const ScanPoint& cut) { Result = Recode(cut); }

private:
    HRESULT Recode(const ScanPoint& cut)
    {
        Bytes = TailPicture(Header, Scan, End, cut, Height, RestartDelta);
        if (Bytes.empty() ||
            !OpenDecompressor(Tail, reinterpret_cast<const unsigned char*>(Bytes.data()), Bytes.size()) ||
            !ReadCoefficients(Tail, Arrays) || Tail.Errors.CorruptData || !ShiftDc(Tail, Arrays, cut, 1))
            return S_FALSE;
        if (!QuantTablesEncodable(Source.Info, Error)) return E_FAIL;
        const HRESULT hr = DrawTail(Tail, Arrays, Joined, Top, Draw, Error);
        if (FAILED(hr)) return hr;
        if (!ShiftDc(Tail, Arrays, cut, -1) || !WriteTail(Coder, Source, Arrays) || !CodedAsMeant(Coded, Tail, Arrays))
            return S_FALSE;
        return S_OK;
    }
};

}  // namespace

HRESULT RecodeJpegTail(std::string_view source, JpegDecompressor& d, const std::vector<PixelRect>& joined,
                       const BlockRegionDraw& draw, std::string& out, std::string* error)
{
    if (joined.empty() || !IsWalkableScan(d.Info)) return S_FALSE;
    const McuGrid grid = GridOf(d.Info);
    const long row = FirstTailRow(d.Info, joined, grid), first = row * McusPerRow(d.Info);
    const int top = static_cast<int>(row) * grid.McuHeight;
    const std::string_view header = JpegHeaderOf(source);
    const std::string_view scan = source.substr(header.size());
    const std::size_t end = ScanEnd(scan);
    if (row == 0 || header.empty() || end == std::string_view::npos || !EndsAtImageEnd(scan, end)) return S_FALSE;

    // Tables that lack codes the band may need: the head is coded again, code
    // for code, in the standard tables the tail is coded in.
    const bool copy = HuffmanTablesComplete(d.Info);
    // The tail coded again takes about its share of the rows' bytes, half as much again in the standard tables.
    const double share = static_cast<double>(grid.Height - top) / grid.Height;
    std::string coded(static_cast<std::size_t>(static_cast<double>(scan.size()) * share * 1.5) + 65536, '\0');
    JpegCompressor c;
    CodingTables tables;
    if (!PrepareTail(c, d, grid.Height - top, copy, coded) || !tables.Read(c.Info)) return S_FALSE;
    // Restart markers in the tail are numbered from where it starts in the source.
    const long interval = static_cast<long>(d.Info.restart_interval);
    const int skipped = interval ? static_cast<int>((first / interval) % 8) : 0;
    TailWork tail(header, scan, end, d, c, coded, joined, draw, top, grid.Height - top, skipped ? 8 - skipped : 0,
                  error);

    RecodedHead head;
    std::unique_ptr<HeadRecoding> recoding;  // holds a head coded again
    if (copy) {
        if (!CopyHead(d, scan.substr(0, end), first, head)) return S_FALSE;
        tail.Run(head.Cut);
    } else {
        recoding = std::make_unique<HeadRecoding>(d.Info, scan.substr(0, end), first, tables.DcOf, tables.AcOf,
                                                  [&tail](const ScanPoint& cut) { tail.Run(cut); });
        if (!recoding->Run(head)) return S_FALSE;  // damaged or unusual: the whole-picture path decides
    }
    if (tail.Result != S_OK) return tail.Result;
    std::string spliced;
    // Room for the source's metadata segments, which take the place of the coded header.
    if (!Splice(head, coded, grid.Height, skipped, header.size(), spliced) || !Complete(spliced, head, first))
        return S_FALSE;
    out = std::move(spliced);
    return S_OK;
}

}  // namespace jpegio
