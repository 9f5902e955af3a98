#include "JpegLibrary.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <jerror.h>

namespace jpegio {

namespace {

// A stream with more scans than this is a decoding bomb, not a photograph
// (a progressive JPEG needs at most a few dozen).
constexpr int kMaxScans = 1000;
// The encoder scales each quantiser by 8 into a 16-bit divisor (libjpeg-turbo's
// forward DCT), so larger values wrap round, to zero for multiples of 8192,
// and divide by zero.
constexpr unsigned kMaxEncodableQuantiser = 8191;

}  // namespace


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


HRESULT Fail(const char* what, const char* message, std::string* error)
{
    if (error) *error = std::string(what) + ": " + message;
    return E_FAIL;
}

// Creates the decompressor over `bytes` and reads the header. Nothing with a
// destructor lives in this function: a library error jumps back here.
bool OpenDecompressor(JpegDecompressor& d, const unsigned char* data, size_t size, bool readIcc)
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
void UseStringDestination(JpegCompressor& c, std::string& out)
{
    c.Destination.Out = &out;
    c.Destination.Base.init_destination = StartDestination;
    c.Destination.Base.empty_output_buffer = GrowDestination;
    c.Destination.Base.term_destination = FinishDestination;
    c.Info.dest = &c.Destination.Base;
}

}  // namespace jpegio
