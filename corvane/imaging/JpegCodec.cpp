#include "JpegCodec.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "JpegLibrary.h"

using namespace jpegio;

namespace {

constexpr int kRowsPerCall = 16;

// Decodes every row into `bitmap`; `cmykRow` is scratch space for CMYK sources.
bool ReadPixels(JpegDecompressor& d, CBitmap& bitmap, unsigned char* cmykRow)
{
    if (setjmp(d.Errors.Jump)) return false;
    jpeg_start_decompress(&d.Info);
    const bool inverted = d.Info.saw_Adobe_marker;
    JSAMPROW rows[kRowsPerCall];
    while (d.Info.output_scanline < d.Info.output_height) {
        const JDIMENSION y = d.Info.output_scanline;
        if (cmykRow) {
            rows[0] = cmykRow;
            jpeg_read_scanlines(&d.Info, rows, 1);
            CmykRowToBgra(cmykRow, bitmap.Row(static_cast<int>(y)), bitmap.Width(), inverted);
            continue;
        }
        int count = 0;
        for (; count < kRowsPerCall && y + count < d.Info.output_height; ++count)
            rows[count] = bitmap.Row(static_cast<int>(y + count));
        jpeg_read_scanlines(&d.Info, rows, static_cast<JDIMENSION>(count));
    }
    jpeg_finish_decompress(&d.Info);
    return true;
}

// Computes the output size at the requested scale; false on a library error.
bool PrepareOutput(JpegDecompressor& d, int scaleEighths)
{
    if (setjmp(d.Errors.Jump)) return false;
    d.Info.scale_num = static_cast<unsigned>(scaleEighths);
    d.Info.scale_denom = 8;
    d.Info.out_color_space = IsCmyk(d.Info) ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg_calc_output_dimensions(&d.Info);
    return true;
}

}  // namespace

HRESULT ReadJpegSize(std::string_view bytes, int& width, int& height, std::string* error)
{
    JpegDecompressor d;
    if (!OpenDecompressor(d, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()))
        return Fail("not a readable JPEG", d.Errors.Message, error);
    width = static_cast<int>(d.Info.image_width);
    height = static_cast<int>(d.Info.image_height);
    return S_OK;
}

HRESULT DecodeJpeg(std::string_view bytes, CBitmap& bitmap, std::string* error, const JpegDecodeOptions& options)
{
    if (options.ScaleEighths < 1 || options.ScaleEighths > 16 || options.MaxLibraryMemory < 0) return E_INVALIDARG;
    JpegDecompressor d;
    if (!OpenDecompressor(d, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()))
        return Fail("not a readable JPEG", d.Errors.Message, error);
    // A full decode holds the full size in the canvas. A reduced one holds it
    // only in the library's coefficient buffers, which its memory bound
    // covers, so only the sides are bounded (and with them the reduced canvas).
    const bool full = options.ScaleEighths >= 8;
    if (full ? !CBitmap::SizeAllowed(d.Info.image_width, d.Info.image_height)
             : d.Info.image_width > CBitmap::MaxSide || d.Info.image_height > CBitmap::MaxSide)
        return bitmap.Allocate(static_cast<int>(d.Info.image_width), static_cast<int>(d.Info.image_height), error);
    if (options.MaxLibraryMemory > 0) d.Info.mem->max_memory_to_use = options.MaxLibraryMemory;
    if (!PrepareOutput(d, options.ScaleEighths)) return Fail("JPEG decoding failed", d.Errors.Message, error);

    CBitmap decoded;
    HRESULT hr = decoded.Allocate(static_cast<int>(d.Info.output_width), static_cast<int>(d.Info.output_height), error);
    if (FAILED(hr)) return hr;
    std::vector<unsigned char> cmykRow(IsCmyk(d.Info) ? static_cast<size_t>(decoded.Width()) * 4 : 0);
    d.Errors.StopOnCorruptData = options.Strict;
    if (!ReadPixels(d, decoded, cmykRow.empty() ? nullptr : cmykRow.data())) {
        // The library asks for a temporary file when its memory bound is reached; there is none.
        if (d.Errors.Base.msg_code == JERR_NO_BACKING_STORE)
            return Fail("JPEG decoding failed", "the picture needs more memory than the decoder may use", error);
        return Fail(d.Errors.CorruptData ? "damaged JPEG data" : "JPEG decoding failed", d.Errors.Message, error);
    }
    if (options.Strict && d.Errors.CorruptData) return Fail("damaged JPEG data", d.Errors.Message, error);
    bitmap = std::move(decoded);
    return S_OK;
}

