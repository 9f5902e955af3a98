#include "JpegBlockRecode.h"

#include <algorithm>
#include <csetjmp>
#include <cstring>

#include <jerror.h>

#include "JpegCodec.h"
#include "JpegBlockSteps.h"
#include "JpegLibrary.h"

namespace jpegio {


McuGrid GridOf(const jpeg_decompress_struct& info)
{
    return {info.max_h_samp_factor * DCTSIZE, info.max_v_samp_factor * DCTSIZE, static_cast<int>(info.image_width),
            static_cast<int>(info.image_height)};
}

namespace {

int RoundDown(int value, int step) { return value / step * step; }
int RoundUp(int value, int step) { return (value + step - 1) / step * step; }

PixelRect AlignToMcus(const PixelRect& r, const McuGrid& g)
{
    return {RoundDown(std::max(r.Left, 0), g.McuWidth), RoundDown(std::max(r.Top, 0), g.McuHeight),
            std::min(RoundUp(std::min(r.Right, g.Width), g.McuWidth), g.Width),
            std::min(RoundUp(std::min(r.Bottom, g.Height), g.McuHeight), g.Height)};
}

// The region with one MCU round it: decoding that much makes the region's
// own pixels exact, upsampled chroma included.
PixelRect WithContext(const PixelRect& r, const McuGrid& g)
{
    return AlignToMcus({r.Left - g.McuWidth, r.Top - g.McuHeight, r.Right + g.McuWidth, r.Bottom + g.McuHeight}, g);
}

bool Overlap(const PixelRect& a, const PixelRect& b)
{
    return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

}  // namespace

// Regions whose context overlaps are joined: each joined region is decoded
// and written once, so no block is re-coded from another's stale pixels.
std::vector<PixelRect> JoinRegions(const std::vector<PixelRect>& regions, const McuGrid& g)
{
    std::vector<PixelRect> joined;
    for (const PixelRect& r : regions) {
        PixelRect next = AlignToMcus(r, g);
        if (next.Empty()) continue;
        for (bool merged = true; merged;) {
            merged = false;
            for (auto it = joined.begin(); it != joined.end(); ++it) {
                if (!Overlap(WithContext(*it, g), WithContext(next, g))) continue;
                next = {std::min(next.Left, it->Left), std::min(next.Top, it->Top), std::max(next.Right, it->Right),
                        std::max(next.Bottom, it->Bottom)};
                joined.erase(it);
                merged = true;
                break;
            }
        }
        joined.push_back(next);
    }
    return joined;
}

namespace {

// One side of a block copy: a set of coefficient arrays and what they belong to.
struct BlockSide {
    j_common_ptr Info;
    JpegErrorManager* Errors;
    jpeg_component_info* Components;
    jvirt_barray_ptr* Arrays;
    int McuX, McuY;  // the first MCU copied from or to
};

// Copies `across` x `down` MCUs of every component, skipping those `keep`
// marks 0 (row by row; null: all). Blocks past either picture's last block
// are left alone: the encoder makes its own padding blocks.
bool CopyBlocks(const BlockSide& from, const BlockSide& to, int components, int across, int down,
                const std::vector<char>* keep)
{
    if (setjmp(from.Errors->Jump)) return false;
    if (setjmp(to.Errors->Jump)) return false;
    for (int ci = 0; ci < components; ++ci) {
        const jpeg_component_info& fc = from.Components[ci];
        const jpeg_component_info& tc = to.Components[ci];
        const int h = fc.h_samp_factor, v = fc.v_samp_factor;
        for (int my = 0; my < down; ++my) {
            for (int k = 0; k < v; ++k) {
                const JDIMENSION fy = static_cast<JDIMENSION>((from.McuY + my) * v + k);
                const JDIMENSION ty = static_cast<JDIMENSION>((to.McuY + my) * v + k);
                if (fy >= fc.height_in_blocks || ty >= tc.height_in_blocks) break;
                JBLOCKROW src = from.Info->mem->access_virt_barray(from.Info, from.Arrays[ci], fy, 1, FALSE)[0];
                JBLOCKROW dst = to.Info->mem->access_virt_barray(to.Info, to.Arrays[ci], ty, 1, TRUE)[0];
                for (int mx = 0; mx < across; ++mx) {
                    if (keep && !(*keep)[static_cast<size_t>(my * across + mx)]) continue;
                    for (int j = 0; j < h; ++j) {
                        const JDIMENSION fx = static_cast<JDIMENSION>((from.McuX + mx) * h + j);
                        const JDIMENSION tx = static_cast<JDIMENSION>((to.McuX + mx) * h + j);
                        if (fx >= fc.width_in_blocks || tx >= tc.width_in_blocks) break;
                        std::memcpy(dst[tx], src[fx], sizeof(JBLOCK));
                    }
                }
            }
        }
    }
    return true;
}

}  // namespace

bool ReadCoefficients(JpegDecompressor& d, jvirt_barray_ptr*& arrays)
{
    if (setjmp(d.Errors.Jump)) return false;
    arrays = jpeg_read_coefficients(&d.Info);
    return arrays != nullptr;
}

namespace {

// Blocks outside a re-coded region are read as plain or inverted ink just
// as the source says: the Adobe marker must stay as it was.
void KeepColourMarkers(const jpeg_decompress_struct& source, jpeg_compress_struct& target)
{
    if (IsCmyk(source)) target.write_Adobe_marker = source.saw_Adobe_marker;
}

}  // namespace

// Starts a compressor with the source's tables and sampling for a picture
// of `width` x `height`.
void StartLike(JpegCompressor& c, JpegDecompressor& d, int width, int height, std::string& out)
{
    jpeg_create_compress(&c.Info);
    c.Created = true;
    UseStringDestination(c, out);
    jpeg_copy_critical_parameters(&d.Info, &c.Info);
    c.Info.image_width = static_cast<JDIMENSION>(width);
    c.Info.image_height = static_cast<JDIMENSION>(height);
    KeepColourMarkers(d.Info, c.Info);
}

namespace {

// Writes the blocks under `r` as a JPEG of their own, which the ordinary
// decoder then turns into pixels.
bool WriteRegionBlocks(JpegCompressor& c, JpegDecompressor& d, jvirt_barray_ptr* source, const PixelRect& r,
                       const McuGrid& g, std::string& out)
{
    if (setjmp(c.Errors.Jump)) return false;
    StartLike(c, d, r.Right - r.Left, r.Bottom - r.Top, out);
    jvirt_barray_ptr arrays[MAX_COMPONENTS] = {};
    const int mcusAcross = (r.Right - r.Left + g.McuWidth - 1) / g.McuWidth;
    const int mcusDown = (r.Bottom - r.Top + g.McuHeight - 1) / g.McuHeight;
    for (int ci = 0; ci < c.Info.num_components; ++ci) {
        const jpeg_component_info& comp = c.Info.comp_info[ci];
        arrays[ci] = c.Info.mem->request_virt_barray(
            reinterpret_cast<j_common_ptr>(&c.Info), JPOOL_IMAGE, TRUE,
            static_cast<JDIMENSION>(mcusAcross * comp.h_samp_factor),
            static_cast<JDIMENSION>(mcusDown * comp.v_samp_factor), static_cast<JDIMENSION>(comp.v_samp_factor));
    }
    jpeg_write_coefficients(&c.Info, arrays);
    const BlockSide from{reinterpret_cast<j_common_ptr>(&d.Info), &d.Errors, d.Info.comp_info, source,
                         r.Left / g.McuWidth, r.Top / g.McuHeight};
    const BlockSide to{reinterpret_cast<j_common_ptr>(&c.Info), &c.Errors, c.Info.comp_info, arrays, 0, 0};
    if (!CopyBlocks(from, to, c.Info.num_components, mcusAcross, mcusDown, nullptr)) return false;
    if (setjmp(c.Errors.Jump)) return false;  // CopyBlocks' jump buffer is gone
    jpeg_finish_compress(&c.Info);
    return true;
}

// Codes the pixels of `r` (in `pixels`, whose top-left is `origin`) with the
// source's tables.
bool EncodeRegionPixels(JpegCompressor& c, JpegDecompressor& d, const CBitmap& pixels, const PixelRect& r,
                        const PixelRect& origin, unsigned char* cmykRow, std::string& out)
{
    if (setjmp(c.Errors.Jump)) return false;
    StartLike(c, d, r.Right - r.Left, r.Bottom - r.Top, out);
    c.Info.in_color_space = cmykRow ? JCS_CMYK : JCS_EXT_BGRA;
    c.Info.input_components = 4;
    jpeg_start_compress(&c.Info, TRUE);
    const int width = r.Right - r.Left;
    while (c.Info.next_scanline < c.Info.image_height) {
        const int y = r.Top - origin.Top + static_cast<int>(c.Info.next_scanline);
        JSAMPROW row = const_cast<JSAMPROW>(pixels.Row(y) + (r.Left - origin.Left) * 4);
        if (cmykRow) {
            BgraRowToCmyk(row, cmykRow, width);
            if (!d.Info.saw_Adobe_marker)
                for (int i = 0; i < width * 4; ++i) cmykRow[i] = static_cast<unsigned char>(255 - cmykRow[i]);
            row = cmykRow;
        }
        jpeg_write_scanlines(&c.Info, &row, 1);
    }
    jpeg_finish_compress(&c.Info);
    return true;
}

// One flag per MCU of `r`: did the drawing change any of its pixels?
std::vector<char> ChangedMcus(const CBitmap& before, const CBitmap& after, const PixelRect& r, const PixelRect& origin,
                              const McuGrid& g, bool& any)
{
    const int across = (r.Right - r.Left + g.McuWidth - 1) / g.McuWidth;
    const int down = (r.Bottom - r.Top + g.McuHeight - 1) / g.McuHeight;
    std::vector<char> changed(static_cast<size_t>(across * down), 0);
    any = false;
    for (int y = r.Top; y < r.Bottom; ++y) {
        const std::uint8_t* a = before.Row(y - origin.Top);
        const std::uint8_t* b = after.Row(y - origin.Top);
        for (int mx = 0; mx < across; ++mx) {
            const int x0 = r.Left + mx * g.McuWidth, x1 = std::min(x0 + g.McuWidth, r.Right);
            const size_t offset = static_cast<size_t>(x0 - origin.Left) * 4, bytes = static_cast<size_t>(x1 - x0) * 4;
            if (std::memcmp(a + offset, b + offset, bytes) == 0) continue;
            changed[static_cast<size_t>((y - r.Top) / g.McuHeight * across + mx)] = 1;
            any = true;
        }
    }
    return changed;
}

}  // namespace

HRESULT RecodeRegion(JpegDecompressor& d, jvirt_barray_ptr* arrays, const McuGrid& g, const PixelRect& region,
                     const BlockRegionDraw& draw, std::string* error)
{
    const PixelRect context = WithContext(region, g);
    std::string blocks(65536, '\0');
    {
        JpegCompressor c;
        if (!WriteRegionBlocks(c, d, arrays, context, g, blocks))
            return Fail("JPEG encoding failed", c.Errors.Message, error);
    }
    CBitmap pixels, before;
    HRESULT hr = DecodeJpeg(blocks, pixels, error);
    if (FAILED(hr) || FAILED(hr = before.CopyFrom(pixels, error))) return hr;
    if (draw && FAILED(hr = draw(pixels, context.Left, context.Top))) {
        if (error && error->empty()) *error = "drawing on the picture failed";
        return hr;
    }
    bool any = false;
    const std::vector<char> changed = ChangedMcus(before, pixels, region, context, g, any);
    if (!any) return S_OK;

    std::string coded(65536, '\0');
    {
        std::vector<unsigned char> cmykRow(IsCmyk(d.Info) ? static_cast<size_t>(region.Right - region.Left) * 4 : 0);
        JpegCompressor c;
        if (!EncodeRegionPixels(c, d, pixels, region, context, cmykRow.empty() ? nullptr : cmykRow.data(), coded))
            return Fail("JPEG encoding failed", c.Errors.Message, error);
    }
    JpegDecompressor back;
    jvirt_barray_ptr* backArrays = nullptr;
    if (!OpenDecompressor(back, reinterpret_cast<const unsigned char*>(coded.data()), coded.size()) ||
        !ReadCoefficients(back, backArrays))
        return Fail("JPEG encoding failed", back.Errors.Message, error);
    const BlockSide from{reinterpret_cast<j_common_ptr>(&back.Info), &back.Errors, back.Info.comp_info, backArrays, 0, 0};
    const BlockSide to{reinterpret_cast<j_common_ptr>(&d.Info), &d.Errors, d.Info.comp_info, arrays,
                       region.Left / g.McuWidth, region.Top / g.McuHeight};
    const int across = (region.Right - region.Left + g.McuWidth - 1) / g.McuWidth;
    const int down = (region.Bottom - region.Top + g.McuHeight - 1) / g.McuHeight;
    if (!CopyBlocks(from, to, d.Info.num_components, across, down, &changed))
        return Fail("JPEG encoding failed", d.Errors.Message, error);
    return S_OK;
}

namespace {

// A Huffman-coded picture of 8-bit samples holds AC values of at most ten
// bits and DC values whose differences take at most eleven, which values
// of -1024 to 1023 guarantee (any block of 8-bit samples has one). The
// library writes larger ones (an arithmetic-coded or damaged source may give
// them) as codes no decoder reads, so they are refused.
bool ValuesCodable(JpegDecompressor& d, jvirt_barray_ptr* arrays)
{
    constexpr int kMaxAc = 1023, kMinDc = -1024, kMaxDc = 1023;
    if (setjmp(d.Errors.Jump)) return false;
    auto* info = reinterpret_cast<j_common_ptr>(&d.Info);
    for (int ci = 0; ci < d.Info.num_components; ++ci) {
        const jpeg_component_info& comp = d.Info.comp_info[ci];
        for (JDIMENSION y = 0; y < comp.height_in_blocks; ++y) {
            const JBLOCKROW row = info->mem->access_virt_barray(info, arrays[ci], y, 1, FALSE)[0];
            bool inRange = true;
            for (JDIMENSION x = 0; x < comp.width_in_blocks; ++x) {
                inRange &= row[x][0] >= kMinDc && row[x][0] <= kMaxDc;
                for (int k = 1; k < DCTSIZE2; ++k) inRange &= row[x][k] >= -kMaxAc && row[x][k] <= kMaxAc;
            }
            if (!inRange) return false;
        }
    }
    return true;
}

// Writes every block, in the source's form: progressive stays progressive,
// the restart interval, JFIF header and colour profile are kept.
bool WriteAllBlocks(JpegCompressor& c, JpegDecompressor& d, jvirt_barray_ptr* arrays, std::string& out)
{
    if (setjmp(c.Errors.Jump)) return false;
    StartLike(c, d, static_cast<int>(d.Info.image_width), static_cast<int>(d.Info.image_height), out);
    c.Info.restart_interval = d.Info.restart_interval;
    c.Info.write_JFIF_header = d.Info.saw_JFIF_marker;
    if (d.Info.progressive_mode) jpeg_simple_progression(&c.Info);
    jpeg_write_coefficients(&c.Info, arrays);
    if (d.Icc) jpeg_write_icc_profile(&c.Info, d.Icc, d.IccSize);
    jpeg_finish_compress(&c.Info);
    return true;
}

}  // namespace

}  // namespace jpegio

using namespace jpegio;

HRESULT RecodeJpegBlocks(std::string_view sourceBytes, const std::vector<PixelRect>& regions,
                         const BlockRegionDraw& draw, std::string& out, std::string* error)
{
    JpegDecompressor d;
    if (!OpenDecompressor(d, reinterpret_cast<const unsigned char*>(sourceBytes.data()), sourceBytes.size(), true))
        return Fail("not a readable JPEG", d.Errors.Message, error);
    if (!regions.empty()) {
        // A band low in the picture: what is coded before it is copied as bytes.
        const HRESULT hr = RecodeJpegTail(sourceBytes, d, JoinRegions(regions, GridOf(d.Info)), draw, out, error);
        if (hr != S_FALSE) return hr;
    }
    jvirt_barray_ptr* arrays = nullptr;
    if (!ReadCoefficients(d, arrays)) {
        // The library asks for a temporary file when its memory bound is reached; there is none.
        if (d.Errors.Base.msg_code == JERR_NO_BACKING_STORE)
            return Fail("JPEG decoding failed", "the picture needs more memory than the decoder may use", error);
        return Fail("JPEG decoding failed", d.Errors.Message, error);
    }
    // Blocks copied as they are would carry the damage into a file that looks whole.
    if (d.Errors.CorruptData) return Fail("damaged JPEG data", d.Errors.Message, error);
    if (!ValuesCodable(d, arrays))
        return Fail("damaged JPEG data", "coefficients too large for the picture's coding", error);

    const McuGrid grid = GridOf(d.Info);
    const std::vector<PixelRect> joined = JoinRegions(regions, grid);
    if (!joined.empty() && !QuantTablesEncodable(d.Info, error)) return E_FAIL;
    for (const PixelRect& region : joined) {
        const HRESULT hr = RecodeRegion(d, arrays, grid, region, draw, error);
        if (FAILED(hr)) return hr;
    }
    std::string encoded(sourceBytes.size() + sourceBytes.size() / 8 + 65536, '\0');
    JpegCompressor c;
    if (!WriteAllBlocks(c, d, arrays, encoded)) return Fail("JPEG encoding failed", c.Errors.Message, error);
    out = std::move(encoded);
    return S_OK;
}
