#include "JpegCodec.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

namespace {

// A stream with more scans than this is a decoding bomb, not a photograph
// (a progressive JPEG needs at most a few dozen).
constexpr int kMaxScans = 1000;
// Upper bound of the library's own working memory (coefficient buffers of
// progressive pictures); the canvas is bounded separately by CBitmap.
constexpr long kMaxLibraryMemory = 2L << 30;
constexpr int kRowsPerCall = 16;
// The encoder scales each quantiser by 8 into a 16-bit divisor (libjpeg-turbo's
// forward DCT), so larger values wrap round, to zero for multiples of 8192,
// and divide by zero.
constexpr unsigned kMaxEncodableQuantiser = 8191;

struct JpegErrorManager {
    jpeg_error_mgr Base;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX] = {};
    bool CorruptData = false;  // a warning that the entropy data is damaged
    // A strict decode fails on damage anyway; ending it there keeps a small
    // file that claims a huge frame from being decoded to its end in grey.
    bool StopOnCorruptData = false;
};

void OnJpegError(j_common_ptr info)
{
    auto* manager = reinterpret_cast<JpegErrorManager*>(info->err);
    info->err->format_message(info, manager->Message);
    std::longjmp(manager->Jump, 1);
}

void OnJpegMessage(j_common_ptr info, int level)
{
    if (level >= 0) return;  // trace messages
    // Only damage to the entropy data counts; stray bytes between markers,
    // which many cameras leave, do not.
    const int code = info->err->msg_code;
    if (code != JWRN_JPEG_EOF && code != JWRN_HIT_MARKER && code != JWRN_MUST_RESYNC && code != JWRN_HUFF_BAD_CODE)
        return;
    auto* manager = reinterpret_cast<JpegErrorManager*>(info->err);
    if (!manager->CorruptData) info->err->format_message(info, manager->Message);
    manager->CorruptData = true;
    if (manager->StopOnCorruptData) std::longjmp(manager->Jump, 1);
}

void OnJpegProgress(j_common_ptr info)
{
    if (info->is_decompressor) {
        auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
        if (decompress->input_scan_number > kMaxScans) {
            auto* manager = reinterpret_cast<JpegErrorManager*>(info->err);
            std::snprintf(manager->Message, sizeof manager->Message, "more than %d scans", kMaxScans);
            std::longjmp(manager->Jump, 1);
        }
    }
}

void InstallErrorManager(JpegErrorManager& manager, j_common_ptr info)
{
    info->err = jpeg_std_error(&manager.Base);
    manager.Base.error_exit = OnJpegError;
    manager.Base.emit_message = OnJpegMessage;
}

// Owns a decompressor from before the first setjmp until the end of the scope.
struct JpegDecompressor {
    jpeg_decompress_struct Info = {};
    JpegErrorManager Errors;
    jpeg_progress_mgr Progress = {};
    bool Created = false;
    JOCTET* Icc = nullptr;  // the colour profile (malloc), when asked for
    unsigned IccSize = 0;
    JpegDecompressor() { InstallErrorManager(Errors, reinterpret_cast<j_common_ptr>(&Info)); }
    ~JpegDecompressor()
    {
        if (Created) jpeg_destroy_decompress(&Info);
        std::free(Icc);
    }
    JpegDecompressor(const JpegDecompressor&) = delete;
    JpegDecompressor& operator=(const JpegDecompressor&) = delete;
};

// Compressed data goes straight into a string sized from the source, so a
// large picture is not copied again and again while its buffer grows.
struct StringDestination {
    jpeg_destination_mgr Base = {};
    std::string* Out = nullptr;
};

void StartDestination(j_compress_ptr info)
{
    auto* d = reinterpret_cast<StringDestination*>(info->dest);
    d->Base.next_output_byte = reinterpret_cast<JOCTET*>(&(*d->Out)[0]);
    d->Base.free_in_buffer = d->Out->size();
}

boolean GrowDestination(j_compress_ptr info)
{
    auto* d = reinterpret_cast<StringDestination*>(info->dest);
    const size_t used = d->Out->size();  // the library calls this only when the buffer is full
    d->Out->resize(used * 2);
    d->Base.next_output_byte = reinterpret_cast<JOCTET*>(&(*d->Out)[used]);
    d->Base.free_in_buffer = d->Out->size() - used;
    return TRUE;
}

