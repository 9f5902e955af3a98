// JPEG pixels through libjpeg-turbo: decoding into a BGRA canvas, and
// encoding a canvas back in the form of the JPEG it came from (same
// quantisation tables, sampling factors, colour space, JFIF density and
// progressive mode), so that a re-encode loses no more than one pass of the
// picture's own tables. Errors of the library never escape: every call
// answers a status and, on failure, a message.
#pragma once

#include <string>
#include <string_view>

#include "Bitmap.h"
#include "HResult.h"

struct JpegDecodeOptions {
    // Decode at n/8 of the full size (1 to 16; 8 is full size).
    int ScaleEighths = 8;
    // Truncated or corrupt entropy data fails the decode. A re-encode must
    // not bake the decoder's grey fill into a file that looks whole; a
    // thumbnail may show what there is.
    bool Strict = true;
    // Bound of the library's own working memory in bytes (0: the codec's
    // default). Pictures coded in several scans (progressive) keep the
    // coefficients of the full size whatever the scale; over the bound they
    // fail before those are allocated.
    long MaxLibraryMemory = 0;
};

HRESULT DecodeJpeg(std::string_view bytes, CBitmap& bitmap, std::string* error,
                   const JpegDecodeOptions& options = JpegDecodeOptions());

// The size of a JPEG as its frame header states it.
HRESULT ReadJpegSize(std::string_view bytes, int& width, int& height, std::string* error);

// Encodes `bitmap` (the size of `sourceBytes`' frame) with the critical
// parameters of `sourceBytes`. A grey source gives a grey JPEG, CMYK gives
// CMYK. `out` holds the new JPEG without metadata segments.
HRESULT EncodeJpegLike(std::string_view sourceBytes, const CBitmap& bitmap, std::string& out, std::string* error);
