// Re-encoding a picture's pixels: frame 0 is decoded into a canvas, a caller
// draws on it, and the canvas is encoded back into the same container and
// pixel format (see JpegCodec.h and TiffCodec.h for what is kept). Metadata
// is not carried here; the save path transfers it afterwards.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "Bitmap.h"
#include "HResult.h"
#include "PictureFormat.h"

// How many pixels a re-encode may decode, in millions (the setting
// "MaxStampMegapixels"): a re-encode holds the picture several times over
// (canvas, stored samples, the decoder's own buffers).
constexpr int DefaultMaxStampMegapixels = 250;

// Frame 0 of a JPEG or TIFF picture as a canvas.
HRESULT DecodePicture(std::string_view bytes, PictureFormat format, CBitmap& bitmap, std::string* error);

// The size of frame 0 as the picture's header states it; nothing is decoded.
HRESULT ReadPictureSize(std::string_view bytes, PictureFormat format, std::uint32_t& width, std::uint32_t& height,
                        std::string* error);

// E_INVALIDARG with a message that gives the size ("16000 x 16000 pixels (256
// megapixels) is over the stamping limit of 250 megapixels") when the size is
// over `maxMegapixels`; values below 1 mean the default.
HRESULT CheckStampBudget(std::uint32_t width, std::uint32_t height, int maxMegapixels, std::string* error);

// A failure of `draw` ends the re-encode with its status; nothing is written
// to `outBytes` unless everything succeeded. A picture over the budget is
// refused from its header, before anything the size of it is allocated.
HRESULT ReencodePicture(std::string_view sourceBytes, PictureFormat format,
                        const std::function<HRESULT(CBitmap&)>& draw, std::string& outBytes, std::string* error,
                        int maxMegapixels = DefaultMaxStampMegapixels);