namespace {


bool StartCompressor(JpegCompressor& c, JpegDecompressor& source, bool cmyk)
{
    if (setjmp(c.Errors.Jump)) return false;
    jpeg_create_compress(&c.Info);
    c.Created = true;
    c.Destination.Base.init_destination = StartDestination;
    c.Destination.Base.empty_output_buffer = GrowDestination;
    c.Destination.Base.term_destination = FinishDestination;
    c.Info.dest = &c.Destination.Base;
    jpeg_copy_critical_parameters(&source.Info, &c.Info);
    // The critical parameters describe the source's coded form; the rows we
    // hand over are the canvas's.
    c.Info.in_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    c.Info.input_components = 4;
    c.Info.restart_interval = source.Info.restart_interval;
    c.Info.write_JFIF_header = source.Info.saw_JFIF_marker;
    if (source.Info.progressive_mode) jpeg_simple_progression(&c.Info);
    jpeg_start_compress(&c.Info, TRUE);
    // The profile gives the pixel values their colours; it belongs to the
    // pixels, not to the metadata that is carried over separately.
    if (source.Icc) jpeg_write_icc_profile(&c.Info, source.Icc, source.IccSize);
    return true;
}

bool WritePixels(JpegCompressor& c, const CBitmap& bitmap, unsigned char* cmykRow)
{
    if (setjmp(c.Errors.Jump)) return false;
    JSAMPROW rows[kRowsPerCall];
    while (c.Info.next_scanline < c.Info.image_height) {
        const JDIMENSION y = c.Info.next_scanline;
        if (cmykRow) {
            BgraRowToCmyk(bitmap.Row(static_cast<int>(y)), cmykRow, bitmap.Width());
            rows[0] = cmykRow;
            jpeg_write_scanlines(&c.Info, rows, 1);
            continue;
        }
        int count = 0;
        for (; count < kRowsPerCall && y + count < c.Info.image_height; ++count)
            rows[count] = const_cast<JSAMPROW>(bitmap.Row(static_cast<int>(y + count)));
        jpeg_write_scanlines(&c.Info, rows, static_cast<JDIMENSION>(count));
    }
    jpeg_finish_compress(&c.Info);
    return true;
}

}  // namespace

HRESULT EncodeJpegLike(std::string_view sourceBytes, const CBitmap& bitmap, std::string& out, std::string* error)
{
    JpegDecompressor source;
    if (!OpenDecompressor(source, reinterpret_cast<const unsigned char*>(sourceBytes.data()), sourceBytes.size(), true))
        return Fail("not a readable JPEG", source.Errors.Message, error);
    if (bitmap.Empty() || source.Info.image_width != static_cast<JDIMENSION>(bitmap.Width()) ||
        source.Info.image_height != static_cast<JDIMENSION>(bitmap.Height())) {
        if (error) *error = "the canvas does not have the size of the source JPEG";
        return E_INVALIDARG;
    }
    if (!QuantTablesEncodable(source.Info, error)) return E_FAIL;
    const bool cmyk = IsCmyk(source.Info);
    std::vector<unsigned char> cmykRow(cmyk ? static_cast<size_t>(bitmap.Width()) * 4 : 0);
    // Same tables and sampling: the new data is about as large as the old.
    std::string encoded(sourceBytes.size() + sourceBytes.size() / 4 + 65536, '\0');
    JpegCompressor c;
    c.Destination.Out = &encoded;
    if (!StartCompressor(c, source, cmyk) || !WritePixels(c, bitmap, cmyk ? cmykRow.data() : nullptr))
        return Fail("JPEG encoding failed", c.Errors.Message, error);
    out = std::move(encoded);
    return S_OK;
}

