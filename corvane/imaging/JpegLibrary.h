// The plumbing that every use of libjpeg-turbo here shares: library errors
// turned into a jump back to the caller and a message, owners of the
// compressor and decompressor, and an in-memory destination. Internal to the
// imaging codecs.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <jpeglib.h>

#include "HResult.h"

namespace jpegio {

// Upper bound of the library's own working memory (coefficient buffers of
// progressive pictures and of block-level re-coding); canvases are bounded
// separately by CBitmap.
constexpr long kMaxLibraryMemory = 2L << 30;

struct JpegErrorManager {
    jpeg_error_mgr Base;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX] = {};
    bool CorruptData = false;  // a warning that the entropy data is damaged
    // A strict decode fails on damage anyway; ending it there keeps a small
    // file that claims a huge frame from being decoded to its end in grey.
    bool StopOnCorruptData = false;
};

void InstallErrorManager(JpegErrorManager& manager, j_common_ptr info);

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

void StartDestination(j_compress_ptr info);
boolean GrowDestination(j_compress_ptr info);
void FinishDestination(j_compress_ptr info);

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

// Sends the compressed data to `out`, which is grown as needed; its size
// when called is the first guess.
void UseStringDestination(JpegCompressor& c, std::string& out);

HRESULT Fail(const char* what, const char* message, std::string* error);
// Creates the decompressor over `bytes` and reads the header; false on a library error.
bool OpenDecompressor(JpegDecompressor& d, const unsigned char* data, size_t size, bool readIcc = false);
bool IsCmyk(const jpeg_decompress_struct& info);
// Adobe-marked CMYK stores inverted ink values, the rest plain ink.
void CmykRowToBgra(const unsigned char* cmyk, unsigned char* bgra, int width, bool inverted);
void BgraRowToCmyk(const unsigned char* bgra, unsigned char* cmyk, int width);
// False, with `error` set, when a table of `source` cannot be used to encode.
bool QuantTablesEncodable(const jpeg_decompress_struct& source, std::string* error);

}  // namespace jpegio
