// What the JPEG and TIFF fuzz entries share: a stamp-like drawing and the
// check that a re-encode reported as done gives a picture of the same size.
#pragma once

#include <string>
#include <string_view>

#include "Bitmap.h"
#include "HResult.h"
#include "PictureFormat.h"

// Paints an opaque band over the top rows, as a stamp does.
HRESULT DrawFuzzBand(CBitmap& canvas);

// Re-encodes `bytes` with the band drawn; when that succeeds, the new picture
// must decode to the size of the old one.
void ReencodeAndCheck(std::string_view bytes, PictureFormat format);
