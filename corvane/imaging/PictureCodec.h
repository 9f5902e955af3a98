// Re-encoding a picture's pixels: frame 0 is decoded into a canvas, a caller
// draws on it, and the canvas is encoded back into the same container and
// pixel format (see JpegCodec.h and TiffCodec.h for what is kept). Metadata
// is not carried here; the save path transfers it afterwards.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "Bitmap.h"
#include "HResult.h"
#include "PictureFormat.h"

// Frame 0 of a JPEG or TIFF picture as a canvas.
HRESULT DecodePicture(std::string_view bytes, PictureFormat format, CBitmap& bitmap, std::string* error);

// A failure of `draw` ends the re-encode with its status; nothing is written
// to `outBytes` unless everything succeeded.
HRESULT ReencodePicture(std::string_view sourceBytes, PictureFormat format,
                        const std::function<HRESULT(CBitmap&)>& draw, std::string& outBytes, std::string* error);
