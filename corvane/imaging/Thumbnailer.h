// Folder thumbnails: a picture fitted into 96 x 96 pixels, the right way up.
// The EXIF thumbnail is used when the picture carries one of at least 96
// pixels (no image data is read then); otherwise the picture is decoded at the smallest DCT scale
// that still gives at least 96 pixels (JPEG), or reduced while its rows are read (TIFF), so
// that no full-size canvas is ever allocated.
// Safe to call from several threads at once, one picture per call.
#pragma once

#include <string>

#include "Bitmap.h"
#include "HResult.h"

constexpr int ThumbnailSide = 96;

HRESULT MakeThumbnail(const std::string& path, CBitmap& thumb, std::string* error);

// Reduces `source` by averaging boxes (see CBoxReducer) so that it fits
// into side x side, keeping its aspect ratio (at least one pixel each way).
// Never enlarges.
HRESULT FitBitmap(const CBitmap& source, int side, CBitmap& out, std::string* error);