void FinishDestination(j_compress_ptr info)
{
    auto* d = reinterpret_cast<StringDestination*>(info->dest);
    d->Out->resize(d->Out->size() - d->Base.free_in_buffer);
}

struct JpegCompressor {
    jpeg_compress_struct Info = {};
    JpegErrorManager Errors;
    StringDestination Destination;
    bool Created = false;
    JpegCompressor() { InstallErrorManager(Errors, reinterpret_cast<j_common_ptr>(&Info)); }
    ~JpegCompressor()
    {
        if (Created) jpeg_destroy_compress(&Info);
    }
    JpegCompressor(const JpegCompressor&) = delete;
    JpegCompressor& operator=(const JpegCompressor&) = delete;
};

HRESULT Fail(const char* what, const char* message, std::string* error)
{
    if (error) *error = std::string(what) + ": " + message;
    return E_FAIL;
}

// Creates the decompressor over `bytes` and reads the header. Nothing with a
// destructor lives in this function: a library error jumps back here.
bool OpenDecompressor(JpegDecompressor& d, const unsigned char* data, size_t size, bool readIcc = false)
{
    if (setjmp(d.Errors.Jump)) return false;
    jpeg_create_decompress(&d.Info);
    d.Created = true;
    d.Info.mem->max_memory_to_use = kMaxLibraryMemory;
    d.Progress.progress_monitor = OnJpegProgress;
    d.Info.progress = &d.Progress;
    jpeg_mem_src(&d.Info, data, static_cast<unsigned long>(size));
    if (readIcc) jpeg_save_markers(&d.Info, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&d.Info, TRUE);
    if (readIcc) jpeg_read_icc_profile(&d.Info, &d.Icc, &d.IccSize);
    return true;
}

bool IsCmyk(const jpeg_decompress_struct& info)
{
    return info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
}

// Adobe-marked CMYK stores inverted ink values (as every CMYK JPEG writer
// in practice does), the rest stores plain ink.
void CmykRowToBgra(const unsigned char* cmyk, unsigned char* bgra, int width, bool inverted)
{
    for (int x = 0; x < width; ++x, cmyk += 4, bgra += 4) {
        unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        bgra[0] = static_cast<unsigned char>((y * k + 127) / 255);
        bgra[1] = static_cast<unsigned char>((m * k + 127) / 255);
        bgra[2] = static_cast<unsigned char>((c * k + 127) / 255);
        bgra[3] = 255;
    }
}

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

// Inverse of CmykRowToBgra for the Adobe-marked CMYK the library writes.
void BgraRowToCmyk(const unsigned char* bgra, unsigned char* cmyk, int width)
{
    for (int x = 0; x < width; ++x, bgra += 4, cmyk += 4) {
        const unsigned b = bgra[0], g = bgra[1], r = bgra[2];
        const unsigned k = std::max(r, std::max(g, b));
        cmyk[0] = k ? static_cast<unsigned char>((r * 255 + k / 2) / k) : 0;
        cmyk[1] = k ? static_cast<unsigned char>((g * 255 + k / 2) / k) : 0;
        cmyk[2] = k ? static_cast<unsigned char>((b * 255 + k / 2) / k) : 0;
        cmyk[3] = static_cast<unsigned char>(k);
    }
}

// The source's quantisation tables become the encoder's divisors. A decoder
// takes any value (a zero only drops that frequency), so a picture every
// viewer shows may still hold tables no encoder can use.
bool QuantTablesEncodable(const jpeg_decompress_struct& source, std::string* error)
{
    for (int ci = 0; ci < source.num_components; ++ci) {
        const int slot = source.comp_info[ci].quant_tbl_no;
        const JQUANT_TBL* table = slot >= 0 && slot < NUM_QUANT_TBLS ? source.quant_tbl_ptrs[slot] : nullptr;
        if (!table) {
            if (error) *error = "cannot be re-encoded: quantisation table " + std::to_string(slot) + " is missing";
            return false;
        }
        for (int i = 0; i < DCTSIZE2; ++i) {
            const unsigned q = table->quantval[i];
            if (q == 0 || q > kMaxEncodableQuantiser) {
                if (error)
                    *error = "cannot be re-encoded: quantisation table " + std::to_string(slot) + " holds the value " +
                             std::to_string(q) + ", which no encoder can divide by";
                return false;
            }
        }
    }
    return true;
}

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
