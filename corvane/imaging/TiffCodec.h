// TIFF pixels through libtiff. Frame 0 is decoded into a BGRA canvas; the
// encoder writes a new TIFF whose frame 0 has the source's compression, bit
// depth, photometric, planar configuration, extra samples and strip or tile
// layout, and whose other pages are the source's, copied unchanged. Pixels
// the stamps did not touch keep their stored sample values exactly (also at
// 16 bits, with palettes and unassociated alpha), because only the pixels
// that differ between the decoded and the drawn canvas are converted back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Bitmap.h"
#include "HResult.h"

HRESULT DecodeTiff(std::string_view bytes, CBitmap& bitmap, std::string* error);

// The size of frame 0 as its tags state it; no pixels are read.
HRESULT ReadTiffSize(std::string_view bytes, std::uint32_t& width, std::uint32_t& height, std::string* error);

// Frame 0 reduced to fit `side` x `side` (as FitBitmap does) while its rows
// are read, holding a band of rows rather than the page.
HRESULT DecodeTiffReduced(std::string_view bytes, int side, CBitmap& bitmap, std::string* error);

// `decoded` is what DecodeTiff gave for `sourceBytes`; `drawn` is the same
// canvas after drawing. `out` holds the new TIFF without descriptive tags
// (the metadata transfer adds those).
HRESULT EncodeTiffLike(std::string_view sourceBytes, const CBitmap& decoded, const CBitmap& drawn, std::string& out,
                       std::string* error);
